// The vertex stage for L vertices at a time (lanes = vertices): transform, clip codes, divide
// and viewport mapping, written once over GCC vector types and built per instruction set.
//
// Every lane runs the scalar stage's operations in the scalar stage's order (the build never
// fuses a multiply-add), so each result is bit-identical to MapVerticesScalar's. Include this
// only from a file that has selected its instruction set; it has no out-of-line symbols of
// its own besides the functions its includer instantiates.
#pragma once

#include "platform/d3d/raster/Internal.h"
#include "platform/d3d/raster/VectorLanes.h"

#include <cstring>
#include <initializer_list>

#include <emmintrin.h>

namespace raster::detail {

namespace {

// Four rows of four floats turned into four columns.
inline void Transpose4(__m128& a, __m128& b, __m128& c, __m128& d)
{
    const __m128 t0 = _mm_unpacklo_ps(a, b), t1 = _mm_unpackhi_ps(a, b);
    const __m128 t2 = _mm_unpacklo_ps(c, d), t3 = _mm_unpackhi_ps(c, d);
    a = _mm_movelh_ps(t0, t2);
    b = _mm_movehl_ps(t2, t0);
    c = _mm_movelh_ps(t1, t3);
    d = _mm_movehl_ps(t3, t1);
}

// Writes L vertices' x, y, z, w (the first four floats of both records) from four vectors of L
// lanes, through the aligned `lane` rows.
template <int L, class Record, class F>
inline void StorePositions(Record* out, float (&lane)[5][L], const F& x, const F& y, const F& z, const F& w)
{
    std::memcpy(lane[0], &x, sizeof x);
    std::memcpy(lane[1], &y, sizeof y);
    std::memcpy(lane[2], &z, sizeof z);
    std::memcpy(lane[3], &w, sizeof w);
    for (int g = 0; g < L; g += 4) {
        __m128 column[4];
        for (int i = 0; i < 4; ++i) column[i] = _mm_load_ps(lane[i] + g);
        Transpose4(column[0], column[1], column[2], column[3]);
        for (int i = 0; i < 4; ++i) _mm_storeu_ps(reinterpret_cast<float*>(out + g + i), column[i]);
    }
}

// The nine attribute floats r, g, b, a, sr, sg, sb, u, v that follow the position in both
// ClipVertex and ScreenVertex: colour bytes as floats (exact), texture coordinates as given.
inline void StoreAttributes(const uint8_t* vertex, float* clipAttr, float* screenAttr)
{
    const __m128i zero = _mm_setzero_si128();
    int32_t words[2];
    std::memcpy(words, vertex + 16, sizeof words);
    const __m128i colour = _mm_cvtsi32_si128(words[0]);
    const __m128i specular = _mm_cvtsi32_si128(words[1]);
    const __m128 bgra = _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(colour, zero), zero));
    const __m128 specularBgra = _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(specular, zero), zero));
    const __m128 uv = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(vertex + 24)));  // any alignment
    const __m128 rgba = _mm_shuffle_ps(bgra, bgra, _MM_SHUFFLE(3, 0, 1, 2));
    const __m128 blueU = _mm_shuffle_ps(specularBgra, uv, _MM_SHUFFLE(0, 0, 0, 0));  // sb sb u u
    const __m128 specU = _mm_shuffle_ps(specularBgra, blueU, _MM_SHUFFLE(2, 0, 1, 2));  // sr sg sb u
    float v;
    std::memcpy(&v, vertex + 28, sizeof v);
    for (float* out : {clipAttr, screenAttr}) {
        _mm_storeu_ps(out, rgba);
        _mm_storeu_ps(out + 4, specU);
        out[8] = v;
    }
}

// Lanes whose value is finite (x - x is 0 only then).
template <class F>
inline auto FiniteMask(F v)
{
    return (v - v) == 0.0f;
}

// `bit` in the lanes where !(distance >= 0), NaN included, as in ClipCode.
template <class I>
inline I OutsideBit(I inside, int32_t bit)
{
    return (inside == 0) & bit;
}

