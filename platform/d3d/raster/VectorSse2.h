// The vector operations the span loops use, for SSE2 (every x86-64 processor): four 32-bit
// lanes, masks as all-ones lanes, tails through copies, gathers as four scalar loads. The
// operations SSE2 lacks (32-bit products and minimum, blends, 32- to 16-bit packing without
// sign) are built from the ones it has. Everything here has internal linkage.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Sse2 {
    static constexpr int kLanes = 4;
    static constexpr int kLaneShift = 2;
    static constexpr bool kPopcount = false;  // a bit count is a library call here
    using I = __m128i;
    using F = __m128;
    using M = __m128i;  // all ones in the lanes that pass

    static I Zero() { return _mm_setzero_si128(); }
    static I Set1(int32_t v) { return _mm_set1_epi32(v); }
    static I Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static I Lane() { return _mm_setr_epi32(0, 1, 2, 3); }
    static I Set1x16(int16_t v) { return _mm_set1_epi16(v); }
    static I Set1x64(int64_t v) { return _mm_set1_epi64x(v); }
    // One 128-bit block: the four values themselves, and 4 x the block's index (0).
    static I Blocks(__m128i v) { return v; }
    static I BlockQuads() { return _mm_setzero_si128(); }
    static int32_t First(I v) { return _mm_cvtsi128_si32(v); }

    static void Store(int32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

    static F FSet1(float v) { return _mm_set1_ps(v); }
    static F FLoad(const float* p) { return _mm_loadu_ps(p); }
    static void FStore(float* p, F v) { _mm_storeu_ps(p, v); }
    static F FAdd(F a, F b) { return _mm_add_ps(a, b); }
    static F FMul(F a, F b) { return _mm_mul_ps(a, b); }
    static F FMin(F a, F b) { return _mm_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm_max_ps(a, b); }
    static F FSub(F a, F b) { return _mm_sub_ps(a, b); }
    static F FDiv(F a, F b) { return _mm_div_ps(a, b); }
    static I Truncate(F a) { return _mm_cvttps_epi32(a); }
    static F ToFloat(I a) { return _mm_cvtepi32_ps(a); }
    // Truncates four integral-range floats to int64, as the scalar conversion does.
    static void StoreTruncated64(F t, int64_t* out)
    {
        alignas(16) float f[kLanes];
        _mm_store_ps(f, t);
        for (int j = 0; j < kLanes; ++j) {
            out[j] = int64_t(f[j]);
        }
    }

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

    // Lane K of `a` in every lane.
    template <int K> static I SplatLane(I a) { return _mm_shuffle_epi32(a, K * 0x55); }

    static I Add(I a, I b) { return _mm_add_epi32(a, b); }
    static I Sub(I a, I b) { return _mm_sub_epi32(a, b); }
    // The low 32 bits of the lane products, from the even and odd lanes' 64-bit products.
    static I MulLo(I a, I b)
    {
        const I even = _mm_mul_epu32(a, b);
        const I odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
    }
    static I Min(I a, I b) { return Select(_mm_cmpgt_epi32(a, b), b, a); }
    static I Min16(I a, I b) { return _mm_min_epi16(a, b); }
    static I And(I a, I b) { return _mm_and_si128(a, b); }
    static I Or(I a, I b) { return _mm_or_si128(a, b); }
    template <int N> static I Srl(I a) { return _mm_srli_epi32(a, N); }
    template <int N> static I Sll(I a) { return _mm_slli_epi32(a, N); }
    template <int N> static I Sra(I a) { return _mm_srai_epi32(a, N); }
    static I Add16(I a, I b) { return _mm_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm_sub_epi16(a, b); }
    static I MulLo16(I a, I b) { return _mm_mullo_epi16(a, b); }
    static I MulHiU16(I a, I b) { return _mm_mulhi_epu16(a, b); }
    template <int N> static I Srl16(I a) { return _mm_srli_epi16(a, N); }
    static I UnpackLo8(I a, I b) { return _mm_unpacklo_epi8(a, b); }
    static I UnpackHi8(I a, I b) { return _mm_unpackhi_epi8(a, b); }
    static I UnpackLo32(I a, I b) { return _mm_unpacklo_epi32(a, b); }
    static I UnpackHi32(I a, I b) { return _mm_unpackhi_epi32(a, b); }
    static I Packs32(I a, I b) { return _mm_packs_epi32(a, b); }
    static I Packus16(I a, I b) { return _mm_packus_epi16(a, b); }
    // The fourth 16-bit lane of each group of four across the group.
    static I SpreadAlpha16(I a) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF); }

    // Masks. The compares are signed: the loops compare values below 2^31 only.
    // The lanes below `count`, for any count.
    static M LanesBelow(int32_t count) { return _mm_cmpgt_epi32(_mm_set1_epi32(count), Lane()); }
    static M FirstLanes(int32_t count) { return count < kLanes ? LanesBelow(count) : _mm_set1_epi32(-1); }
    static M Equal(I a, I b) { return _mm_cmpeq_epi32(a, b); }
    static bool AnyOutside(M ok, M set) { return _mm_movemask_epi8(_mm_andnot_si128(set, ok)) != 0; }
    static M AndLessEqual(M ok, I a, I b) { return _mm_andnot_si128(_mm_cmpgt_epi32(a, b), ok); }
    static M AndGreater(M ok, I a, I b) { return _mm_and_si128(ok, _mm_cmpgt_epi32(a, b)); }
    static bool Any(M m) { return _mm_movemask_epi8(m) != 0; }
    static bool AllZero(I a) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF; }
    // The sign bit of every lane, lane 0 lowest.
    static uint32_t SignBits(I a) { return uint32_t(_mm_movemask_ps(_mm_castsi128_ps(a))); }

    // Memory: `count` lanes from p (the rest read as zero and are never written).
    static I LoadColor(const uint32_t* p, int32_t count)
    {
        if (count >= kLanes) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        }
        alignas(16) uint32_t copy[kLanes] = {};
        std::memcpy(copy, p, size_t(count) * 4);
        return _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
    }
    static void StoreColor(uint32_t* p, I value, M ok, int32_t count) { StoreColor(p, value, LoadColor(p, count), ok, count); }
    // `old` is LoadColor's result for the same lanes.
    static void StoreColor(uint32_t* p, I value, I old, M ok, int32_t count)
    {
        const I merged = Select(ok, value, old);
        if (count >= kLanes) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), merged);
            return;
        }
        alignas(16) uint32_t copy[kLanes];
        _mm_store_si128(reinterpret_cast<__m128i*>(copy), merged);
        std::memcpy(p, copy, size_t(count) * 4);
    }
    static I LoadDepth(const uint16_t* p, int32_t count)
    {
        I packed;
        if (count >= kLanes) {
            packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        } else {
            alignas(16) uint16_t copy[8] = {};
            std::memcpy(copy, p, size_t(count) * 2);
            packed = _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
        }
        return _mm_unpacklo_epi16(packed, _mm_setzero_si128());
    }
    // `old` is LoadDepth's result for the same lanes; values below 65536.
    static void StoreDepth(uint16_t* p, I value, I old, M ok, int32_t count)
    {
        // Packing signed saturates, so the values are packed as v - 32768 and moved back.
        const I bias = _mm_set1_epi32(32768);
        const I merged = _mm_sub_epi32(Select(ok, value, old), bias);
        const I packed = _mm_xor_si128(_mm_packs_epi32(merged, merged), _mm_set1_epi16(int16_t(0x8000)));
        if (count >= kLanes) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
            return;
        }
        alignas(16) uint16_t copy[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(copy), packed);
        std::memcpy(p, copy, size_t(count) * 2);
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
            const int32_t offset = first & 7;
            if ((fast >> slot) & 1u) {
                const int half = 2 * slot + (offset >> 2);
                anchor = ends[slot];  // for the next segment if it is not fast
                // start = high x 65536 + low, so (start + j step) >> 16 = high + ((low + j step) >> 16),
                // in 32 bits while 3 x step + 65535 fits.
                return Add(Set1(high[half]), Sra<16>(Add(Set1(low[half]), laneSteps[slot])));
            }
            const int64_t end = ends[slot];
            const int32_t segment = first & ~7;
            alignas(16) int32_t lanes[kLanes];
            if (segment + 8 <= n - 1) {
                const int64_t step = (end - anchor) / 8;
                const int64_t start = anchor + offset * step;
                if (offset != 0) {
                    anchor = end;
                }
                for (int j = 0; j < kLanes; ++j) {
                    lanes[j] = int32_t((start + j * step) >> 16);
                }
            } else {
                const int32_t len = n - 1 - segment;
                const int64_t step = len > 0 ? (end - anchor) / len : 0;
                for (int j = 0; j < kLanes; ++j) {
                    const int32_t k = offset + j;
                    lanes[j] = int32_t((k < len ? anchor + k * step : end) >> 16);
                }
            }
            return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
        }
    };

private:
    // `a` where the mask is set, `b` elsewhere.
    static I Select(M m, I a, I b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); }
};

}  // namespace

}  // namespace raster::detail
