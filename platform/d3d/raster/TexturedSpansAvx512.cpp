// Textured span loops for AVX-512 (F, BW, VL, DQ): the states of TexturedSpans.cpp, sixteen
// pixels per step, with exactly the same arithmetic (so the same pixels). Masks replace the
// blends and the tail copies of the AVX2 loops; colours are shaded in 16-bit lanes, pixels
// 0, 1, 4, 5, 8, 9, 12, 13 in one register and the others in a second (the order in which a
// row of sixteen pixels unpacks).
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/VariantTable.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only the functions below use AVX-512; the inline code of the headers above stays baseline.
#pragma GCC push_options
#pragma GCC target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512dq")
// GCC 12's AVX-512 intrinsics start from deliberately undefined registers, which its
// uninitialized-use warning reports once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace raster::detail {

namespace {

// round(x / 255) in every 16-bit lane, x <= 255 x 255 (as Div255).
inline __m512i Div255x16(__m512i x)
{
    return _mm512_mulhi_epu16(_mm512_add_epi16(x, _mm512_set1_epi16(128)), _mm512_set1_epi16(257));
}

// Sixteen 32-bit per-pixel values (below 65536) to the two 16-bit lane layouts, each value in
// the four lanes of its pixel.
inline void SpreadToPixels(__m512i v, __m512i& lo, __m512i& hi)
{
    const __m512i both = _mm512_or_si512(v, _mm512_slli_epi32(v, 16));
    lo = _mm512_unpacklo_epi32(both, both);
    hi = _mm512_unpackhi_epi32(both, both);
}

// (a (256 - w) + b w) >> 8 in every 16-bit lane; every sum stays below 65536.
inline __m512i Lerp16(__m512i a, __m512i b, __m512i w)
{
    const __m512i w1 = _mm512_sub_epi16(_mm512_set1_epi16(256), w);
    return _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(a, w1), _mm512_mullo_epi16(b, w)), 8);
}

// TexWalker::Exact at the pixels first, first + 8, ..., first + 120 (each at most the span's
// last pixel), sixteen at a time with the same float operations, as 24-fraction-bit values.
inline void ExactEnds(const TexWalker& tw, int32_t first, int64_t* outS, int64_t* outT)
{
    const __m512i index = _mm512_min_epi32(
        _mm512_add_epi32(_mm512_set1_epi32(first),
                         _mm512_mullo_epi32(_mm512_set1_epi32(8),
                                            _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15))),
        _mm512_set1_epi32(tw.n - 1));
    const __m512 fi = _mm512_cvtepi32_ps(index);
    __m512 u = _mm512_add_ps(_mm512_set1_ps(tw.u0), _mm512_mul_ps(fi, _mm512_set1_ps(tw.du)));
    __m512 v = _mm512_add_ps(_mm512_set1_ps(tw.v0), _mm512_mul_ps(fi, _mm512_set1_ps(tw.dv)));
    if (tw.perspective) {
        const __m512 w = _mm512_add_ps(_mm512_set1_ps(tw.w0), _mm512_mul_ps(fi, _mm512_set1_ps(tw.dw)));
        // w > min ? w : min, NaN included (max returns its second operand when unordered).
        const __m512 r = _mm512_div_ps(_mm512_set1_ps(1.0f), _mm512_max_ps(w, _mm512_set1_ps(kMinInvW)));
        u = _mm512_mul_ps(u, r);
        v = _mm512_mul_ps(v, r);
    }
    // TexelFixed24: clamped (NaN to the low end), scaled exactly by 2^24, truncated to int64.
    auto fixed24 = [](__m512 c, int32_t size, int64_t* out) {
        __m512 t = _mm512_sub_ps(_mm512_mul_ps(c, _mm512_set1_ps(float(size))), _mm512_set1_ps(0.5f));
        t = _mm512_min_ps(_mm512_max_ps(t, _mm512_set1_ps(-kMaxTexelCoord)), _mm512_set1_ps(kMaxTexelCoord));
        t = _mm512_mul_ps(t, _mm512_set1_ps(16777216.0f));
        _mm512_storeu_si512(out, _mm512_cvttps_epi64(_mm512_castps512_ps256(t)));
        _mm512_storeu_si512(out + 8, _mm512_cvttps_epi64(
                                         _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(t), 1))));
    };
    fixed24(u, tw.width, outS);
    fixed24(v, tw.height, outT);
}