// Maps `batches` x L vertices; the same results, field by field, as MapVerticesScalar.
template <int L>
void MapVertexBatches(const uint8_t* in, uint32_t batches, const VertexConstants& k, ClipVertex* clip,
                      ScreenVertex* screen, uint32_t* codes)
{
    using F = Lanes<float, L>;
    using I = Lanes<int32_t, L>;
    static_assert(L % 4 == 0 && sizeof(F) == 4 * L, "one lane a vertex, in groups of four");
    const float* m = k.m;
    for (uint32_t b = 0; b < batches; ++b, in += L * sizeof(LVertex), clip += L, screen += L, codes += L) {
        alignas(64) float lane[5][L];  // x, y, z, u, v; reused for the outputs below
        for (int g = 0; g < L; g += 4) {
            __m128 position[4], attributes[4];  // x, y, z, reserved; colour, specular, u, v
            for (int i = 0; i < 4; ++i) {
                const float* vertex = reinterpret_cast<const float*>(in + (g + i) * sizeof(LVertex));
                position[i] = _mm_loadu_ps(vertex);
                attributes[i] = _mm_loadu_ps(vertex + 4);
            }
            Transpose4(position[0], position[1], position[2], position[3]);
            Transpose4(attributes[0], attributes[1], attributes[2], attributes[3]);
            _mm_store_ps(lane[0] + g, position[0]);
            _mm_store_ps(lane[1] + g, position[1]);
            _mm_store_ps(lane[2] + g, position[2]);
            _mm_store_ps(lane[3] + g, attributes[2]);
            _mm_store_ps(lane[4] + g, attributes[3]);
        }
        auto row = [&lane](int i) { F r; std::memcpy(&r, lane[i], sizeof r); return r; };
        const F x = row(0), y = row(1), z = row(2), u = row(3), v = row(4);

        const F X = x * m[0] + y * m[4] + z * m[8] + m[12];
        const F Y = x * m[1] + y * m[5] + z * m[9] + m[13];
        const F Z = x * m[2] + y * m[6] + z * m[10] + m[14];
        const F W = x * m[3] + y * m[7] + z * m[11] + m[15];
        const F cx = X * k.sx + W * k.ox;
        const F cy = Y * k.sy + W * k.oy;
        const F cz = Z * k.sz + W * k.oz;
        const F cw = W;
        const I finite = FiniteMask(cx) & FiniteMask(cy) & FiniteMask(cz) & FiniteMask(cw) & FiniteMask(u) &
                         FiniteMask(v);
        const I outside = OutsideBit(cw + cx >= 0.0f, 1) | OutsideBit(cw - cx >= 0.0f, 2) |
                          OutsideBit(cw + cy >= 0.0f, 4) | OutsideBit(cw - cy >= 0.0f, 8) |
                          OutsideBit(cz >= 0.0f, 16) | OutsideBit(cw - cz >= 0.0f, 32) |
                          OutsideBit(cw - kMinW >= 0.0f, 64);

        const F invW = 1.0f / cw;
        const F xn = cx * invW;
        const F yn = cy * invW;
        const F sx = k.originX + (xn + 1.0f) * 0.5f * k.width;
        const F sy = k.originY + (1.0f - yn) * 0.5f * k.height;
        F sz = cz * invW;
        sz = sz >= 0.0f ? sz : F{} + 0.0f;  // NaN goes to 0, like ClampF
        sz = sz <= 1.0f ? sz : F{} + 1.0f;
        // |sx| and |sy|: the sign bit cleared (a cast between vectors keeps the bits).
        const F ax = F(I(sx) & 0x7FFFFFFF);
        const F ay = F(I(sy) & 0x7FFFFFFF);
        const I mapped = (invW > 0.0f) & (invW < __builtin_inff()) & (ax < kMaxScreenCoord) & (ay < kMaxScreenCoord);
        const I code = finite != 0 ? ((outside == 0) & (mapped == 0) ? I{} + int32_t(kNotMapped) : outside)
                                   : I{} + int32_t(kNotFinite);
        std::memcpy(codes, &code, sizeof code);

        StorePositions<L>(clip, lane, cx, cy, cz, cw);
        StorePositions<L>(screen, lane, sx, sy, sz, invW);
        for (int i = 0; i < L; ++i) {
            StoreAttributes(in + i * sizeof(LVertex), &clip[i].r, &screen[i].r);
        }
    }
}

}  // namespace

}  // namespace raster::detail
