// The chunk writer: what it encodes, and that the loaders read back exactly what it marked.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "data/ChunkFile.h"
#include "data/ChunkWriter.h"
#include "tests/data/ChunkTestFiles.h"

using chunktest::GetLE32;

namespace {

using Bytes = std::vector<uint8_t>;
using Offsets = std::vector<uint32_t>;

TEST(RelocationEncoding, ProducesTheShortestEntriesForEachDistance) {
    const Bytes list = EncodeRelocationList({4, 44, 3608, 3672}, {.padToWord = false});
    EXPECT_EQ(list, (Bytes{0x41, 0x4A, 0x83, 0x7B, 0x50}));
}

TEST(RelocationEncoding, EmbeddedModelListPrefixLoads) {
    ChunkBodyBuilder body;
    body.AppendZeros(3700);
    body.PutPointer(4, 3672);
    body.PutPointer(44, 0);
    body.PutPointer(3608, 44);
    body.PutPointer(3672, 3608);
    ChunkFileWriter writer;
    writer.AddDataChunk("NJCM", body);
    Bytes file = writer.Bytes();
    // NJCM header, body, POF0 header: the list starts right after.
    const uint32_t list = 8 + 3700 + 8;
    ASSERT_GE(file.size(), list + 5);
    EXPECT_EQ(Bytes(file.begin() + list, file.begin() + list + 5), (Bytes{0x41, 0x4A, 0x83, 0x7B, 0x50}));

    ChunkBody object;
    const LoadResult r = mdlLoadModelFile(file.data(), static_cast<uint32_t>(file.size()), nullptr, &object);
    ASSERT_TRUE(r.ok()) << r.Describe();
    ASSERT_EQ(object.data, file.data() + 8);
    EXPECT_EQ(object.size, 3700u);
    EXPECT_EQ(GetLE32(file, 8 + 4), 3672u);
    EXPECT_EQ(GetLE32(file, 8 + 44), 0u);
}

TEST(RelocationEncoding, ForcedEntryLengthsWhereTheyFit) {
    const Offsets fields{0, 4, 4 * 70, 4 * 70 + 4 * 20000};
    EXPECT_EQ(EncodeRelocationList(fields, {.forceEntryBytes = 1, .padToWord = false}),
              (Bytes{0x40, 0x41, 0x80 | 0, 69, 0xC0, 0x00, 0x4E, 0x20}));
    EXPECT_EQ(EncodeRelocationList(fields, {.forceEntryBytes = 2, .padToWord = false}),
              (Bytes{0x80, 0x00, 0x80, 0x01, 0x80, 69, 0xC0, 0x00, 0x4E, 0x20}));
    EXPECT_EQ(EncodeRelocationList(fields, {.forceEntryBytes = 4, .padToWord = false}),
              (Bytes{0xC0, 0, 0, 0, 0xC0, 0, 0, 1, 0xC0, 0, 0, 69, 0xC0, 0x00, 0x4E, 0x20}));
}

TEST(RelocationEncoding, PaddingIsAppendedAndTheListKeptWordSized) {
    EXPECT_EQ(EncodeRelocationList({8}, {.paddingBytes = 2, .padToWord = false}), (Bytes{0x42, 0x00, 0x00}));
    EXPECT_EQ(EncodeRelocationList({8}, {.paddingBytes = 2}), (Bytes{0x42, 0x00, 0x00, 0x00}));
    EXPECT_EQ(EncodeRelocationList({}, {}), Bytes{});
}

TEST(RelocationEncoding, UnsortedAndRepeatedFieldsAreListedOnceInOrder) {
    EXPECT_EQ(EncodeRelocationList({12, 4, 12, 8}, {.padToWord = false}), (Bytes{0x41, 0x41, 0x41}));
    ChunkBodyBuilder body;
    body.AppendZeros(16);
    body.MarkPointer(12);
    body.MarkPointer(4);
    body.MarkPointer(12);
    EXPECT_EQ(body.PointerFields(), (Offsets{4, 12}));
}

TEST(RelocationEncoding, MisalignedFieldIsRefused) {
    EXPECT_THROW(EncodeRelocationList({6}), std::invalid_argument);
    EXPECT_THROW(EncodeRelocationList({4}, {.forceEntryBytes = 3}), std::invalid_argument);
}

TEST(BodyBuilder, AppendsLittleEndianAndReportsOffsets) {
    ChunkBodyBuilder body;
    EXPECT_EQ(body.AppendU16(0x1234), 0u);
    body.AlignTo(4);
    EXPECT_EQ(body.Size(), 4u);
    EXPECT_EQ(body.AppendU32(0xA1B2C3D4u), 4u);
    EXPECT_EQ(body.AppendF32(1.0f), 8u);
    struct Record {
        uint32_t a;
        float b;
    };
    EXPECT_EQ(body.AppendRecord(Record{7, 2.0f}), 12u);
    EXPECT_EQ(body.Bytes(), (Bytes{0x34, 0x12, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0x80, 0x3F, 7, 0, 0, 0, 0, 0, 0, 0x40}));
    body.PutU32(0, 0x01020304u);
    EXPECT_EQ(GetLE32(body.Bytes(), 0), 0x01020304u);
}

TEST(BodyBuilder, RefusesFieldsOutsideTheBodyOrMisaligned) {
    ChunkBodyBuilder body;
    body.AppendZeros(10);
    EXPECT_THROW(body.MarkPointer(2), std::invalid_argument);
    EXPECT_THROW(body.MarkPointer(8), std::out_of_range);  // only 2 bytes left there
    EXPECT_THROW(body.PutU32(7, 1), std::out_of_range);
    EXPECT_TRUE(body.PointerFields().empty());
}

TEST(BodyBuilder, ForwardReferencesAreCheckedWhenTheChunkIsAdded) {
    ChunkBodyBuilder body;
    const uint32_t field = body.AppendU32(0);
    body.PutPointer(field, 8);  // target appended below
    body.AppendU32(0);
    body.AppendU32(42);
    ChunkFileWriter writer;
    EXPECT_NO_THROW(writer.AddDataChunk("NMDM", body));

    ChunkBodyBuilder dangling;
    dangling.AppendU32(0);
    dangling.PutPointer(0, 4);  // nothing is ever appended there
    ChunkFileWriter other;
    EXPECT_THROW(other.AddDataChunk("NJCM", dangling), std::out_of_range);
    EXPECT_EQ(other.Size(), 0u);
}

TEST(FileWriter, PadsDataBodiesToWholeWords) {
    ChunkBodyBuilder body;
    body.AppendZeros(5);
    ChunkFileWriter writer;
    writer.AddDataChunk("NJTL", body);
    const Bytes& file = writer.Bytes();
    ASSERT_EQ(file.size(), 8u + 8 + 8);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'N', 'J', 'T', 'L'}));
    EXPECT_EQ(GetLE32(file, 4), 8u);
    EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 20), (Bytes{'P', 'O', 'F', '0'}));
    EXPECT_EQ(GetLE32(file, 20), 0u);
    EXPECT_THROW(writer.AddRawChunk("AB", {}), std::invalid_argument);
}

