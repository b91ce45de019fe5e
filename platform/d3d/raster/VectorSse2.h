// The vector operations the untextured span loop uses, for SSE2 (every x86-64 processor): four
// 32-bit lanes, masks as all-ones lanes, tails through copies. The operations SSE2 lacks (32-bit
// products and minimum, blends, 32- to 16-bit packing without sign) are built from the ones it
// has. Everything here has internal linkage.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

struct Sse2 {
    static constexpr int kLanes = 4;
    static constexpr int kLaneShift = 2;
    using I = __m128i;
    using F = __m128;
    using M = __m128i;  // all ones in the lanes that pass

    static I Zero() { return _mm_setzero_si128(); }
    static I Set1(int32_t v) { return _mm_set1_epi32(v); }
    static I Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static I Lane() { return _mm_setr_epi32(0, 1, 2, 3); }

    static void Store(int32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

    static F FSet1(float v) { return _mm_set1_ps(v); }
    static F FLoad(const float* p) { return _mm_loadu_ps(p); }
    static void FStore(float* p, F v) { _mm_storeu_ps(p, v); }
    static F FAdd(F a, F b) { return _mm_add_ps(a, b); }
    static F FMul(F a, F b) { return _mm_mul_ps(a, b); }
    static F FMin(F a, F b) { return _mm_min_ps(a, b); }
    static F FMax(F a, F b) { return _mm_max_ps(a, b); }
    static I Truncate(F a) { return _mm_cvttps_epi32(a); }

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
    static I Min16(I a, I b) { return _mm_min_epi16(a, b); }
    static I And(I a, I b) { return _mm_and_si128(a, b); }
    static I Or(I a, I b) { return _mm_or_si128(a, b); }
    template <int N> static I Srl(I a) { return _mm_srli_epi32(a, N); }
    template <int N> static I Sll(I a) { return _mm_slli_epi32(a, N); }
    static I MulLo16(I a, I b) { return _mm_mullo_epi16(a, b); }

    // Masks. The compares are signed: the loops compare values below 2^31 only.
    // The lanes below `count`, for any count.
    static M LanesBelow(int32_t count) { return _mm_cmpgt_epi32(_mm_set1_epi32(count), Lane()); }
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

private:
    // `a` where the mask is set, `b` elsewhere.
    static I Select(M m, I a, I b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); }
};

}  // namespace

}  // namespace raster::detail
