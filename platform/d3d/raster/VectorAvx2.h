// The vector operations the wide span loops use, for AVX2: eight 32-bit lanes, masks as
// all-ones lanes, tails through copies (AVX2 has no 16-bit masked stores). Include only after
// switching the instruction set to AVX2; everything here has internal linkage.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Avx2 {
    static constexpr int kLanes = 8;
    static constexpr int kLaneShift = 3;
    static constexpr bool kPopcount = true;
    using I = __m256i;
    using F = __m256;
    using M = __m256i;  // all ones in the lanes that pass

    static I Zero() { return _mm256_setzero_si256(); }
    static I Set1(int32_t v) { return _mm256_set1_epi32(v); }
    static I Load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static I Set1x16(int16_t v) { return _mm256_set1_epi16(v); }
    static I Set1x64(int64_t v) { return _mm256_set1_epi64x(v); }
    static I Lane() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
    // Four 32-bit values in every 128-bit block, and 4 x the block's index in each of its lanes.
    static I Blocks(__m128i v) { return _mm256_broadcastsi128_si256(v); }
    static I BlockQuads() { return _mm256_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4); }
    static int32_t First(I v) { return _mm256_cvtsi256_si32(v); }

    // Lane K of `a` in every lane.
    template <int K> static I SplatLane(I a)
    {
        return _mm256_shuffle_epi32(_mm256_permute2x128_si256(a, a, K < 4 ? 0x00 : 0x11), (K % 4) * 0x55);
    }

    static I Add(I a, I b) { return _mm256_add_epi32(a, b); }
    static I Sub(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I MulLo(I a, I b) { return _mm256_mullo_epi32(a, b); }
    static I Min(I a, I b) { return _mm256_min_epi32(a, b); }
    static I And(I a, I b) { return _mm256_and_si256(a, b); }
    static I Or(I a, I b) { return _mm256_or_si256(a, b); }
    template <int N> static I Srl(I a) { return _mm256_srli_epi32(a, N); }
    template <int N> static I Sll(I a) { return _mm256_slli_epi32(a, N); }
    template <int N> static I Sra(I a) { return _mm256_srai_epi32(a, N); }
    static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
    static I MulLo16(I a, I b) { return _mm256_mullo_epi16(a, b); }
    static I MulHiU16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    static I Min16(I a, I b) { return _mm256_min_epi16(a, b); }
    template <int N> static I Srl16(I a) { return _mm256_srli_epi16(a, N); }
    static I UnpackLo8(I a, I b) { return _mm256_unpacklo_epi8(a, b); }
    static I UnpackHi8(I a, I b) { return _mm256_unpackhi_epi8(a, b); }
    static I UnpackLo32(I a, I b) { return _mm256_unpacklo_epi32(a, b); }
    static I UnpackHi32(I a, I b) { return _mm256_unpackhi_epi32(a, b); }
    static I Packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
    static I Packus16(I a, I b) { return _mm256_packus_epi16(a, b); }
    // The fourth 16-bit lane of each group of four across the group.
    static I SpreadAlpha16(I a) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF); }

    static void Store(int32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static F FSet1(float v) { return _mm256_set1_ps(v); }
    static F FLoad(const float* p) { return _mm256_loadu_ps(p); }
    static void FStore(float* p, F v) { _mm256_storeu_ps(p, v); }
    static I Truncate(F a) { return _mm256_cvttps_epi32(a); }
    static F ToFloat(I a) { return _mm256_cvtepi32_ps(a); }
    static F FAdd(F a, F b) { return _mm256_add_ps(a, b); }
    static F FSub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F FMul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F FDiv(F a, F b) { return _mm256_div_ps(a, b); }
    static F FMin(F a, F b) { return _mm256_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm256_max_ps(a, b); }
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

    // Masks. The compares are signed: the loops compare values below 2^31 only.
    // The lanes below `count`, for any count.
    static M LanesBelow(int32_t count) { return _mm256_cmpgt_epi32(_mm256_set1_epi32(count), Lane()); }
    static M FirstLanes(int32_t count)
    {
        return count < kLanes ? _mm256_cmpgt_epi32(_mm256_set1_epi32(count), Lane()) : _mm256_set1_epi32(-1);
    }
    static M AndLessEqual(M ok, I a, I b) { return _mm256_andnot_si256(_mm256_cmpgt_epi32(a, b), ok); }
    static M AndGreater(M ok, I a, I b) { return _mm256_and_si256(ok, _mm256_cmpgt_epi32(a, b)); }
    static M Equal(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
    static bool Any(M m) { return !_mm256_testz_si256(m, m); }
    static bool AllZero(I a) { return _mm256_testz_si256(a, a) != 0; }
    // The sign bit of every lane, lane 0 lowest.
    static uint32_t SignBits(I a) { return uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(a))); }
    static bool AnyOutside(M ok, M set) { return !_mm256_testc_si256(set, ok); }

    // Memory: `count` lanes from p (the rest read as zero and are never written).
    static I LoadColor(const uint32_t* p, int32_t count)
    {
        if (count >= kLanes) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        }
        alignas(32) uint32_t copy[kLanes] = {};
        std::memcpy(copy, p, size_t(count) * 4);
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(copy));
    }
    static void StoreColor(uint32_t* p, I value, M ok, int32_t count) { StoreColor(p, value, LoadColor(p, count), ok, count); }
    // `old` is LoadColor's result for the same lanes.
    static void StoreColor(uint32_t* p, I value, I old, M ok, int32_t count)
    {
        const I merged = _mm256_blendv_epi8(old, value, ok);
        if (count >= kLanes) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), merged);
            return;
        }
        alignas(32) uint32_t copy[kLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(copy), merged);
        std::memcpy(p, copy, size_t(count) * 4);
    }
    static I LoadDepth(const uint16_t* p, int32_t count)
    {
        if (count >= kLanes) {
            return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        }
        alignas(16) uint16_t copy[kLanes] = {};
        std::memcpy(copy, p, size_t(count) * 2);
        return _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(copy)));
    }
    // `old` is LoadDepth's result for the same lanes.
    static void StoreDepth(uint16_t* p, I value, I old, M ok, int32_t count)
    {
        const I merged = _mm256_blendv_epi8(old, value, ok);
        const __m128i packed = _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(merged, merged), 0x08));
        if (count >= kLanes) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), packed);
            return;
        }
        alignas(16) uint16_t copy[kLanes];
        _mm_store_si128(reinterpret_cast<__m128i*>(copy), packed);
        std::memcpy(p, copy, size_t(count) * 2);
    }

    // Texels, with row windows by lane permutes; the textured loop runs in one pass.
    static constexpr bool kRowWindows = true;
    static constexpr int32_t kTexelPass = 0;
    static I Gather(const int32_t* base, I index) { return _mm256_i32gather_epi32(base, index, 4); }
    static I LoadWindow(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static I Permute(I table, I index) { return _mm256_permutevar8x32_epi32(table, index); }
    // The smallest column of a run that steps one way (first or last lane); AllWithin rejects
    // the window when that guess is wrong.
    static int32_t WindowStart(I i)
    {
        const int32_t a = _mm256_cvtsi256_si32(i), b = _mm256_extract_epi32(i, 7);
        return a < b ? a : b;
    }
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

    // Nothing kept between steps: each step works out its coordinates from the ends.
    struct Segments {
        void Prepare(int64_t, const int64_t*, int32_t, int32_t) {}
        static I Coords(int64_t& anchor, const int64_t* ends, int32_t slot, int32_t first, int32_t n)
        {
            return Avx2::Coords(anchor, ends + slot, first, n);
        }
    };

    // Texel coordinates (24.8) of the group at pixel `first` of a span of n pixels, stepped from
    // `anchor` to the exact ends[0] at min(first + 8, n - 1) as TexWalker steps them; the span's
    // last pixel takes the end itself. Moves `anchor` on to the end.
    static I Coords(int64_t& anchor, const int64_t* ends, int32_t first, int32_t n)
    {
        const int64_t end = ends[0];
        alignas(32) int32_t lanes[kLanes];
        if (first + 8 <= n - 1) {
            const int64_t step = (end - anchor) / 8;
            const int64_t start = anchor;
            anchor = end;
            // anchor = high x 65536 + low, so (anchor + j step) >> 16 = high + ((low + j step) >> 16),
            // in 32 bits while 7 x step + 65535 fits.
            constexpr int64_t kLimit = int64_t(1) << 28;
            if (step < kLimit && step > -kLimit) {
                const I high = Set1(int32_t(uint32_t(uint64_t(start >> 16))));
                const I low = Set1(int32_t(start & 0xFFFF));
                return Add(high, Sra<16>(Add(low, MulLo(Lane(), Set1(int32_t(step))))));
            }
            for (int j = 0; j < kLanes; ++j) {
                lanes[j] = int32_t((start + j * step) >> 16);
            }
        } else {
            const int32_t len = n - 1 - first;
            const int64_t step = len > 0 ? (end - anchor) / len : 0;
            for (int j = 0; j < kLanes; ++j) {
                lanes[j] = int32_t((j < len ? anchor + j * step : end) >> 16);
            }
        }
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
    }
};

}  // namespace

}  // namespace raster::detail
