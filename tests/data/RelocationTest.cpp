// The relocation list walk: which fields a list names, and which lists are refused.
#include <gtest/gtest.h>

#include <vector>

#include "data/ChunkFile.h"
#include "tests/data/ChunkTestFiles.h"

using chunktest::FillerBody;
using chunktest::Pof0;

namespace {

// Fields named by `list` over `body`, or the failure.
struct Walk {
    LoadResult result;
    std::vector<uint32_t> fields;
};

Walk Fields(std::vector<uint8_t>& body, const std::vector<uint8_t>& list) {
    const std::vector<uint8_t> pof0 = Pof0(list);
    Walk w;
    w.result = ReadRelocationFields(ChunkBody{body.data(), static_cast<uint32_t>(body.size())}, pof0.data(),
                                    static_cast<uint32_t>(pof0.size()), &w.fields);
    return w;
}

using Offsets = std::vector<uint32_t>;

TEST(RelocationEntries, OneByteEntriesAdvanceByTheirLowSixBits) {
    auto body = FillerBody(200, {{4, 0}, {44, 0}, {44 + 63 * 4, 0}});
    const Walk w = Fields(body, {0x41, 0x4A, 0x7F});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{4, 44, 44 + 63 * 4}));
}

TEST(RelocationEntries, TwoByteEntriesAreBigEndianFourteenBitCounts) {
    auto body = FillerBody(0x4000 + 300, {{4, 0}, {4 + 0x122 * 4, 0}, {4 + (0x122 + 0x3FFF) * 4, 0}});
    const Walk w = Fields(body, {0x80, 0x01, 0x81, 0x22, 0xBF, 0xFF});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{4, 4 + 0x122 * 4, 4 + 0x122 * 4 + 0x3FFF * 4}));
}

TEST(RelocationEntries, TwoByteOneWordEqualsOneByteOneWord) {
    auto body = FillerBody(4, {{4, 8}, {8, 0}});
    const Walk a = Fields(body, {0x80, 0x01, 0x80, 0x01});
    const Walk b = Fields(body, {0x41, 0x41});
    ASSERT_TRUE(a.result.ok());
    ASSERT_TRUE(b.result.ok());
    EXPECT_EQ(a.fields, b.fields);
    EXPECT_EQ(a.fields, (Offsets{4, 8}));
}

TEST(RelocationEntries, FourByteEntryOfZeroZeroOneZeroAdvances256Words) {
    auto body = FillerBody(300, {{1024, 0}, {1028, 0}});
    const Walk w = Fields(body, {0xC0, 0x00, 0x01, 0x00, 0xC0, 0x00, 0x00, 0x01});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{1024, 1028}));
}

TEST(RelocationEntries, FourByteEntriesUseAllThirtyBits) {
    // 0xC1 0x00 0x00 0x00 is 2^24 words: 64 MiB further, far past this body.
    auto body = FillerBody(8, {{0, 0}});
    const Walk w = Fields(body, {0x40, 0xC1, 0x00, 0x00, 0x00});
    EXPECT_EQ(w.result.error, LoadError::CursorOutsideBody);
    EXPECT_EQ(w.result.value, (1u << 24) * 4);
    EXPECT_EQ(w.fields, (Offsets{0}));
}

TEST(RelocationEntries, PaddingBytesAreSkippedWherever) {
    auto body = FillerBody(20, {{4, 0}, {12, 0}});
    const Walk w = Fields(body, {0x00, 0x3F, 0x41, 0x17, 0x00, 0x42, 0x00, 0x00});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{4, 12}));
}

TEST(RelocationEntries, ListOfOnlyPaddingNamesNothingAndChangesNothing) {
    auto body = FillerBody(4);
    const auto before = body;
    const Walk w = Fields(body, {0x00, 0x01, 0x20, 0x3F});
    EXPECT_TRUE(w.result.ok());
    EXPECT_TRUE(w.fields.empty());
    EXPECT_EQ(body, before);
}

