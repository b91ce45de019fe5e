// Model and motion file loading: which chunks are found, and bad files refused without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data/ChunkFile.h"
#include "data/ChunkWriter.h"
#include "tests/data/ChunkTestFiles.h"

using chunktest::DataWithList;
using chunktest::FillerBody;

namespace {

using Bytes = std::vector<uint8_t>;

// A small valid body: word 0 points at word 2, word 1 is a null field.
ChunkBodyBuilder SmallBody(uint32_t marker) {
    ChunkBodyBuilder body;
    body.AppendZeros(8);
    body.AppendU32(marker);
    body.PutPointer(0, 8);
    body.MarkPointer(4);
    return body;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes DataFile(const char tag[4], uint32_t marker) {
    ChunkFileWriter w;
    w.AddDataChunk(tag, SmallBody(marker));
    return w.Bytes();
}

// The word that the body's first field leads to (0 if anything is missing).
uint32_t Marker(ChunkBody body) {
    uint32_t first = 0, marker = 0;
    if (!ReadRecord(body, 0, &first) || first == 0) return 0;
    const uint8_t* p = BodyBytesAt(body, first, 4);
    if (p != nullptr) marker = LoadLE32(p);
    return marker;
}

// Output sentinels that a refused load must leave as they were.
struct Outputs {
    uint8_t sentinel[4] = {};
    ChunkBody texList{sentinel, 1};
    ChunkBody object{sentinel, 2};
    ChunkBody motion{sentinel, 3};
    bool Untouched() const {
        return texList.data == sentinel && texList.size == 1 && object.data == sentinel && object.size == 2 &&
               motion.data == sentinel && motion.size == 3;
    }
};

LoadResult LoadModel(Bytes& file, Outputs* out) {
    return mdlLoadModelFile(file.data(), static_cast<uint32_t>(file.size()), &out->texList, &out->object);
}

LoadResult LoadMotion(Bytes& file, Outputs* out) {
    return mdlLoadMotionFile(file.data(), static_cast<uint32_t>(file.size()), &out->motion);
}

TEST(ModelLoading, FindsTheModelBodyAfterItsHeader) {
    Bytes file = DataFile("NJCM", 0xC0FFEEu);
    Outputs out;
    const LoadResult r = LoadModel(file, &out);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(out.object.data, file.data() + 8);
    EXPECT_EQ(out.object.size, 12u);
    EXPECT_EQ(Marker(out.object), 0xC0FFEEu);
    EXPECT_EQ(out.texList.data, out.sentinel);  // no NJTL: left alone
}

TEST(ModelLoading, ChunksOfOtherTagsAreSkippedBySize) {
    ChunkFileWriter w;
    w.AddRawChunk("ABCD", Bytes(12, 0x4E));
    w.AddRawChunk("NJXX", Bytes(4, 0));  // begins like ours, still foreign
    w.AddRawChunk("NJCN", {});
    w.AddDataChunk("NJCM", SmallBody(77));
    Bytes file = w.Bytes();
    Outputs out;
    ASSERT_TRUE(LoadModel(file, &out).ok());
    EXPECT_EQ(out.object.data, file.data() + 20 + 12 + 8 + 8);
    EXPECT_EQ(Marker(out.object), 77u);
}

TEST(ModelLoading, TextureListAndModelBothFound) {
    Bytes file = Concat({DataFile("NJTL", 1), DataFile("NJCM", 2)});
    Outputs out;
    ASSERT_TRUE(LoadModel(file, &out).ok());
    EXPECT_EQ(Marker(out.texList), 1u);
    EXPECT_EQ(Marker(out.object), 2u);
    EXPECT_EQ(out.texList.data, file.data() + 8);
}

TEST(ModelLoading, LaterChunkOfTheSameTagWins) {
    Bytes file = Concat({DataFile("NJCM", 1), DataFile("NJTL", 5), DataFile("NJCM", 2)});
    Outputs out;
    ASSERT_TRUE(LoadModel(file, &out).ok());
    EXPECT_EQ(Marker(out.object), 2u);
    EXPECT_EQ(Marker(out.texList), 5u);
}

TEST(ModelLoading, FileWithoutModelLeavesOutputsAlone) {
    ChunkFileWriter w;
    w.AddRawChunk("JUNK", {1, 2, 3, 4});
    Bytes file = w.Bytes();
    Outputs out;
    EXPECT_TRUE(LoadModel(file, &out).ok());
    Bytes empty;
    EXPECT_TRUE(mdlLoadModelFile(empty.data(), 0, &out.texList, &out.object).ok());
    EXPECT_TRUE(out.Untouched());
}

TEST(ModelLoading, NullOutputsAreAllowed) {
    Bytes file = Concat({DataFile("NJTL", 1), DataFile("NJCM", 2)});
    EXPECT_TRUE(mdlLoadModelFile(file.data(), static_cast<uint32_t>(file.size()), nullptr, nullptr).ok());
}

TEST(ModelLoading, LoadingTwiceGivesTheSameBodies) {
    Bytes file = DataFile("NJCM", 9);
    const Bytes before = file;
    Outputs a, b;
    ASSERT_TRUE(LoadModel(file, &a).ok());
    ASSERT_TRUE(LoadModel(file, &b).ok());
    EXPECT_EQ(a.object.data, b.object.data);
    EXPECT_EQ(Marker(b.object), 9u);
    EXPECT_EQ(file, before);
}

TEST(MotionLoading, FindsTheMotionBodyAtTheStart) {
    Bytes file = Concat({DataFile("NMDM", 33), DataFile("NJCM", 1)});  // what follows is not looked at
    Outputs out;
    const LoadResult r = LoadMotion(file, &out);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(out.motion.data, file.data() + 8);
    EXPECT_EQ(Marker(out.motion), 33u);
}

TEST(MotionLoading, FirstChunkNotMotionLeavesOutputUntouchedEvenIfOneFollows) {
    Bytes file = Concat({DataFile("NJCM", 1), DataFile("NMDM", 2)});
    const Bytes before = file;
    Outputs out;
    const LoadResult r = LoadMotion(file, &out);
    EXPECT_EQ(r.error, LoadError::NotAMotionFile);
    EXPECT_EQ(r.offset, 0u);
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(file, before);
}

TEST(MotionLoading, TagIsComparedByteByByte) {
    Bytes file = DataFile("NMDM", 1);
    file[3] = 'm';
    Outputs out;
    EXPECT_EQ(LoadMotion(file, &out).error, LoadError::NotAMotionFile);
    EXPECT_TRUE(out.Untouched());
}

// --- Refused files: right reason, right offset, outputs untouched, file bytes unchanged.

struct Refusal {
    LoadError error;
    uint32_t offset;
};

void ExpectModelRefused(Bytes file, Refusal expected) {
    const Bytes before = file;
    Outputs out;
    const LoadResult r = LoadModel(file, &out);
    EXPECT_EQ(r.error, expected.error) << r.Describe();
    EXPECT_EQ(r.offset, expected.offset) << r.Describe();
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(file, before);
}

void ExpectMotionRefused(Bytes file, Refusal expected) {
    const Bytes before = file;
    Outputs out;
    const LoadResult r = LoadMotion(file, &out);
    EXPECT_EQ(r.error, expected.error) << r.Describe();
    EXPECT_EQ(r.offset, expected.offset) << r.Describe();
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(file, before);
}

TEST(BadFiles, ShorterThanAHeader) {
    ExpectModelRefused({'N', 'J', 'C', 'M', 4, 0, 0}, {LoadError::TruncatedHeader, 0});
    ExpectMotionRefused({'N', 'M', 'D', 'M', 4, 0}, {LoadError::TruncatedHeader, 0});
    ExpectMotionRefused({'N', 'M'}, {LoadError::TruncatedHeader, 0});
    // Trailing bytes after whole chunks are a header cut short too.
    Bytes file = Concat({DataFile("NJCM", 1), Bytes{'X', 'Y'}});
    ExpectModelRefused(file, {LoadError::TruncatedHeader, static_cast<uint32_t>(file.size()) - 2});
}

TEST(BadFiles, ChunkSizePastTheEnd) {
    Bytes file = DataFile("NJCM", 1);
    file[4] = 0xF0;  // body size far past the end
    ExpectModelRefused(file, {LoadError::ChunkPastEnd, 0});
    ExpectMotionRefused(Concat({Bytes{'N', 'M', 'D', 'M', 0xFF, 0xFF, 0xFF, 0xFF}, Bytes(8, 0)}),
                        {LoadError::ChunkPastEnd, 0});
    // A foreign chunk claiming more than is there is refused as well.
    ChunkFileWriter w;
    w.AddRawChunk("ABCD", Bytes(8, 0));
    Bytes foreign = w.Bytes();
    foreign[4] = 9;
    ExpectModelRefused(Concat({DataFile("NJCM", 1), foreign}), {LoadError::ChunkPastEnd, 32});
}

TEST(BadFiles, ListSizePastTheEnd) {
    Bytes file = DataFile("NJCM", 1);
    file[8 + 12 + 4] = 200;  // POF0 size
    ExpectModelRefused(file, {LoadError::ChunkPastEnd, 20});
}

TEST(BadFiles, DataChunkWithoutRelocationList) {
    ChunkFileWriter w;
    w.AddRawChunk("NJCM", FillerBody(2, {{0, 0}}));
    ExpectModelRefused(w.Bytes(), {LoadError::MissingRelocationList, 16});
    w.AddRawChunk("POFX", {0x40});
    ExpectModelRefused(w.Bytes(), {LoadError::MissingRelocationList, 16});

    ChunkFileWriter m;
    m.AddRawChunk("NMDM", FillerBody(1));
    ExpectMotionRefused(m.Bytes(), {LoadError::MissingRelocationList, 12});
    m.AddRawBytes({'P', 'O', 'F'});
    ExpectMotionRefused(m.Bytes(), {LoadError::TruncatedHeader, 12});
}

TEST(BadFiles, RelocationEntryCutShort) {
    ExpectModelRefused(DataWithList("NJCM", FillerBody(4, {{4, 0}}), {0x41, 0x80}),
                       {LoadError::RelocationEntryCut, 24 + 8 + 1});
    ExpectMotionRefused(DataWithList("NMDM", FillerBody(4, {{4, 0}}), {0x00, 0xC0, 0x00, 0x00}),
                        {LoadError::RelocationEntryCut, 24 + 8 + 1});
}

TEST(BadFiles, CursorLeavesTheBody) {
    ExpectModelRefused(DataWithList("NJCM", FillerBody(4, {{4, 0}}), {0x41, 0x43}),
                       {LoadError::CursorOutsideBody, 24 + 8 + 1});
    ExpectModelRefused(DataWithList("NJCM", FillerBody(4), {0xFF, 0xFF, 0xFF, 0xFF}),
                       {LoadError::CursorOutsideBody, 24 + 8});
}

TEST(BadFiles, PointerOutsideTheBody) {
    // Offsets of field errors point at the field itself in the file.
    ExpectModelRefused(DataWithList("NJCM", FillerBody(4, {{12, 16}}), {0x43}),
                       {LoadError::PointerOutsideBody, 8 + 12});
    ExpectMotionRefused(DataWithList("NMDM", FillerBody(4, {{0, 0x80000000u}}), {0x40}),
                        {LoadError::PointerOutsideBody, 8});
}

TEST(OddLayouts, PointerToAnyByteOfTheBodyLoads) {
    // A texture-list name pointer may hold any offset.
    Bytes file = DataWithList("NJTL", FillerBody(4, {{4, 2}}), {0x41});
    Outputs out;
    ASSERT_TRUE(LoadModel(file, &out).ok());
    EXPECT_EQ(out.texList.data, file.data() + 8);
}

TEST(BadFiles, UnlistedFieldsAreNotChecked) {
    // Filler words are not pointers unless the list names them.
    Bytes file = DataWithList("NJCM", FillerBody(4, {{4, 8}}), {0x41});
    Outputs out;
    EXPECT_TRUE(LoadModel(file, &out).ok());
}

TEST(OddLayouts, DataBodiesAtEveryAddressLoad) {
    // A chunk of 1 to 3 bytes before it puts the body off a word, in the file and in memory.
    for (uint8_t skew = 1; skew <= 3; ++skew) {
        ChunkFileWriter w;
        w.AddRawChunk("ODD!", Bytes(skew, 0xEE));
        w.AddDataChunk("NJCM", SmallBody(7), RelocationOptions::Packed());
        Bytes file = w.Bytes();
        Outputs out;
        ASSERT_TRUE(LoadModel(file, &out).ok()) << int(skew);
        EXPECT_EQ(out.object.data, file.data() + 8 + skew + 8);
        EXPECT_EQ(Marker(out.object), 7u);
    }
}

TEST(BadFiles, BadChunkLateInTheFileStoresNothingFromEarlierOnes) {
    Bytes file = Concat({DataFile("NJTL", 1), DataFile("NJCM", 2),
                         DataWithList("NJCM", FillerBody(2, {{4, 0x40}}), {0x41})});
    const uint32_t third = static_cast<uint32_t>(2 * DataFile("NJCM", 0).size());
    ExpectModelRefused(file, {LoadError::PointerOutsideBody, third + 8 + 4});
}

TEST(BadFiles, NullFileWithASizeIsRefused) {
    Outputs out;
    EXPECT_EQ(mdlLoadModelFile(nullptr, 16, &out.texList, &out.object).error, LoadError::NoData);
    EXPECT_EQ(mdlLoadMotionFile(nullptr, 16, &out.motion).error, LoadError::NoData);
    EXPECT_TRUE(out.Untouched());
}

TEST(BadFiles, EachReasonHasItsOwnMessageAndDescribeNamesTheOffset) {
    const LoadError all[] = {LoadError::NoData,           LoadError::TruncatedHeader,    LoadError::ChunkPastEnd,
                             LoadError::MissingRelocationList, LoadError::RelocationEntryCut,
                             LoadError::CursorOutsideBody, LoadError::PointerOutsideBody, LoadError::NotAMotionFile};
    std::vector<std::string> seen;
    for (LoadError e : all) {
        LoadResult r;
        r.error = e;
        r.offset = 20056;
        const std::string message = r.Message();
        EXPECT_EQ(std::count(seen.begin(), seen.end(), message), 0) << message;
        seen.push_back(message);
        EXPECT_NE(r.Describe().find("20056"), std::string::npos) << r.Describe();
        EXPECT_STRNE(LoadErrorName(e), "Unknown");
    }
    EXPECT_TRUE(LoadResult{}.ok());
}

// --- Chunk listing for the inspector.

TEST(ChunkListing, ListsEveryChunkWithItsRelocationCounts) {
    ChunkFileWriter w;
    w.AddRawChunk("MISC", {1, 2, 3, 4});
    w.AddDataChunk("NJCM", SmallBody(1), {.paddingBytes = 2});
    w.AddDataChunk("NMDM", SmallBody(2));
    const Bytes file = w.Bytes();
    std::vector<ChunkInfo> chunks;
    const LoadResult r = ListChunks(file.data(), static_cast<uint32_t>(file.size()), &chunks);
    ASSERT_TRUE(r.ok()) << r.Describe();
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_STREQ(chunks[0].tag, "MISC");
    EXPECT_FALSE(chunks[0].isData);
    EXPECT_STREQ(chunks[1].tag, "NJCM");
    EXPECT_EQ(chunks[1].offset, 12u);
    EXPECT_EQ(chunks[1].size, 12u);
    EXPECT_TRUE(chunks[1].isData);
    EXPECT_EQ(chunks[1].fieldsListed, 2u);
    EXPECT_EQ(chunks[1].nullFields, 1u);
    EXPECT_STREQ(chunks[2].tag, "POF0");
    EXPECT_TRUE(chunks[2].isRelocation);
    EXPECT_EQ(chunks[2].offset, 32u);
    EXPECT_EQ(chunks[2].entries, 4u);  // two fields, two padding bytes
    EXPECT_EQ(chunks[2].paddingEntries, 2u);
    EXPECT_STREQ(chunks[3].tag, "NMDM");
    EXPECT_EQ(chunks[3].offset, 44u);
}

TEST(ChunkListing, StopsAtTheFirstProblemKeepingWhatCameBefore) {
    Bytes file = Concat({DataFile("NJTL", 1), DataWithList("NJCM", FillerBody(2), {0x45})});
    std::vector<ChunkInfo> chunks;
    const LoadResult r = ListChunks(file.data(), static_cast<uint32_t>(file.size()), &chunks);
    EXPECT_EQ(r.error, LoadError::CursorOutsideBody);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_STREQ(chunks[1].tag, "POF0");
    EXPECT_STREQ(chunks[2].tag, "NJCM");  // the refused chunk, so the inspector can name it
    EXPECT_EQ(chunks[2].offset, 32u);
    EXPECT_EQ(chunks[2].fieldsListed, 0u);
}

TEST(ChunkListing, StrayRelocationListIsCountedOnItsOwn) {
    ChunkFileWriter w;
    w.AddRawChunk("POF0", {0x41, 0x00, 0x81});
    const Bytes file = w.Bytes();
    std::vector<ChunkInfo> chunks;
    ASSERT_TRUE(ListChunks(file.data(), static_cast<uint32_t>(file.size()), &chunks).ok());
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_TRUE(chunks[0].isRelocation);
    EXPECT_EQ(chunks[0].entries, 3u);
    EXPECT_EQ(chunks[0].paddingEntries, 1u);
}

}  // namespace
