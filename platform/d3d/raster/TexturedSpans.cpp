// Textured span loops (SSE2): a power-of-two 8888 texture with wrap addressing and MODULATE,
// for a 32-bit target.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/VariantTable.h"
#include "platform/d3d/raster/PixelMath.h"

#include <cstring>

// The SSE2 loops exist where SSE2 does (every x86-64 processor); elsewhere SpanSelect picks
// the generic path.
#if defined(__SSE2__)

#include <emmintrin.h>

namespace raster::detail {

namespace {

// Four 8-bit channels in the low four 16-bit lanes, B G R A order (a D3DCOLOR's memory order).
inline __m128i Lanes(uint32_t argb) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(argb)), _mm_setzero_si128()); }

// round(x / 255) in every 16-bit lane, x <= 255 * 255 (same as Div255). With v = x + 128 < 2^16,
// (v + (v >> 8)) >> 8 equals (v x 257) >> 16: the dropped fraction v mod 256 / 256 cannot
// carry the integer sum v + (v >> 8) across a multiple of 256.
inline __m128i Div255Lanes(__m128i x)
{
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

// Bilinear filter, same arithmetic as Bilinear() (across x first, then y), as four 32-bit lanes
// B G R A. Each lerp is one multiply-add of a (left, right) lane pair by (256 - f, f).
inline __m128i BilinearLanes(uint32_t t00, uint32_t t10, uint32_t t01, uint32_t t11, int fx, int fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(t00)), _mm_cvtsi32_si128(int(t10))), zero);
    const __m128i bottom = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(t01)), _mm_cvtsi32_si128(int(t11))), zero);
    const __m128i wx = _mm_set1_epi32((fx << 16) | (256 - fx));
    const __m128i h0 = _mm_srli_epi32(_mm_madd_epi16(top, wx), 8);
    const __m128i h1 = _mm_srli_epi32(_mm_madd_epi16(bottom, wx), 8);
    const __m128i wy = _mm_set1_epi32((fy << 16) | (256 - fy));
    return _mm_srli_epi32(_mm_madd_epi16(_mm_or_si128(h0, _mm_slli_epi32(h1, 16)), wy), 8);
}

