// Loading cost of chunk files: the relocation check runs once per load, over every listed field.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "data/ChunkFile.h"
#include "data/ChunkWriter.h"

namespace {

// A body of `bytes` bytes with a pointer field every `stride` bytes, each pointing a little ahead.
std::vector<uint8_t> MakeFile(const char tag[4], uint32_t bytes, uint32_t stride) {
    ChunkBodyBuilder body;
    body.AppendZeros(bytes);
    for (uint32_t field = 4; field + 4 <= bytes; field += stride)
        body.PutPointer(field, field + 8 < bytes ? field + 4 : 0);
    ChunkFileWriter writer;
    writer.AddDataChunk(tag, body);
    return writer.Bytes();
}

// Model-sized: about 20 KB with 67 fields, as the embedded model.
void BM_LoadModelSized(benchmark::State& state) {
    std::vector<uint8_t> file = MakeFile("NJCM", 20040, 296);
    for (auto _ : state) {
        ChunkBody texList, object;
        LoadResult r = mdlLoadModelFile(file.data(), static_cast<uint32_t>(file.size()), &texList, &object);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(object);
    }
}
BENCHMARK(BM_LoadModelSized);

// Dense: 1 MiB with a field in every other word (131072 fields), for the per-field cost.
void BM_LoadMotionDense(benchmark::State& state) {
    std::vector<uint8_t> file = MakeFile("NMDM", 1u << 20, 8);
    for (auto _ : state) {
        ChunkBody motion;
        LoadResult r = mdlLoadMotionFile(file.data(), static_cast<uint32_t>(file.size()), &motion);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(motion);
    }
    state.SetItemsProcessed(state.iterations() * ((1 << 20) / 8));
}
BENCHMARK(BM_LoadMotionDense);

}  // namespace

BENCHMARK_MAIN();