// Texel coordinates (24.8) of the eight pixels of the segment starting at pixel `first` of a
// span of n pixels, as TexWalker steps them: from the exact `anchor` by (end - anchor) / len,
// where `end` is exact at min(first + 8, n - 1); the span's last pixel takes `end` itself.
// Lanes past the span hold `end` (masked off by the caller).
inline __m256i SegmentCoords(int64_t anchor, int64_t end, int32_t first, int32_t n)
{
    const int32_t len = std::clamp(n - 1 - first, 0, 8);
    const int64_t step = len > 0 ? (len == 8 ? (end - anchor) / 8 : (end - anchor) / len) : 0;
    const __m512i lane = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512i stepped = _mm512_add_epi64(_mm512_set1_epi64(anchor),
                                             _mm512_mullo_epi64(lane, _mm512_set1_epi64(step)));
    const __m512i value = _mm512_mask_blend_epi64(_mm512_cmpge_epi64_mask(lane, _mm512_set1_epi64(len)),
                                                  stepped, _mm512_set1_epi64(end));
    return _mm512_cvtepi64_epi32(_mm512_srai_epi64(value, 16));
}

template <bool Linear, bool Blend, bool AlphaTest, bool Specular>
void TexturedSpanAvx512(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    TexWalker tw;
    tw.Setup(p, ctx, y, x0, x1);
    const int32_t n = x1 - x0;

    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch) + x0;
    uint16_t* zrow = ctx.zTest
        ? reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch) + x0
        : nullptr;
    const int32_t* tex = reinterpret_cast<const int32_t*>(ctx.texels);
    const uint32_t texStride = uint32_t(ctx.texPitch / 4);  // stride x height fits (checked on selection)
    const uint32_t texWidth = uint32_t(ctx.texWidth);
    const __m512i stride = _mm512_set1_epi32(int32_t(texStride));
    const __m512i uMask = _mm512_set1_epi32(int32_t(texWidth - 1));
    const __m512i vMask = _mm512_set1_epi32(ctx.texHeight - 1);
    auto RowStart = [&](__m512i j) {
        return ptrdiff_t((uint32_t(_mm512_cvtsi512_si32(j)) & (uint32_t(ctx.texHeight) - 1)) * texStride);
    };
    // When the sixteen texel columns i all lie in [first, first + reach] (first the smallest)
    // and the rows j are one row, the texture column of `first` (wrapped; the window of sixteen
    // texels from it stays inside the row) and the columns' offsets in that window; else -1,
    // and the caller gathers.
    auto RowWindow = [&](__m512i i, __m512i j, int32_t reach, __m512i& offsets) -> int32_t {
        const int32_t first = _mm512_reduce_min_epi32(i);
        const uint32_t column = uint32_t(first) & (texWidth - 1);
        if (column + 16 > texWidth) {
            return -1;
        }
        offsets = _mm512_sub_epi32(i, _mm512_set1_epi32(first));
        const __mmask16 inside = _mm512_cmple_epu32_mask(offsets, _mm512_set1_epi32(reach)) &
                                 _mm512_cmpeq_epi32_mask(j, _mm512_set1_epi32(_mm512_cvtsi512_si32(j)));
        return inside == 0xFFFF ? int32_t(column) : -1;
    };
    const __m512i zero = _mm512_setzero_si512();
    const __m512i max255 = _mm512_set1_epi16(255);
    // Without texture alpha the texel's alpha reads as 255; with it, MODULATE takes the
    // texture's alpha alone (the vertex alpha lane is forced to 255: 255 x a / 255 = a).
    const bool texAlpha = ctx.texHasAlpha;
    const __m512i texAlphaOr = _mm512_set1_epi32(texAlpha ? 0 : int(0xFF000000u));
    const __m512i alpha16 = texAlpha ? zero : _mm512_set1_epi64(int64_t(255) << 48);
    const __m512i vertexAlphaOr = texAlpha ? _mm512_set1_epi64(int64_t(255) << 48) : zero;
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const __m512i keep = _mm512_set1_epi32(int(0x00FFFFFFu | alphaMask));
    const __m512i dstAlphaOr = _mm512_set1_epi32(alphaMask == 0 ? int(0xFF000000u) : 0);
    const __m512i alphaRef = _mm512_set1_epi32(int(ctx.alphaRef));
    const bool zWrite = ctx.zWrite;

    // Most spans of a textured scene need neither (see ModulateWorkOf).
    const ModulateWork work = ModulateWorkOf(s, texAlpha, Specular);
    const bool modulate = work.modulate;
    const bool addSpecular = work.addSpecular;
    // Vertex colour and specular, 16.16 in 32-bit lanes B G R A; one register holds pixels
    // k, k + 4, k + 8 and k + 12 of the step in its four quarters.
    const __m512i quarter = _mm512_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    auto spread = [&](const int32_t* c, const int32_t* dc, bool withAlpha, __m512i& first, __m512i& step,
                      __m512i& step16) {
        const __m512i c4 = _mm512_set4_epi32(withAlpha ? c[3] : 0, c[0], c[1], c[2]);
        const __m512i d4 = _mm512_set4_epi32(withAlpha ? dc[3] : 0, dc[0], dc[1], dc[2]);
        first = _mm512_add_epi32(c4, _mm512_mullo_epi32(quarter, d4));
        step = d4;
        step16 = _mm512_slli_epi32(d4, 4);
    };
    __m512i color0, dColor, dColor16;
    spread(s.c, s.dc, true, color0, dColor, dColor16);
    __m512i spec0 = zero, dSpec = zero, dSpec16 = zero;
    if constexpr (Specular) {
        spread(s.c + 4, s.dc + 4, false, spec0, dSpec, dSpec16);
    }
    // Depth x 65535 in 16.16, wrapping arithmetic as the SSE2 loop.
    __m512i z = _mm512_add_epi32(
        _mm512_set1_epi32(int32_t(uint32_t(s.z))),
        _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                           _mm512_set1_epi32(int32_t(uint32_t(s.dz)))));
    const __m512i dz16 = _mm512_set1_epi32(int32_t(uint32_t(s.dz) * 16u));
    const __m512i half = _mm512_set1_epi32(32768);

    // The 16-bit lanes of the two layouts from four 16.16 registers (pixels k, k + 4, ...).
    auto lanes16 = [](__m512i a0, __m512i a1, __m512i a2, __m512i a3, __m512i& lo, __m512i& hi) {
        lo = _mm512_packs_epi32(_mm512_srli_epi32(a0, 16), _mm512_srli_epi32(a1, 16));
        hi = _mm512_packs_epi32(_mm512_srli_epi32(a2, 16), _mm512_srli_epi32(a3, 16));
    };

    int64_t anchorS = 0, anchorT = 0;  // exact coordinates at the step's first pixel
    tw.Exact(0, anchorS, anchorT);
    alignas(64) int64_t endsS[16], endsT[16];  // exact coordinates at the ends of sixteen segments
    for (int32_t g = 0; g < n; g += 16) {
        const int32_t slot = (g >> 3) & 15;
        if (slot == 0) {
            ExactEnds(tw, g + 8, endsS, endsT);
        }
        // Texture coordinates of the step's two segments.
        const int64_t midS = endsS[slot], midT = endsT[slot];
        const int64_t endS = endsS[slot + 1], endT = endsT[slot + 1];
        const __m512i S = _mm512_inserti64x4(_mm512_castsi256_si512(SegmentCoords(anchorS, midS, g, n)),
                                             SegmentCoords(midS, endS, g + 8, n), 1);
        const __m512i T = _mm512_inserti64x4(_mm512_castsi256_si512(SegmentCoords(anchorT, midT, g, n)),
                                             SegmentCoords(midT, endT, g + 8, n), 1);
        anchorS = endS;
        anchorT = endT;

        const int32_t count = std::min<int32_t>(16, n - g);
        const __mmask16 inSpan = __mmask16((1u << count) - 1u);
        uint32_t* dst = row + g;
        const __m512i z16 = _mm512_srli_epi32(_mm512_add_epi32(z, half), 16);
        __mmask16 ok = inSpan;
        if (zrow != nullptr) {
            const __m512i zOld = _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(inSpan, zrow + g));
            ok = _mm512_mask_cmple_epu32_mask(ok, z16, zOld);
        }

        if (ok != 0) {
            // Filtered texels in the two 16-bit layouts.
            __m512i tLo, tHi;
            if constexpr (Linear) {
                const __m512i i0 = _mm512_srai_epi32(S, 8), j0 = _mm512_srai_epi32(T, 8);
                const __m512i one = _mm512_set1_epi32(1);
                __m512i lt, rt, lb, rb, offsets;
                if (const int32_t column = RowWindow(i0, j0, 14, offsets); column >= 0) {
                    // Magnified: every footprint lies in one 16-texel window of two rows.
                    const int32_t* top = tex + RowStart(j0) + column;
                    const int32_t* bottom = tex + RowStart(_mm512_add_epi32(j0, one)) + column;
                    const __m512i topRow = _mm512_loadu_si512(top);
                    const __m512i bottomRow = _mm512_loadu_si512(bottom);
                    const __m512i next = _mm512_add_epi32(offsets, one);
                    lt = _mm512_permutexvar_epi32(offsets, topRow);
                    rt = _mm512_permutexvar_epi32(next, topRow);
                    lb = _mm512_permutexvar_epi32(offsets, bottomRow);
                    rb = _mm512_permutexvar_epi32(next, bottomRow);
                } else {
                    const __m512i col0 = _mm512_and_si512(i0, uMask);
                    const __m512i col1 = _mm512_and_si512(_mm512_add_epi32(i0, one), uMask);
                    const __m512i row0 = _mm512_mullo_epi32(_mm512_and_si512(j0, vMask), stride);
                    const __m512i row1 = _mm512_mullo_epi32(_mm512_and_si512(_mm512_add_epi32(j0, one), vMask), stride);
                    lt = _mm512_i32gather_epi32(_mm512_add_epi32(row0, col0), tex, 4);
                    rt = _mm512_i32gather_epi32(_mm512_add_epi32(row0, col1), tex, 4);
                    lb = _mm512_i32gather_epi32(_mm512_add_epi32(row1, col0), tex, 4);
                    rb = _mm512_i32gather_epi32(_mm512_add_epi32(row1, col1), tex, 4);
                }
                const __m512i frac = _mm512_set1_epi32(255);
                __m512i wxLo, wxHi, wyLo, wyHi;
                SpreadToPixels(_mm512_and_si512(S, frac), wxLo, wxHi);
                SpreadToPixels(_mm512_and_si512(T, frac), wyLo, wyHi);
                // Across x, then y, as Bilinear().
                tLo = _mm512_or_si512(
                    Lerp16(Lerp16(_mm512_unpacklo_epi8(lt, zero), _mm512_unpacklo_epi8(rt, zero), wxLo),
                           Lerp16(_mm512_unpacklo_epi8(lb, zero), _mm512_unpacklo_epi8(rb, zero), wxLo), wyLo),
                    alpha16);
                tHi = _mm512_or_si512(
                    Lerp16(Lerp16(_mm512_unpackhi_epi8(lt, zero), _mm512_unpackhi_epi8(rt, zero), wxHi),
                           Lerp16(_mm512_unpackhi_epi8(lb, zero), _mm512_unpackhi_epi8(rb, zero), wxHi), wyHi),
                    alpha16);
            } else {
                const __m512i nearest = _mm512_set1_epi32(128);
                const __m512i i0 = _mm512_srai_epi32(_mm512_add_epi32(S, nearest), 8);
                const __m512i j0 = _mm512_srai_epi32(_mm512_add_epi32(T, nearest), 8);
                __m512i t, offsets;
                if (const int32_t column = RowWindow(i0, j0, 15, offsets); column >= 0) {
                    t = _mm512_permutexvar_epi32(offsets, _mm512_loadu_si512(tex + RowStart(j0) + column));
                } else {
                    const __m512i index = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_and_si512(j0, vMask), stride),
                                                           _mm512_and_si512(i0, uMask));
                    t = _mm512_i32gather_epi32(index, tex, 4);
                }
                t = _mm512_or_si512(t, texAlphaOr);
                tLo = _mm512_unpacklo_epi8(t, zero);
                tHi = _mm512_unpackhi_epi8(t, zero);
            }

            // MODULATE by the vertex colour, then the specular added and clamped.
            __m512i cLo = tLo, cHi = tHi;
            if (modulate) {
                const __m512i color1 = _mm512_add_epi32(color0, dColor);
                const __m512i color2 = _mm512_add_epi32(color1, dColor);
                const __m512i color3 = _mm512_add_epi32(color2, dColor);
                __m512i vcLo, vcHi;
                lanes16(color0, color1, color2, color3, vcLo, vcHi);
                cLo = Div255x16(_mm512_mullo_epi16(tLo, _mm512_or_si512(vcLo, vertexAlphaOr)));
                cHi = Div255x16(_mm512_mullo_epi16(tHi, _mm512_or_si512(vcHi, vertexAlphaOr)));
            }
            if (Specular && addSpecular) {
                const __m512i spec1 = _mm512_add_epi32(spec0, dSpec);
                const __m512i spec2 = _mm512_add_epi32(spec1, dSpec);
                const __m512i spec3 = _mm512_add_epi32(spec2, dSpec);
                __m512i spLo, spHi;
                lanes16(spec0, spec1, spec2, spec3, spLo, spHi);
                cLo = _mm512_min_epi16(_mm512_add_epi16(cLo, spLo), max255);
                cHi = _mm512_min_epi16(_mm512_add_epi16(cHi, spHi), max255);
            }
            // Each pixel's shaded alpha, for the alpha test and to skip blending opaque pixels.
            const __m512i alpha = _mm512_srli_epi32(_mm512_packus_epi16(cLo, cHi), 24);
            if constexpr (AlphaTest) {
                ok = _mm512_mask_cmpgt_epu32_mask(ok, alpha, alphaRef);
            }
            // Blending by an alpha of 255 gives the source exactly (255 c / 255 = c).
            if (Blend && (ok & ~_mm512_cmpeq_epi32_mask(alpha, _mm512_set1_epi32(255))) != 0) {
                // Source over destination by the source alpha.
                const __m512i d = _mm512_or_si512(_mm512_maskz_loadu_epi32(inSpan, dst), dstAlphaOr);
                const __m512i aLo = _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(cLo, 0xFF), 0xFF);
                const __m512i aHi = _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(cHi, 0xFF), 0xFF);
                cLo = Div255x16(_mm512_add_epi16(_mm512_mullo_epi16(cLo, aLo),
                                                 _mm512_mullo_epi16(_mm512_unpacklo_epi8(d, zero),
                                                                    _mm512_sub_epi16(max255, aLo))));
                cHi = Div255x16(_mm512_add_epi16(_mm512_mullo_epi16(cHi, aHi),
                                                 _mm512_mullo_epi16(_mm512_unpackhi_epi8(d, zero),
                                                                    _mm512_sub_epi16(max255, aHi))));
            }
            _mm512_mask_storeu_epi32(dst, ok, _mm512_and_si512(_mm512_packus_epi16(cLo, cHi), keep));
            if (zrow != nullptr && zWrite) {
                _mm256_mask_storeu_epi16(zrow + g, ok, _mm512_cvtepi32_epi16(z16));
            }
        }
        color0 = _mm512_add_epi32(color0, dColor16);
        if constexpr (Specular) {
            spec0 = _mm512_add_epi32(spec0, dSpec16);
        }
        z = _mm512_add_epi32(z, dz16);
    }
}

// The loop's variants by state key, for VariantTable.
template <bool... Keys>
struct TexturedLoopAvx512 {
    static constexpr SpanFn fn = &TexturedSpanAvx512<Keys...>;
};

}  // namespace

SpanFn TexturedSpanForAvx512(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoopAvx512, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
