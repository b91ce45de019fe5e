// What the vector layers (VectorSse2.h, VectorAvx2.h, VectorAvx512.h) have in common: the
// plain lane operations in GCC's vector extensions, from which the compiler picks the
// instructions of the set the including file switched to; the texel-coordinate stepping for
// large steps and span ends; and for the layers whose masks are all-ones lanes, the masks and
// the tails copied through a small buffer. Float minimum and maximum stay with the layers: GCC
// turns a < b ? a : b against a constant into masks instead of the min and max instructions.
// Include only from a layer; internal linkage, as the layers.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

template <class T, int N>
using Lanes [[gnu::vector_size(sizeof(T) * N)]] = T;

// N 32-bit lanes; the integer operations wrap, the compares are signed.
template <int N>
struct VectorLanes {
    static constexpr int kLanes = N;
    static constexpr int kLaneShift = std::countr_zero(unsigned(N));
    using I = Lanes<long long, N / 2>;  // as __m128i, __m256i, __m512i
    using F = Lanes<float, N>;          // as __m128, __m256, __m512
    using I32 = Lanes<int32_t, N>;
    using U32 = Lanes<uint32_t, N>;
    using I16 = Lanes<int16_t, 2 * N>;
    using U16 = Lanes<uint16_t, 2 * N>;

    static constexpr std::make_integer_sequence<int32_t, N> kLaneIndices{};

    static I Zero() { return I{}; }
    static I Set1(int32_t v) { return I(Splat<I32>(v, std::make_index_sequence<N>())); }
    static I Set1x16(int16_t v) { return I(Splat<I16>(v, std::make_index_sequence<2 * N>())); }
    static I Set1x64(int64_t v) { return Splat<I>(v, std::make_index_sequence<N / 2>()); }
    static I Lane() { return LaneAnd<-1>(kLaneIndices); }
    // 4 x the index of each lane's 128-bit block.
    static I BlockQuads() { return LaneAnd<~3>(kLaneIndices); }
    static int32_t First(I v) { return I32(v)[0]; }
    // A whole register from or to memory of any type and alignment.
    static I Load(const void* p) { I v; std::memcpy(&v, p, sizeof v); return v; }
    static void Store(void* p, I v) { std::memcpy(p, &v, sizeof v); }

    static F FSet1(float v) { return Splat<F>(v, std::make_index_sequence<N>()); }
    static F FAdd(F a, F b) { return a + b; }
    static F FSub(F a, F b) { return a - b; }
    static F FMul(F a, F b) { return a * b; }
    static F FDiv(F a, F b) { return a / b; }
    // Truncates integral-range floats to int64, as the scalar conversion does.
    static void StoreTruncated64(F t, int64_t* out)
    {
        const Lanes<int64_t, N> wide = __builtin_convertvector(t, Lanes<int64_t, N>);
        std::memcpy(out, &wide, sizeof wide);
    }
    static I Truncate(F a) { return I(__builtin_convertvector(a, I32)); }
    static F ToFloat(I a) { return __builtin_convertvector(I32(a), F); }

    static I Add(I a, I b) { return I(U32(a) + U32(b)); }
    static I Sub(I a, I b) { return I(U32(a) - U32(b)); }
    static I MulLo(I a, I b) { return I(U32(a) * U32(b)); }
    static I Min(I a, I b) { return I(I32(a) < I32(b) ? I32(a) : I32(b)); }
    static I And(I a, I b) { return a & b; }
    static I Or(I a, I b) { return a | b; }
    template <int K> static I Srl(I a) { return I(U32(a) >> K); }
    template <int K> static I Sll(I a) { return I(U32(a) << K); }
    template <int K> static I Sra(I a) { return I(I32(a) >> K); }
    static I Add16(I a, I b) { return I(U16(a) + U16(b)); }
    static I Sub16(I a, I b) { return I(U16(a) - U16(b)); }
    static I MulLo16(I a, I b) { return I(U16(a) * U16(b)); }
    static I Min16(I a, I b) { return I(I16(a) < I16(b) ? I16(a) : I16(b)); }
    template <int K> static I Srl16(I a) { return I(U16(a) >> K); }