TEST(FileWriter, PackedChunksHaveNoPaddingAndMayPointAtAnyByte) {
    ChunkBodyBuilder body;
    body.AppendZeros(4);
    body.PutPointer(0, 5);  // a name or a list of 16-bit words may start anywhere
    body.AppendZeros(3);
    ChunkFileWriter writer;
    writer.AddDataChunk("NJTL", body, RelocationOptions::Packed());
    const Bytes& file = writer.Bytes();
    ASSERT_EQ(file.size(), 8u + 7 + 8 + 1);
    EXPECT_EQ(GetLE32(file, 4), 7u);
    EXPECT_EQ(Bytes(file.begin() + 15, file.begin() + 19), (Bytes{'P', 'O', 'F', '0'}));
    EXPECT_EQ(GetLE32(file, 19), 1u);
    EXPECT_EQ(file[23], 0x40);
}

class WriterRoundTrip : public ::testing::TestWithParam<RelocationOptions> {};

TEST_P(WriterRoundTrip, LoaderFindsExactlyTheMarkedFields) {
    // Fields at growing gaps so that 1-, 2- and 4-byte entries are all needed, some null.
    ChunkBodyBuilder body;
    body.AppendZeros(4 * 70000);
    Offsets marked;
    uint32_t field = 0;
    for (uint32_t gap : {0u, 1u, 63u, 64u, 200u, 16383u, 16384u, 20000u, 3u}) {
        field += 4 * gap;
        body.PutPointer(field, marked.size() % 3 == 0 ? 0 : (field + 64) % (4 * 70000));
        marked.push_back(field);
    }
    // A foreign chunk first, skipped by its size; the data chunk after it starts at 12.
    ChunkFileWriter writer;
    writer.AddRawChunk("XTRA", {1, 2, 3, 4});
    writer.AddDataChunk("NJCM", body, GetParam());
    Bytes file = writer.Bytes();
    std::vector<ChunkInfo> chunks;
    LoadResult r = ListChunks(file.data(), static_cast<uint32_t>(file.size()), &chunks);
    ASSERT_TRUE(r.ok()) << r.Describe();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[1].fieldsListed, marked.size());
    EXPECT_EQ(chunks[1].nullFields, 3u);
    EXPECT_GE(chunks[2].paddingEntries, GetParam().paddingBytes);
    if (GetParam().padToWord) {
        EXPECT_EQ(chunks[2].size % 4, 0u);
    }

    const ChunkBody cb{file.data() + 20, chunks[1].size};
    Offsets fields;
    r = ReadRelocationFields(cb, file.data() + chunks[2].offset, static_cast<uint32_t>(file.size()) - chunks[2].offset,
                             &fields);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(fields, marked);

    ChunkBody object;
    r = mdlLoadModelFile(file.data(), static_cast<uint32_t>(file.size()), nullptr, &object);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(object.data, file.data() + 20);
    EXPECT_EQ(GetLE32(file, 20 + marked[1]), marked[1] + 64);
}

INSTANTIATE_TEST_SUITE_P(EntryLengths, WriterRoundTrip,
                         ::testing::Values(RelocationOptions{}, RelocationOptions{.forceEntryBytes = 1},
                                           RelocationOptions{.forceEntryBytes = 2},
                                           RelocationOptions{.forceEntryBytes = 4},
                                           RelocationOptions{.paddingBytes = 7},
                                           RelocationOptions{.forceEntryBytes = 4, .paddingBytes = 3, .padToWord = false},
                                           RelocationOptions::Packed()));

}  // namespace