// Textured from a power-of-two 8888 texture with wrap addressing, MODULATE, optional alpha test
// GREATER, optional SRCALPHA / INVSRCALPHA blend, depth test LESSEQUAL, 8888 target.
template <bool Linear, bool Blend, bool AlphaTest, bool Specular>
void TexturedSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    TexWalker tw;
    TexCursor tc = tw.Begin(p, ctx, y, x0, x1);
    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch);
    uint16_t* zrow = ctx.zTest
        ? reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch)
        : nullptr;
    const uint32_t* tex = reinterpret_cast<const uint32_t*>(ctx.texels);
    const ptrdiff_t texStride = ctx.texPitch / 4;
    const int32_t wMask = ctx.texWidth - 1, hMask = ctx.texHeight - 1;
    // Without texture alpha the filtered alpha lane is forced to 255 (as FetchTexel reads it).
    const uint32_t alphaOr = ctx.texHasAlpha ? 0u : 0xFF000000u;
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const uint32_t keep = 0x00FFFFFFu | alphaMask;
    const uint32_t dstAlphaOr = alphaMask == 0 ? 0xFF000000u : 0u;
    const uint32_t alphaRef = ctx.alphaRef;
    const bool zWrite = ctx.zWrite;
    const bool texAlpha = ctx.texHasAlpha;
    // Unsigned indices: masking keeps them in range and they need no sign extension.
    const uint32_t stride = uint32_t(texStride);  // stride x height fits (checked on selection)
    const uint32_t uMask = uint32_t(wMask), vMask = uint32_t(hMask);
    auto texel = [&](int32_t i, int32_t j) {
        return tex[(uint32_t(j) & vMask) * stride + (uint32_t(i) & uMask)];
    };
    const __m128i texAlphaOr = _mm_set_epi32(int(alphaOr >> 24), 0, 0, 0);
    // Vertex colour and specular as 16.16 in 32-bit lanes, B G R A order.
    __m128i color = _mm_set_epi32(s.c[3], s.c[0], s.c[1], s.c[2]);
    const __m128i dColor = _mm_set_epi32(s.dc[3], s.dc[0], s.dc[1], s.dc[2]);
    __m128i specularSum = Specular ? _mm_set_epi32(0, s.c[4], s.c[5], s.c[6]) : _mm_setzero_si128();
    const __m128i dSpec = Specular ? _mm_set_epi32(0, s.dc[4], s.dc[5], s.dc[6]) : _mm_setzero_si128();
    // MODULATE alpha: the texture's when it has alpha (vertex lane forced to 255), else the
    // vertex's (texel lane forced to 255 above); 255 x a / 255 = a exactly.
    const __m128i vertexAlphaOr = texAlpha ? _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0) : _mm_setzero_si128();
    const __m128i max255 = _mm_set1_epi16(255);
    const __m128i dstAlpha = _mm_set1_epi32(int(dstAlphaOr));
    // Depth x 65535 in 16.16 stays within 32 bits over the span (InitSpan keeps it in range);
    // unsigned arithmetic wraps the negative step correctly.
    uint32_t z = uint32_t(s.z);
    const uint32_t dz = uint32_t(s.dz);
    auto depth16 = [](uint32_t v) { return (v + 32768u) >> 16; };

    // Two pixels side by side in the eight 16-bit lanes (pixel x low): modulate and specular.
    auto shade = [&](__m128i t, __m128i vc, __m128i sp) {
        __m128i c = Div255Lanes(_mm_mullo_epi16(t, _mm_or_si128(vc, vertexAlphaOr)));
        if constexpr (Specular) {
            c = _mm_min_epi16(_mm_add_epi16(c, sp), max255);
        }
        return c;
    };
    // Source over destination by the source alpha (after the alpha test has read it).
    auto blend = [&](__m128i c, uint64_t dst) {
        const __m128i d = _mm_unpacklo_epi8(
            _mm_or_si128(_mm_cvtsi64_si128(int64_t(dst)), dstAlpha), _mm_setzero_si128());
        const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
        return Div255Lanes(_mm_add_epi16(_mm_mullo_epi16(c, a),
                                         _mm_mullo_epi16(d, _mm_sub_epi16(max255, a))));
    };
    auto lanes16 = [](__m128i lo32, __m128i hi32) {
        return _mm_packs_epi32(_mm_srli_epi32(lo32, 16), _mm_srli_epi32(hi32, 16));
    };

    // Two passes per chunk keep each loop's working set in registers: first the filtered
    // texels, then the shading, two pixels at a time.
    constexpr int32_t kChunk = 64;
    alignas(16) uint32_t texels[kChunk];
    alignas(16) int32_t coordS[kChunk], coordT[kChunk];  // 24.8 texel coordinates (filtered only)
    int32_t x = x0;
    while (x < x1) {
        const int32_t end = std::min(x1, x + kChunk);
        int32_t first = 0;
        const int32_t count = end - x;
        if constexpr (Linear) {
            // The chunk's texel coordinates first, so their addresses and weights can be
            // worked out four at a time.
            for (int32_t k = 0; k < count; ++k) {
                coordS[k] = tc.S();
                coordT[k] = tc.T();
                tw.Next(tc);
            }
            // Two texels at a time: their 2 x 2 footprints side by side in 16-bit lanes.
            const __m128i zero = _mm_setzero_si128();
            const __m128i w256 = _mm_set1_epi16(256);
            const __m128i alpha16 = _mm_set_epi16(short(alphaOr >> 24), 0, 0, 0, short(alphaOr >> 24), 0, 0, 0);
            auto pair = [&](uint32_t a, uint32_t b) {
                return _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))), zero);
            };
            // Same arithmetic as Bilinear(): across x, then y; every sum stays below 65536.
            auto filter = [&](__m128i left0, __m128i right0, __m128i left1, __m128i right1, __m128i wx, __m128i wy) {
                const __m128i wx1 = _mm_sub_epi16(w256, wx);
                const __m128i wy1 = _mm_sub_epi16(w256, wy);
                const __m128i top = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left0, wx1), _mm_mullo_epi16(right0, wx)), 8);
                const __m128i bottom = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left1, wx1), _mm_mullo_epi16(right1, wx)), 8);
                return _mm_or_si128(
                    _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(top, wy1), _mm_mullo_epi16(bottom, wy)), 8), alpha16);
            };
            const __m128i uMask4 = _mm_set1_epi32(int(uMask)), vMask4 = _mm_set1_epi32(int(vMask));
            const __m128i one4 = _mm_set1_epi32(1), frac4 = _mm_set1_epi32(255);
            const __m128i stride4 = _mm_set1_epi32(int(stride));
            // Low 32 bits of each lane times the stride (the product fits: checked on selection).
            auto timesStride = [&](__m128i v) {
                const __m128i even = _mm_mul_epu32(v, stride4);
                const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(v, 32), stride4);
                return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
            };
            // Each pixel's fraction in all four 16-bit lanes of its half: pixels 0, 1 and 2, 3.
            auto weights = [&](__m128i f, __m128i& w01, __m128i& w23) {
                __m128i w = _mm_packs_epi32(_mm_and_si128(f, frac4), zero);
                w = _mm_unpacklo_epi16(w, w);
                w01 = _mm_unpacklo_epi32(w, w);
                w23 = _mm_unpackhi_epi32(w, w);
            };
            // Four texel indices to two general registers (pixels 0, 1 and 2, 3), and the texel
            // pair of pixels 0, 1 or 2, 3 from such a register.
            auto indices = [](__m128i v, uint64_t& lo, uint64_t& hi) {
                lo = uint64_t(_mm_cvtsi128_si64(v));
                hi = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
            };
            auto fetch = [&](uint64_t two) { return pair(tex[uint32_t(two)], tex[uint32_t(two >> 32)]); };
            for (; first + 3 < count; first += 4) {
                const __m128i fs = _mm_load_si128(reinterpret_cast<const __m128i*>(coordS + first));
                const __m128i ft = _mm_load_si128(reinterpret_cast<const __m128i*>(coordT + first));
                const __m128i ti = _mm_srai_epi32(fs, 8), tj = _mm_srai_epi32(ft, 8);
                const __m128i col0 = _mm_and_si128(ti, uMask4);
                const __m128i col1 = _mm_and_si128(_mm_add_epi32(ti, one4), uMask4);
                const __m128i row0 = timesStride(_mm_and_si128(tj, vMask4));
                const __m128i row1 = timesStride(_mm_and_si128(_mm_add_epi32(tj, one4), vMask4));
                // Left top, right top, left bottom, right bottom.
                uint64_t lt01, lt23, rt01, rt23, lb01, lb23, rb01, rb23;
                indices(_mm_add_epi32(row0, col0), lt01, lt23);
                indices(_mm_add_epi32(row0, col1), rt01, rt23);
                indices(_mm_add_epi32(row1, col0), lb01, lb23);
                indices(_mm_add_epi32(row1, col1), rb01, rb23);
                __m128i wx01, wx23, wy01, wy23;
                weights(fs, wx01, wx23);
                weights(ft, wy01, wy23);
                const __m128i f01 = filter(fetch(lt01), fetch(rt01), fetch(lb01), fetch(rb01), wx01, wy01);
                const __m128i f23 = filter(fetch(lt23), fetch(rt23), fetch(lb23), fetch(rb23), wx23, wy23);
                _mm_store_si128(reinterpret_cast<__m128i*>(texels + first), _mm_packus_epi16(f01, f23));
            }
            for (; first + 1 < count; first += 2) {
                const int32_t fsA = coordS[first], ftA = coordT[first];
                const int32_t fsB = coordS[first + 1], ftB = coordT[first + 1];
                const int32_t iA = fsA >> 8, jA = ftA >> 8, iB = fsB >> 8, jB = ftB >> 8;
                const __m128i f = filter(pair(texel(iA, jA), texel(iB, jB)), pair(texel(iA + 1, jA), texel(iB + 1, jB)),
                                         pair(texel(iA, jA + 1), texel(iB, jB + 1)),
                                         pair(texel(iA + 1, jA + 1), texel(iB + 1, jB + 1)),
                                         _mm_unpacklo_epi64(_mm_set1_epi16(short(fsA & 255)), _mm_set1_epi16(short(fsB & 255))),
                                         _mm_unpacklo_epi64(_mm_set1_epi16(short(ftA & 255)), _mm_set1_epi16(short(ftB & 255))));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(texels + first), _mm_packus_epi16(f, f));
            }
        }
        for (int32_t i = first; i < count; ++i) {
            if constexpr (Linear) {
                const int32_t fs = coordS[i], ft = coordT[i];
                const int32_t ti = fs >> 8, tj = ft >> 8;
                const __m128i f = _mm_or_si128(BilinearLanes(texel(ti, tj), texel(ti + 1, tj), texel(ti, tj + 1),
                                                             texel(ti + 1, tj + 1), fs & 255, ft & 255),
                                               texAlphaOr);
                const __m128i w = _mm_packs_epi32(f, f);
                texels[i] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
            } else {
                const int32_t fs = tc.S(), ft = tc.T();
                tw.Next(tc);
                texels[i] = texel((fs + 128) >> 8, (ft + 128) >> 8) | alphaOr;
            }
        }
        const uint32_t* tp = texels;
        for (; x + 1 < end; x += 2, tp += 2) {
            const uint32_t za = depth16(z), zb = depth16(z + dz);
            const bool passA = zrow == nullptr || za <= zrow[x];
            const bool passB = zrow == nullptr || zb <= zrow[x + 1];
            const __m128i color1 = _mm_add_epi32(color, dColor);
            if (passA || passB) {
                const __m128i t = _mm_unpacklo_epi8(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(tp)), _mm_setzero_si128());
                __m128i sp = _mm_setzero_si128();
                if constexpr (Specular) {
                    sp = lanes16(specularSum, _mm_add_epi32(specularSum, dSpec));
                }
                __m128i c = shade(t, lanes16(color, color1), sp);
                const uint32_t caA = uint32_t(_mm_extract_epi16(c, 3));
                const uint32_t caB = uint32_t(_mm_extract_epi16(c, 7));
                const bool okA = passA && (!AlphaTest || caA > alphaRef);
                const bool okB = passB && (!AlphaTest || caB > alphaRef);
                if constexpr (Blend) {
                    uint64_t dst;
                    std::memcpy(&dst, row + x, sizeof dst);
                    c = blend(c, dst);
                }
                const uint64_t out = uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(c, c)));
                if (okA) {
                    row[x] = uint32_t(out) & keep;
                    if (zWrite) zrow[x] = uint16_t(za);
                }
                if (okB) {
                    row[x + 1] = uint32_t(out >> 32) & keep;
                    if (zWrite) zrow[x + 1] = uint16_t(zb);
                }
            }
            color = _mm_add_epi32(color1, dColor);
            if constexpr (Specular) {
                specularSum = _mm_add_epi32(specularSum, _mm_add_epi32(dSpec, dSpec));
            }
            z += 2 * dz;
        }
        if (x < end) {  // odd pixel at the end of the span
            const uint32_t za = depth16(z);
            if (zrow == nullptr || za <= zrow[x]) {
                const __m128i t = Lanes(*tp);
                __m128i sp = _mm_setzero_si128();
                if constexpr (Specular) {
                    sp = lanes16(specularSum, _mm_setzero_si128());
                }
                __m128i c = shade(t, lanes16(color, _mm_setzero_si128()), sp);
                const uint32_t ca = uint32_t(_mm_extract_epi16(c, 3));
                if (!AlphaTest || ca > alphaRef) {
                    if constexpr (Blend) {
                        c = blend(c, row[x]);
                    }
                    row[x] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(c, c))) & keep;
                    if (zWrite) zrow[x] = uint16_t(za);
                }
            }
            color = _mm_add_epi32(color, dColor);
            if constexpr (Specular) {
                specularSum = _mm_add_epi32(specularSum, dSpec);
            }
            z += dz;
            ++x;
        }
    }
}

// The loop's variants by state key, for VariantTable.
template <bool... Keys>
struct TexturedLoop {
    static constexpr SpanFn fn = &TexturedSpan<Keys...>;
};

}  // namespace

SpanFn TexturedSpanFor(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoop, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#endif  // __SSE2__