    // kLanes values of T from p by Load, or where count < kLanes the first `count` and zeros
    // through a copy.
    template <auto Load, class T>
    static I LoadFirst(const T* p, int32_t count)
    {
        if (count >= N) {
            return Load(p);
        }
        alignas(4 * N) T copy[N] = {};
        std::memcpy(copy, p, size_t(count) * sizeof(T));
        return Load(copy);
    }
    // Stores kLanes values of T to p by Store, or only the first `count` through a copy.
    template <auto Store, class T>
    static void StoreFirst(T* p, I v, int32_t count)
    {
        if (count >= N) {
            Store(p, v);
            return;
        }
        alignas(4 * N) T copy[N];
        Store(copy, v);
        std::memcpy(p, copy, size_t(count) * sizeof(T));
    }

    // The smallest column of a run that steps one way (first or last lane); the loop checks
    // the guess.
    static int32_t WindowStart(I i) { return std::min(I32(i)[0], I32(i)[N - 1]); }

    // Texel coordinates (24.8) of the kLanes pixels at `first` of a span of n pixels, stepped
    // as TexWalker steps in 64 bits, for any steps: the segment of eight pixels at first & ~7
    // from `anchor` at its start to ends[slot] at min(its start + 8, n - 1), where the span's
    // last pixel takes the end itself. Moves `anchor` on to the end once the step finishes a
    // whole segment. Out of line: taken at a span's end, and inlined it costs the loops
    // registers.
    [[gnu::noinline]] static I SteppedCoords(int64_t& anchor, const int64_t* ends, int32_t slot, int32_t first, int32_t n)
    {
        static_assert(N <= 8, "a step lies within one segment");
        const int32_t offset = first & 7, len = std::min(n - 1 - (first - offset), 8);
        const int64_t end = ends[slot];
        const int64_t step = len > 0 ? (end - anchor) / len : 0;
        alignas(4 * N) int32_t lanes[N];
        for (int32_t j = 0; j < N; ++j) {
            lanes[j] = int32_t((offset + j < len ? anchor + (offset + j) * step : end) >> 16);
        }
        if (len == 8 && offset + N == 8) {
            anchor = end;
        }
        return Load(lanes);
    }

protected:
    // Each lane's index & Mask.
    template <int32_t Mask, int32_t... K> static I LaneAnd(std::integer_sequence<int32_t, K...>) { return I(I32{(K & Mask)...}); }

private:
    template <class R, class T, size_t... K> static R Splat(T v, std::index_sequence<K...>) { return R{(void(K), v)...}; }
};

// Masks as all-ones lanes and tails through copies, for layers without mask registers.
// `Layer` gives Select (`a` where the mask is set, `b` elsewhere) and the whole-register
// depth moves LoadDepths (kLanes 16-bit values widened) and StoreDepths (values below 65536).
template <class Layer, int N>
struct LaneMaskLanes : VectorLanes<N> {
    using Base = VectorLanes<N>;
    using typename Base::I;
    using typename Base::I32;
    using M = I;  // all ones in the lanes that pass

    // The lanes below `count`, for any count.
    static M LanesBelow(int32_t count) { return M(I32(Base::Set1(count)) > I32(Base::Lane())); }
    static M FirstLanes(int32_t count) { return count < N ? LanesBelow(count) : M(I32{} - 1); }
    static M Equal(I a, I b) { return M(I32(a) == I32(b)); }
    static M AndLessEqual(M ok, I a, I b) { return ok & ~M(I32(a) > I32(b)); }
    static M AndGreater(M ok, I a, I b) { return ok & M(I32(a) > I32(b)); }
    static I Select(M m, I a, I b) { return (m & a) | (~m & b); }

    // Memory: `count` lanes from p (the rest read as zero and are never written).
    static I LoadColor(const uint32_t* p, int32_t count) { return Base::template LoadFirst<Base::Load>(p, count); }
    static void StoreColor(uint32_t* p, I value, M ok, int32_t count) { StoreColor(p, value, LoadColor(p, count), ok, count); }
    // `old` is LoadColor's result for the same lanes.
    static void StoreColor(uint32_t* p, I value, I old, M ok, int32_t count)
    {
        Base::template StoreFirst<Base::Store>(p, Layer::Select(ok, value, old), count);
    }
    static I LoadDepth(const uint16_t* p, int32_t count) { return Base::template LoadFirst<Layer::LoadDepths>(p, count); }
    // `old` is LoadDepth's result for the same lanes.
    static void StoreDepth(uint16_t* p, I value, I old, M ok, int32_t count)
    {
        Base::template StoreFirst<Layer::StoreDepths>(p, Layer::Select(ok, value, old), count);
    }
};

}  // namespace

}  // namespace raster::detail
