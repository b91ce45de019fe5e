// The vector operations the span loops use, for SSE2 (every x86-64 processor): four 32-bit
// lanes, masks as all-ones lanes, tails through copies, gathers as four scalar loads. What SSE2
// lacks is built from what it has: the compiler builds 32-bit products, minimum and blends
// (VectorLanes.h), this file the 32- to 16-bit packing without sign. Everything here has
// internal linkage.
#pragma once

#include "platform/d3d/raster/VectorLanes.h"

#include <emmintrin.h>

#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Sse2 : LaneMaskLanes<Sse2, 4> {
    static constexpr bool kPopcount = false;  // a bit count is a library call here
    static I Blocks(__m128i v) { return v; }  // one block: the four values themselves

    static F FMin(F a, F b) { return _mm_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm_max_ps(a, b); }

    // Depth x 65535 in 16.16 (`scale`) of four depths in 0 .. 1, truncated through double as the
    // scalar conversion does, as the low 32 bits per lane; `outside` gets the lanes where `steps`
    // steps of `step` leave 0 .. scale. One lane at a time: SSE2 converts no doubles to 64 bits.
    static I FixedDepth(F z, I steps, int64_t step, double scale, uint32_t& outside)
    {
        alignas(16) float depth[kLanes];
        alignas(16) int32_t count[kLanes], low[kLanes];
        _mm_store_ps(depth, z);
        _mm_store_si128(reinterpret_cast<__m128i*>(count), steps);
        outside = 0;
        for (int j = 0; j < kLanes; ++j) {
            const int64_t fixed = int64_t(double(depth[j]) * scale);
            const int64_t last = fixed + step * count[j];
            outside |= uint32_t(last < 0 || last > int64_t(scale)) << j;
            low[j] = int32_t(uint32_t(uint64_t(fixed)));
        }
        return _mm_load_si128(reinterpret_cast<const __m128i*>(low));
    }

    static I MulHiU16(I a, I b) { return _mm_mulhi_epu16(a, b); }
    static I UnpackLo8(I a, I b) { return _mm_unpacklo_epi8(a, b); }
    static I UnpackHi8(I a, I b) { return _mm_unpackhi_epi8(a, b); }
    static I UnpackLo32(I a, I b) { return _mm_unpacklo_epi32(a, b); }
    static I UnpackHi32(I a, I b) { return _mm_unpackhi_epi32(a, b); }
    static I Packs32(I a, I b) { return _mm_packs_epi32(a, b); }
    static I Packus16(I a, I b) { return _mm_packus_epi16(a, b); }
    // The fourth 16-bit lane of each group of four across the group.
    static I SpreadAlpha16(I a) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF); }

    // Masks.
    static bool AnyOutside(M ok, M set) { return _mm_movemask_epi8(_mm_andnot_si128(set, ok)) != 0; }
    static bool Any(M m) { return _mm_movemask_epi8(m) != 0; }
    // The sign bit of every lane, lane 0 lowest.
    static uint32_t SignBits(I a) { return uint32_t(_mm_movemask_ps(_mm_castsi128_ps(a))); }

    // Whole-register depth moves for the tails in LaneMaskLanes.
    static I LoadDepths(const uint16_t* p)
    {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static void StoreDepths(uint16_t* p, I value)
    {
        // Packing signed saturates, so the values are packed as v - 32768 and moved back.
        const I biased = _mm_sub_epi32(value, _mm_set1_epi32(32768));
        const I packed = _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(int16_t(0x8000)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
    }

    // Texels: four loads. SSE2 has no gather and no variable lane permute, so no row windows;
    // with four lanes and sixteen registers the textured loop keeps its working set in
    // registers by running in passes over chunks of this many pixels (coordinates, texels,
    // then shading).
    static constexpr bool kRowWindows = false;
    static constexpr int32_t kTexelPass = 64;
    static I Gather(const int32_t* base, I index)
    {
        const uint64_t lo = uint64_t(_mm_cvtsi128_si64(index));
        const uint64_t hi = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(index, index)));
        auto pair = [base](uint64_t two) {
            return _mm_unpacklo_epi32(_mm_cvtsi32_si128(base[uint32_t(two)]), _mm_cvtsi32_si128(base[uint32_t(two >> 32)]));
        };
        return _mm_unpacklo_epi64(pair(lo), pair(hi));
    }

    // Texel coordinates (24.8) of the four pixels at `first` of a span of n pixels: half of the
    // segment of eight at first & ~7 (ends[slot] its exact end at min(segment + 8, n - 1)),
    // stepped from `anchor` as TexWalker steps; the span's last pixel takes the end itself.
    // Moves `anchor` on to the end with the segment's second half. Where a run of four segments
    // starts, Prepare works out each half's start (as high and low parts) and each segment's
    // lane steps once; whole segments with small steps (`fast`) take their halves from them.
    struct Segments {
        int32_t high[8], low[8];
        I laneSteps[4];
        uint32_t fast = 0;

        void Prepare(int64_t anchor, const int64_t* ends, int32_t first, int32_t n)
        {
            fast = 0;
            int64_t start = anchor;
            for (int s = 0; s < 4; ++s) {
                const int64_t step = (ends[s] - start) / 8;
                constexpr int64_t kLimit = int64_t(1) << 28;
                if (first + 8 * s + 8 <= n - 1 && step < kLimit && step > -kLimit) {
                    fast |= 1u << s;
                    const int64_t second = start + 4 * step;
                    high[2 * s] = int32_t(uint32_t(uint64_t(start >> 16)));
                    low[2 * s] = int32_t(start & 0xFFFF);
                    high[2 * s + 1] = int32_t(uint32_t(uint64_t(second >> 16)));
                    low[2 * s + 1] = int32_t(second & 0xFFFF);
                    // 0, step, 2 step, 3 step.
                    const I v = Set1(int32_t(step));
                    laneSteps[s] = Add(Add(_mm_slli_si128(v, 4), _mm_slli_si128(v, 8)), _mm_slli_si128(v, 12));
                }
                start = ends[s];
            }
        }

        I Coords(int64_t& anchor, const int64_t* ends, int32_t slot, int32_t first, int32_t n)
        {
            if ((fast >> slot) & 1u) {
                const int half = 2 * slot + ((first & 7) >> 2);
                anchor = ends[slot];  // for the next segment if it is not fast
                // start = high x 65536 + low, so (start + j step) >> 16 = high + ((low + j step) >> 16),
                // in 32 bits while 3 x step + 65535 fits.
                return Add(Set1(high[half]), Sra<16>(Add(Set1(low[half]), laneSteps[slot])));
            }
            return SteppedCoords(anchor, ends, slot, first, n);
        }
    };
};

}  // namespace

}  // namespace raster::detail
