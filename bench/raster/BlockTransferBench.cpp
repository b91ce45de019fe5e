// The frame's clear and copy at 640 x 480, one thread: the colour fill of the whole 32-bit back
// buffer, the 16-bit Z fill of the 639 x 479 viewport, and the copy of the 639 x 479 picture
// into a window's pixels (alpha cleared), each on its own and as a frame would run them (fill, fill, a pass that
// reads both buffers as drawing would, copy). Variants run round-robin so that they share the
// machine's moments: the loops the frame used before (32- and 16-bit stores, a masked copy
// the compiler widened to SSE2), the row loops of each instruction set, and the AVX-512 loops
// with streaming (non-temporal) stores, which leave the caches to the buffers.
//
// Usage: block_transfer_bench [rounds, default 2000] [variant name substring]
#include "platform/d3d/raster/BlockTransfer.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480, kPictureWidth = 639, kPictureHeight = 479;

struct Buffers {
    uint8_t* color;
    uint8_t* depth;
    uint8_t* window;
    uint64_t sink = 0;
};

using Op = void (*)(Buffers&);

// Before: the loops the frame ran until now.
void BeforeColor(Buffers& b)
{
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(b.color + size_t(y) * kWidth * 4);
        std::fill_n(row, kWidth, 0x00FFFFFFu);
    }
}
void BeforeDepth(Buffers& b)
{
    for (int y = 0; y < kPictureHeight; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(b.depth + size_t(y) * kWidth * 2);
        std::fill(row, row + kPictureWidth, uint16_t{0xFFFF});
    }
}
void BeforeCopy(Buffers& b)
{
    for (int y = 0; y < kPictureHeight; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(b.color + size_t(y) * kWidth * 4);
        auto* out = reinterpret_cast<uint32_t*>(b.window + size_t(y) * kWidth * 4);
        for (int x = 0; x < kPictureWidth; ++x) {
            out[x] = in[x] & 0x00FFFFFFu;
        }
    }
}

template <raster::SpanPath P>
void RowsColor(Buffers& b)
{
    raster::FillRows(raster::RectFill{b.color, kWidth * 4, kWidth, kHeight, 4, 0x00FFFFFFu}, 0, kHeight, P);
}
template <raster::SpanPath P>
void RowsDepth(Buffers& b)
{
    raster::FillRows(raster::RectFill{b.depth, kWidth * 2, kPictureWidth, kPictureHeight, 2, 0xFFFF}, 0, kPictureHeight, P);
}
template <raster::SpanPath P>
void RowsCopy(Buffers& b)
{
    raster::CopyRows(raster::RectCopy{b.window, kWidth * 4, b.color, kWidth * 4, kPictureWidth, kPictureHeight, 4,
                                      raster::CopyKind::OpaqueXrgb},
                     0, kPictureHeight, P);
}

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw")
// Streaming stores over the aligned part of each row (the buffers here are 64-byte aligned);
// a row's last partial vector is a plain store.
void StreamFill(uint8_t* base, size_t pitch, size_t rowBytes, int rows, __m512i v)
{
    for (int y = 0; y < rows; ++y) {
        uint8_t* row = base + size_t(y) * pitch;
        size_t at = 0;
        for (; at + 64 <= rowBytes; at += 64) {
            _mm512_stream_si512(reinterpret_cast<__m512i*>(row + at), v);
        }
        if (at < rowBytes) _mm512_storeu_si512(row + rowBytes - 64, v);
    }
    _mm_sfence();
}
void StreamColor(Buffers& b) { StreamFill(b.color, kWidth * 4, kWidth * 4, kHeight, _mm512_set1_epi32(0x00FFFFFF)); }
void StreamDepth(Buffers& b) { StreamFill(b.depth, kWidth * 2, kPictureWidth * 2, kPictureHeight, _mm512_set1_epi16(-1)); }
void StreamCopy(Buffers& b)
{
    const __m512i keep = _mm512_set1_epi32(0x00FFFFFF);
    const size_t rowBytes = kPictureWidth * 4;
    for (int y = 0; y < kPictureHeight; ++y) {
        const uint8_t* in = b.color + size_t(y) * kWidth * 4;
        uint8_t* out = b.window + size_t(y) * kWidth * 4;
        size_t at = 0;
        for (; at + 64 <= rowBytes; at += 64) {
            const __m512i v = _mm512_loadu_si512(in + at);
            _mm512_stream_si512(reinterpret_cast<__m512i*>(out + at), _mm512_and_si512(v, keep));
        }
        const __m512i last = _mm512_loadu_si512(in + rowBytes - 64);
        _mm512_storeu_si512(out + rowBytes - 64, _mm512_and_si512(last, keep));
    }
    _mm_sfence();
}
#pragma GCC pop_options

