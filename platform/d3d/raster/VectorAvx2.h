// The vector operations the wide span loops use, for AVX2: eight 32-bit lanes, masks as
// all-ones lanes, tails through copies (AVX2 has no 16-bit masked stores). Include only after
// switching the instruction set to AVX2; everything here has internal linkage.
#pragma once

#include "platform/d3d/raster/VectorLanes.h"

#include <immintrin.h>

#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Avx2 : LaneMaskLanes<Avx2, 8> {
    static constexpr bool kPopcount = true;
    // Four 32-bit values in every 128-bit block.
    static I Blocks(__m128i v) { return _mm256_broadcastsi128_si256(v); }

    static F FMin(F a, F b) { return _mm256_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm256_max_ps(a, b); }
    static I MulHiU16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    static I UnpackLo8(I a, I b) { return _mm256_unpacklo_epi8(a, b); }
    static I UnpackHi8(I a, I b) { return _mm256_unpackhi_epi8(a, b); }
    static I UnpackLo32(I a, I b) { return _mm256_unpacklo_epi32(a, b); }
    static I UnpackHi32(I a, I b) { return _mm256_unpackhi_epi32(a, b); }
    static I Packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
    static I Packus16(I a, I b) { return _mm256_packus_epi16(a, b); }
    // The fourth 16-bit lane of each group of four across the group.
    static I SpreadAlpha16(I a) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF); }

    // Truncates eight integral-range floats to int64 (via doubles: exact below 2^47).
    static void StoreTruncated64(F t, int64_t* out)
    {
        t = _mm256_round_ps(t, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __m256d magic = _mm256_set1_pd(6755399441055744.0);  // 2^52 + 2^51
        const __m256i magicBits = _mm256_castpd_si256(magic);
        const __m256d lo = _mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(t)), magic);
        const __m256d hi = _mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(t, 1)), magic);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_sub_epi64(_mm256_castpd_si256(lo), magicBits));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4), _mm256_sub_epi64(_mm256_castpd_si256(hi), magicBits));
    }

    // Depth x 65535 in 16.16 (`scale`) of eight depths in 0 .. 1, truncated through double as
    // the scalar conversion does, as the low 32 bits per lane; `outside` gets the lanes where
    // `steps` steps of `step` leave 0 .. scale. Every value is an integer below 2^53, so the
    // doubles are exact.
    static I FixedDepth(F z, I steps, int64_t step, double scale, uint32_t& outside)
    {
        const __m256d s = _mm256_set1_pd(scale), st = _mm256_set1_pd(double(step));
        __m128i low[2];
        uint32_t out = 0;
        for (int h = 0; h < 2; ++h) {
            const __m128 zh = h == 0 ? _mm256_castps256_ps128(z) : _mm256_extractf128_ps(z, 1);
            const __m128i nh = h == 0 ? _mm256_castsi256_si128(steps) : _mm256_extracti128_si256(steps, 1);
            const __m256d fixed = _mm256_round_pd(_mm256_mul_pd(_mm256_cvtps_pd(zh), s), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
            const __m256d last = _mm256_add_pd(fixed, _mm256_mul_pd(st, _mm256_cvtepi32_pd(nh)));
            const __m256d bad = _mm256_or_pd(_mm256_cmp_pd(last, _mm256_setzero_pd(), _CMP_LT_OQ),
                                             _mm256_cmp_pd(last, s, _CMP_GT_OQ));
            out |= uint32_t(_mm256_movemask_pd(bad)) << (4 * h);
            // Values up to 2^32 - 1: converted from 2^31 below, and the top bit put back.
            low[h] = _mm_xor_si128(_mm256_cvttpd_epi32(_mm256_sub_pd(fixed, _mm256_set1_pd(2147483648.0))),
                                   _mm_set1_epi32(INT32_MIN));
        }
        outside = out;
        return _mm256_set_m128i(low[1], low[0]);
    }

    // The largest of the 16-bit depths p[0 .. 15] whose bits are set in `columns`, folded
    // into `far` (16-bit lanes); FarthestOf gives the largest lane of `far`.
    static I FoldFarDepth(I far, const uint16_t* p, uint32_t columns)
    {
        const I bits = _mm256_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, -32768);
        const I in = _mm256_cmpeq_epi16(_mm256_and_si256(_mm256_set1_epi16(int16_t(columns)), bits), bits);
        return _mm256_max_epu16(far, _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), in));
    }
    static uint32_t FarthestOf(I far)
    {
        // The largest lane is the smallest of the complements.
        const __m128i m = _mm_max_epu16(_mm256_castsi256_si128(far), _mm256_extracti128_si256(far, 1));
        return 0xFFFFu - (uint32_t(_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(m, _mm_set1_epi32(-1))))) & 0xFFFFu);
    }

    // Masks.
    static bool Any(M m) { return !_mm256_testz_si256(m, m); }
    // The sign bit of every lane, lane 0 lowest.
    static uint32_t SignBits(I a) { return uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(a))); }
    static bool AnyOutside(M ok, M set) { return !_mm256_testc_si256(set, ok); }

    static I Select(M m, I a, I b) { return _mm256_blendv_epi8(b, a, m); }
    // Whole-register depth moves for the tails in LaneMaskLanes.
    static I LoadDepths(const uint16_t* p) { return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))); }
    static void StoreDepths(uint16_t* p, I value)
    {
        const __m128i packed = _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(value, value), 0x08));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), packed);
    }

    // Texels, with row windows by lane permutes; the textured loop runs in one pass.
    static constexpr bool kRowWindows = true;
    static constexpr int32_t kTexelPass = 0;
    static I Gather(const int32_t* base, I index) { return _mm256_i32gather_epi32(base, index, 4); }
    static I Permute(I table, I index) { return _mm256_permutevar8x32_epi32(table, index); }
    // Every offset in [0, reach] and every row equal to the first lane's.
    static bool AllWithin(I offsets, I rows, int32_t reach)
    {
        const I outside = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(offsets, _mm256_set1_epi32(reach)),
                            _mm256_cmpgt_epi32(_mm256_setzero_si256(), offsets)),
            _mm256_xor_si256(_mm256_cmpeq_epi32(rows, _mm256_permutevar8x32_epi32(rows, _mm256_setzero_si256())),
                             _mm256_set1_epi32(-1)));
        return _mm256_testz_si256(outside, outside) != 0;
    }

    // Nothing kept between steps: a whole segment with a small step takes its coordinates in
    // 32 bits from `anchor`, the others from SteppedCoords.
    struct Segments {
        void Prepare(int64_t, const int64_t*, int32_t, int32_t) {}
        static I Coords(int64_t& anchor, const int64_t* ends, int32_t slot, int32_t first, int32_t n)
        {
            if (first + 8 <= n - 1) {
                const int64_t start = anchor, step = (ends[slot] - start) / 8;
                // start = high x 65536 + low, so (start + j step) >> 16 = high + ((low + j step) >> 16),
                // in 32 bits while 7 x step + 65535 fits.
                constexpr int64_t kLimit = int64_t(1) << 28;
                if (step < kLimit && step > -kLimit) {
                    anchor = ends[slot];
                    const I high = Set1(int32_t(uint32_t(uint64_t(start >> 16))));
                    return Add(high, Sra<16>(Add(Set1(int32_t(start & 0xFFFF)), MulLo(Lane(), Set1(int32_t(step))))));
                }
            }
            return SteppedCoords(anchor, ends, slot, first, n);
        }
    };
};

}  // namespace

}  // namespace raster::detail
