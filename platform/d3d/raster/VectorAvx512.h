// The vector operations the wide span loops use, for AVX-512 (F, BW, VL, DQ): sixteen 32-bit
// lanes, mask registers, masked loads and stores for tails. Include only after switching the
// instruction set to AVX-512; everything here has internal linkage.
#pragma once

#include "platform/d3d/raster/VectorLanes.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Avx512 : VectorLanes<16> {
    using M = __mmask16;

    static I Blocks(__m128i v) { return _mm512_broadcast_i32x4(v); }
    static F FMin(F a, F b) { return _mm512_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm512_max_ps(a, b); }
    static I MulHiU16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
    static I UnpackLo8(I a, I b) { return _mm512_unpacklo_epi8(a, b); }
    static I UnpackHi8(I a, I b) { return _mm512_unpackhi_epi8(a, b); }
    static I UnpackLo32(I a, I b) { return _mm512_unpacklo_epi32(a, b); }
    static I UnpackHi32(I a, I b) { return _mm512_unpackhi_epi32(a, b); }
    static I Packs32(I a, I b) { return _mm512_packs_epi32(a, b); }
    static I Packus16(I a, I b) { return _mm512_packus_epi16(a, b); }
    static I SpreadAlpha16(I a) { return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(a, 0xFF), 0xFF); }

    static M FirstLanes(int32_t count) { return count >= kLanes ? M(0xFFFF) : M((1u << count) - 1u); }
    static M AndLessEqual(M ok, I a, I b) { return _mm512_mask_cmple_epu32_mask(ok, a, b); }
    static M AndGreater(M ok, I a, I b) { return _mm512_mask_cmpgt_epu32_mask(ok, a, b); }
    static M Equal(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b); }
    static bool Any(M m) { return m != 0; }
    static bool AnyOutside(M ok, M set) { return (ok & ~set) != 0; }

    static I LoadColor(const uint32_t* p, int32_t count) { return _mm512_maskz_loadu_epi32(FirstLanes(count), p); }
    static void StoreColor(uint32_t* p, I value, M ok, int32_t) { _mm512_mask_storeu_epi32(p, ok, value); }
    static I LoadDepth(const uint16_t* p, int32_t count)
    {
        return _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(FirstLanes(count), p));
    }
    static void StoreDepth(uint16_t* p, I value, I, M ok, int32_t) { _mm256_mask_storeu_epi16(p, ok, _mm512_cvtepi32_epi16(value)); }

    // Row windows of texels by lane permutes; the textured loop runs in one pass.
    static constexpr bool kRowWindows = true;
    static constexpr int32_t kTexelPass = 0;
    static I Gather(const int32_t* base, I index) { return _mm512_i32gather_epi32(index, base, 4); }
    static I Permute(I table, I index) { return _mm512_permutexvar_epi32(index, table); }
    static bool AllWithin(I offsets, I rows, int32_t reach)
    {
        return (_mm512_cmple_epu32_mask(offsets, _mm512_set1_epi32(reach)) &
                _mm512_cmpeq_epi32_mask(rows, _mm512_set1_epi32(_mm512_cvtsi512_si32(rows)))) == 0xFFFF;
    }

    // The sixteen segments that start at a step whose slot is 0, worked out at once in 64-bit
    // lanes: where both segments of a step are whole and their steps small, the step takes its
    // coordinates in the 32-bit form of Avx2's from the kept high and low parts and steps
    // (`fast`, a bit per segment); else as SteppedCoords, in 64-bit lanes.
    struct Segments {
        alignas(64) int32_t high[kLanes], low[kLanes], step[kLanes];
        uint32_t fast = 0;

        // ends[s] is the exact coordinate at min(first + 8 (s + 1), n - 1), anchor at first.
        void Prepare(int64_t anchor, const int64_t* ends, int32_t first, int32_t n)
        {
            const __m512i ends0 = _mm512_load_si512(ends), ends1 = _mm512_load_si512(ends + 8);
            const __m512i starts0 = _mm512_alignr_epi64(ends0, _mm512_set1_epi64(anchor), 7);
            const __m512i starts1 = _mm512_alignr_epi64(ends1, ends0, 7);
            const int32_t whole = std::clamp((n - 1 - first) / 8, 0, kLanes);
            fast = Half(starts0, ends0, 0) | Half(starts1, ends1, 8);
            fast &= whole == kLanes ? 0xFFFFu : (1u << whole) - 1u;
        }

        I Coords(int64_t& anchor, const int64_t* ends, int32_t slot, int32_t first, int32_t n)
        {
            if (((fast >> slot) & 3u) != 3u) {
                const __m256i lo = Segment(anchor, ends[slot], first, n);
                const __m256i hi = Segment(ends[slot], ends[slot + 1], first + 8, n);
                anchor = ends[slot + 1];
                return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
            }
            anchor = ends[slot + 1];
            const I j = LaneAnd<7>(kLaneIndices);
            auto halves = [slot](const int32_t* v) { return Halves(v[slot], v[slot + 1]); };
            return Add(halves(high), Sra<16>(Add(halves(low), MulLo(j, halves(step)))));
        }

    private:
        // Eight segments from starts to ends; their bits in `fast` if the steps are small.
        uint32_t Half(__m512i starts, __m512i ends, int at)
        {
            const __m512i d = _mm512_sub_epi64(ends, starts);
            // d / 8 rounded toward zero, as the scalar division.
            const __m512i s = _mm512_srai_epi64(_mm512_add_epi64(d, _mm512_and_si512(_mm512_srai_epi64(d, 63), _mm512_set1_epi64(7))), 3);
            constexpr int64_t kLimit = int64_t(1) << 28;
            const __mmask8 small = _mm512_cmplt_epi64_mask(s, _mm512_set1_epi64(kLimit)) &
                                   _mm512_cmpgt_epi64_mask(s, _mm512_set1_epi64(-kLimit));
            _mm256_store_si256(reinterpret_cast<__m256i*>(high + at), _mm512_cvtepi64_epi32(_mm512_srai_epi64(starts, 16)));
            _mm256_store_si256(reinterpret_cast<__m256i*>(low + at), _mm512_cvtepi64_epi32(_mm512_and_si512(starts, _mm512_set1_epi64(0xFFFF))));
            _mm256_store_si256(reinterpret_cast<__m256i*>(step + at), _mm512_cvtepi64_epi32(s));
            return uint32_t(small) << at;
        }
    };

private:
    // `lo` in lanes 0 - 7, `hi` in lanes 8 - 15.
    static I Halves(int32_t lo, int32_t hi) { return _mm512_mask_blend_epi32(0xFF00, Set1(lo), Set1(hi)); }

    // Eight coordinates stepped in 64-bit lanes; lanes past the span hold `end`.
    static __m256i Segment(int64_t anchor, int64_t end, int32_t first, int32_t n)
    {
        const int32_t len = std::clamp(n - 1 - first, 0, 8);
        const int64_t step = len > 0 ? (len == 8 ? (end - anchor) / 8 : (end - anchor) / len) : 0;
        const __m512i lane = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
        const __m512i stepped = _mm512_add_epi64(_mm512_set1_epi64(anchor), _mm512_mullo_epi64(lane, _mm512_set1_epi64(step)));
        const __m512i value = _mm512_mask_blend_epi64(_mm512_cmpge_epi64_mask(lane, _mm512_set1_epi64(len)), stepped,
                                                      _mm512_set1_epi64(end));
        return _mm512_cvtepi64_epi32(_mm512_srai_epi64(value, 16));
    }
};

}  // namespace

}  // namespace raster::detail