// What drawing does to the buffers between the clear and the copy, in the crudest form: it
// reads every colour and depth line.
void Touch(Buffers& b)
{
    uint64_t sum = 0;
    for (size_t at = 0; at < size_t(kWidth) * kHeight * 4; at += 64) sum += b.color[at];
    for (size_t at = 0; at < size_t(kWidth) * kHeight * 2; at += 64) sum += b.depth[at];
    b.sink += sum;
}

// Brings all three buffers back into the caches, so that no variant starts from what the one
// before it left (streaming stores leave their buffers in memory).
void Settle(Buffers& b)
{
    Touch(b);
    uint64_t sum = 0;
    for (size_t at = 0; at < size_t(kWidth) * kHeight * 4; at += 64) sum += b.window[at];
    b.sink += sum;
}

struct Variant {
    const char* name;
    Op color, depth, copy;
    bool runs;
    std::vector<double> us[5];  // colour, depth, touch, copy, the sequence
};

double Time(Op op, Buffers& b)
{
    const auto t0 = std::chrono::steady_clock::now();
    op(b);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    using raster::SpanPath;
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const std::string only = argc > 2 ? argv[2] : "";
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    std::vector<Variant> variants = {
        {"before (32/16-bit stores, SSE2 copy)", &BeforeColor, &BeforeDepth, &BeforeCopy, true, {}},
        {"rows, generic", &RowsColor<SpanPath::Generic>, &RowsDepth<SpanPath::Generic>, &RowsCopy<SpanPath::Generic>, true, {}},
        {"rows, SSE2", &RowsColor<SpanPath::Baseline>, &RowsDepth<SpanPath::Baseline>, &RowsCopy<SpanPath::Baseline>,
         true, {}},
        {"rows, AVX2", &RowsColor<SpanPath::Avx2>, &RowsDepth<SpanPath::Avx2>, &RowsCopy<SpanPath::Avx2>,
         raster::SpanPathRuns(SpanPath::Avx2), {}},
        {"rows, AVX-512", &RowsColor<SpanPath::Avx512>, &RowsDepth<SpanPath::Avx512>, &RowsCopy<SpanPath::Avx512>,
         raster::SpanPathRuns(SpanPath::Avx512), {}},
        {"AVX-512 streaming stores", &StreamColor, &StreamDepth, &StreamCopy, avx512, {}},
    };
    std::vector<uint8_t*> blocks;
    auto block = [&blocks](size_t bytes) {
        auto* p = static_cast<uint8_t*>(std::aligned_alloc(64, bytes));
        std::memset(p, 0, bytes);
        blocks.push_back(p);
        return p;
    };
    Buffers b{block(size_t(kWidth) * kHeight * 4), block(size_t(kWidth) * kHeight * 2), block(size_t(kWidth) * kHeight * 4)};
    for (int round = -20; round < rounds; ++round) {
        for (Variant& v : variants) {
            if (!v.runs || (!only.empty() && std::string(v.name).find(only) == std::string::npos)) continue;
            Settle(b);
            const double c = Time(v.color, b);
            const double d = Time(v.depth, b);
            const double t = Time(&Touch, b);
            const double k = Time(v.copy, b);
            if (round < 0) continue;
            v.us[0].push_back(c);
            v.us[1].push_back(d);
            v.us[2].push_back(t);
            v.us[3].push_back(k);
            v.us[4].push_back(c + d + t + k);
        }
    }
    std::printf("%-38s %8s %8s %8s %8s %10s   (median microseconds of %d rounds)\n", "variant", "colour", "depth",
                "read", "copy", "sequence", rounds);
    for (Variant& v : variants) {
        if (v.us[0].empty()) continue;
        std::printf("%-38s %8.1f %8.1f %8.1f %8.1f %10.1f\n", v.name, Median(v.us[0]), Median(v.us[1]), Median(v.us[2]),
                    Median(v.us[3]), Median(v.us[4]));
    }
    for (uint8_t* p : blocks) std::free(p);
    return b.sink == 42 ? 1 : 0;
}