TEST(RelocationCursor, NeverResetsBetweenEntries) {
    // Each n is counted from the field named before it, not from the body start.
    auto body = FillerBody(40, {{8, 0}, {16, 0}, {40, 0}});
    const Walk w = Fields(body, {0x42, 0x42, 0x80, 0x06});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{8, 16, 40}));
}

TEST(RelocationCursor, ZeroCountNamesTheFieldUnderTheCursorAgain) {
    auto body = FillerBody(4, {{0, 8}, {4, 0}});
    const Walk w = Fields(body, {0x40, 0x41, 0x40, 0x80, 0x00, 0xC0, 0x00, 0x00, 0x00});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(w.fields, (Offsets{0, 4, 4, 4, 4}));
}

TEST(RelocationFields, ZeroStaysNullAndAnOffsetLeadsIntoTheBody) {
    auto body = FillerBody(4, {{0, 0}, {4, 4}});
    const auto before = body;
    const Walk w = Fields(body, {0x40, 0x41});
    ASSERT_TRUE(w.result.ok()) << w.result.Describe();
    EXPECT_EQ(body, before);  // fields keep their offsets
    const ChunkBody cb{body.data(), static_cast<uint32_t>(body.size())};
    EXPECT_EQ(chunktest::GetLE32(body, 0), 0u);
    EXPECT_EQ(BodyBytesAt(cb, chunktest::GetLE32(body, 4), 1), body.data() + 4);
}

TEST(RelocationLength, ReturnsEightPlusTheListSize) {
    auto body = FillerBody(4, {{0, 0}});
    const ChunkBody cb{body.data(), 16};
    const std::vector<uint8_t> empty = Pof0({});
    const std::vector<uint8_t> three = Pof0({0x40, 0x00, 0x00});
    LoadResult r;
    EXPECT_EQ(mdlRelocate(cb, empty.data(), static_cast<uint32_t>(empty.size()), &r), 8u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(mdlRelocate(cb, three.data(), static_cast<uint32_t>(three.size()), &r), 11u);
    EXPECT_TRUE(r.ok());
    // The result is optional.
    EXPECT_EQ(mdlRelocate(cb, three.data(), static_cast<uint32_t>(three.size()), nullptr), 11u);
}

TEST(RelocationRefusals, EntryCutShortByTheEndOfTheList) {
    auto body = FillerBody(64, {{4, 0}});
    const Walk two = Fields(body, {0x41, 0x80});
    EXPECT_EQ(two.result.error, LoadError::RelocationEntryCut);
    EXPECT_EQ(two.result.offset, 8u + 1);
    const Walk four = Fields(body, {0x41, 0x00, 0xC0, 0x00, 0x00});
    EXPECT_EQ(four.result.error, LoadError::RelocationEntryCut);
    EXPECT_EQ(four.result.offset, 8u + 2);
}

TEST(RelocationRefusals, CursorPastTheLastWholeWord) {
    auto body = FillerBody(4, {{12, 0}});
    body.push_back(0);  // 17 bytes: word 3 (offset 12) is the last whole one
    EXPECT_TRUE(Fields(body, {0x43}).result.ok());
    const Walk w = Fields(body, {0x43, 0x41});
    EXPECT_EQ(w.result.error, LoadError::CursorOutsideBody);
    EXPECT_EQ(w.result.offset, 8u + 1);
    EXPECT_EQ(w.result.value, 16u);
}

TEST(RelocationRefusals, AnyFieldInAnEmptyBody) {
    std::vector<uint8_t> body;
    const std::vector<uint8_t> pof0 = Pof0({0x40});
    LoadResult r;
    mdlRelocate(ChunkBody{}, pof0.data(), static_cast<uint32_t>(pof0.size()), &r);
    EXPECT_EQ(r.error, LoadError::CursorOutsideBody);
    EXPECT_EQ(Fields(body, {0x40}).result.error, LoadError::CursorOutsideBody);
}

TEST(RelocationRefusals, PointerAtOrPastTheBodyEnd) {
    auto body = FillerBody(4, {{4, 16}});
    const Walk w = Fields(body, {0x41});
    EXPECT_EQ(w.result.error, LoadError::PointerOutsideBody);
    EXPECT_EQ(w.result.offset, 4u);
    EXPECT_EQ(w.result.value, 16u);
    body = FillerBody(4, {{4, 12}});
    EXPECT_TRUE(Fields(body, {0x41}).result.ok());
    body = FillerBody(4, {{4, 0xFFFFFFFCu}});
    EXPECT_EQ(Fields(body, {0x41}).result.error, LoadError::PointerOutsideBody);
}

TEST(RelocationFields, AnOffsetInsideTheBodyNeedNotBeAMultipleOfFour) {
    // A list of 16-bit words or a name may start at any byte; the field still stands on a word.
    for (uint32_t value : {1u, 2u, 3u, 6u, 15u}) {
        auto body = FillerBody(4, {{8, value}});
        const Walk w = Fields(body, {0x42});
        ASSERT_TRUE(w.result.ok()) << value << ": " << w.result.Describe();
        EXPECT_EQ(w.fields, (Offsets{8}));
    }
}

TEST(RelocationRefusals, ListRunningPastWhatIsReadable) {
    auto body = FillerBody(4, {{0, 0}});
    const ChunkBody cb{body.data(), 16};
    std::vector<uint8_t> pof0 = Pof0({0x40, 0x40});
    LoadResult r;
    EXPECT_EQ(mdlRelocate(cb, pof0.data(), static_cast<uint32_t>(pof0.size()) - 1, &r), 0u);
    EXPECT_EQ(r.error, LoadError::ChunkPastEnd);
    EXPECT_EQ(r.value, 2u);
    EXPECT_EQ(mdlRelocate(cb, pof0.data(), 7, &r), 0u);
    EXPECT_EQ(r.error, LoadError::TruncatedHeader);
    EXPECT_EQ(mdlRelocate(cb, nullptr, 100, &r), 0u);
    EXPECT_EQ(r.error, LoadError::TruncatedHeader);
}

}  // namespace

