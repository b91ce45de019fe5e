// Writes the seed inputs of the loaders fuzz target: small chunk files made with the chunk
// writer, good ones of every shape plus a few refused ones.
// Usage: loaders_fuzz_seeds OUTDIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "data/ChunkWriter.h"

namespace {

// A little linked structure: a root record pointing at two children and an array, one null field.
ChunkBodyBuilder TreeBody(uint32_t nodes) {
    ChunkBodyBuilder body;
    std::vector<uint32_t> records;
    for (uint32_t i = 0; i < nodes; ++i) {
        records.push_back(body.AppendZeros(16));
        body.PutU32(records.back() + 12, 0x3F800000u + i);
    }
    for (uint32_t i = 0; i < nodes; ++i) {
        body.PutPointer(records[i], i + 1 < nodes ? records[i + 1] : 0);  // next
        body.PutPointer(records[i] + 4, records[0]);                      // back to the root
        body.MarkPointer(records[i] + 8);                                 // always null
    }
    return body;
}

bool Write(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    ChunkFileWriter model;
    model.AddDataChunk("NJTL", TreeBody(2));
    model.AddDataChunk("NJCM", TreeBody(6));
    ok &= Write(dir, "model-texlist.bin", model.Bytes());

    ChunkFileWriter motion;
    motion.AddDataChunk("NMDM", TreeBody(5), {.paddingBytes = 3});
    ok &= Write(dir, "motion.bin", motion.Bytes());

    ChunkBodyBuilder far;
    far.AppendZeros(4 * 300);
    far.PutPointer(0, 4 * 299);
    far.PutPointer(4 * 100, 4);
    far.PutPointer(4 * 299, 0);
    ChunkFileWriter wide;
    wide.AddRawChunk("MISC", {1, 2, 3, 4});
    wide.AddDataChunk("NJCM", far, {.forceEntryBytes = 2});
    wide.AddDataChunk("NJCM", TreeBody(3), {.forceEntryBytes = 4, .paddingBytes = 1});
    ok &= Write(dir, "model-wide-entries.bin", wide.Bytes());

    // Refused: the list's last entry is cut short.
    ChunkFileWriter cut;
    cut.AddRawChunk("NJCM", std::vector<uint8_t>(16, 0));
    cut.AddRawChunk("POF0", {0x41, 0x80});
    ok &= Write(dir, "bad-entry-cut.bin", cut.Bytes());

    // Refused: a listed field points past the body.
    ChunkFileWriter outside;
    outside.AddRawChunk("NMDM", {0, 0, 0, 0, 0x40, 0, 0, 0});
    outside.AddRawChunk("POF0", {0x41, 0, 0, 0});
    ok &= Write(dir, "bad-pointer-outside.bin", outside.Bytes());

    if (!ok) {
        std::fprintf(stderr, "cannot write seeds into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