namespace {

TEST(BodyReads, RangesReachTheBodyEndAndNotOneBytePast) {
    uint8_t bytes[16] = {0x78, 0x56, 0x34, 0x12, 0, 0, 0x80, 0x3F, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x11, 0x22};
    const ChunkBody b{bytes, 10};
    EXPECT_EQ(BodyBytesAt(b, 6, 4), bytes + 6);
    EXPECT_EQ(BodyBytesAt(b, 6, 5), nullptr);
    EXPECT_EQ(BodyBytesAt(b, 10, 0), bytes + 10);
    EXPECT_EQ(BodyBytesAt(b, 11, 0), nullptr);
    EXPECT_EQ(BodyRangeAt(b, 1, 9), bytes + 1);
    EXPECT_EQ(BodyRangeAt(b, 1, 10), nullptr);
    EXPECT_EQ(BodyRangeAt(b, 0, uint64_t{1} << 32), nullptr);
    EXPECT_EQ(BodyBytesAt(ChunkBody{}, 0, 0), nullptr);

    // Records with pointer fields are copied from word offsets inside the body only.
    uint32_t word = 0;
    EXPECT_TRUE(ReadRecord(b, 4, &word));
    EXPECT_EQ(word, 0x3F800000u);
    for (uint32_t offset : {1u, 2u, 3u, 8u}) EXPECT_FALSE(ReadRecord(b, offset, &word)) << offset;
    EXPECT_EQ(word, 0x3F800000u) << "a refused read leaves the output alone";
    EXPECT_FALSE(FollowRecord(b, 0, &word)) << "0 is null";

    // Little-endian numbers at any address.
    EXPECT_EQ(LoadLE16(bytes + 1), 0x3456u);
    EXPECT_EQ(LoadLE32(bytes + 9), 0xEEDDCCBBu);
    EXPECT_EQ(LoadF32(bytes + 4), 1.0f);
}

}  // namespace
