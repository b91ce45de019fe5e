// Untextured span loops: Gouraud (or flat) colour with the depth test, for a 32-bit target.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster::detail {

namespace {

#if defined(__SSE2__)

// InitSpan's colours and steps for a short span, straight into B G R A lanes; false when a
// step would leave 0..255 over the span (its ends were clamped) or the span is long: then
// InitSpan's exact fallback applies.
inline bool ColorSetup(const Planes& p, int32_t y, int32_t x0, int32_t x1, __m128i& color,
                       __m128i& dColor, __m128i& specular, __m128i& dSpec)
{
    const int32_t steps = x1 - x0 - 1;
    if (steps > 63) {  // keeps step x count within 32 bits below
        return false;
    }
    // Evaluated exactly as InitSpan does.
    const __m128 ox = _mm_set1_ps(float(x0) - p.refX);
    const __m128 oy = _mm_set1_ps(float(y) - p.refY);
    auto eval = [&](int a) {
        __m128 v = _mm_add_ps(_mm_add_ps(_mm_loadu_ps(p.base + a), _mm_mul_ps(_mm_loadu_ps(p.dx + a), ox)),
                              _mm_mul_ps(_mm_loadu_ps(p.dy + a), oy));
        v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
        return _mm_cvttps_epi32(_mm_mul_ps(v, _mm_set1_ps(65536.0f)));
    };
    constexpr int kBgra = 0xC6;  // r g b a -> b g r a
    const __m128i rgbOnly = _mm_set_epi32(0, -1, -1, -1);
    color = _mm_shuffle_epi32(eval(kR), kBgra);
    specular = _mm_and_si128(_mm_shuffle_epi32(eval(kSR), kBgra), rgbOnly);
    const int32_t* cs = p.colorStep;
    dColor = _mm_set_epi32(cs[3], cs[0], cs[1], cs[2]);
    dSpec = _mm_set_epi32(0, cs[4], cs[5], cs[6]);
    // Last value c + d x steps: |d| <= 2^24 and steps < 64, so the low 32 bits of the
    // unsigned lane products are the exact signed products.
    const __m128i k = _mm_set1_epi32(steps);
    auto last = [&](__m128i c, __m128i d) {
        const __m128i even = _mm_mul_epu32(d, k);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(d, 32), k);
        return _mm_add_epi32(c, _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08)));
    };
    // In range 0 .. 255 x 65536 + 0xFFFF exactly when no bit above the 24th is set.
    const __m128i outside = _mm_and_si128(_mm_or_si128(last(color, dColor), last(specular, dSpec)),
                                          _mm_set1_epi32(int(0xFF000000u)));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) == 0xFFFF;
}

#endif

// Untextured Gouraud (or flat) with depth test LESSEQUAL, optional alpha test GREATER on the
// vertex alpha, optional SRCALPHA / INVSRCALPHA blend, 8888 target.
template <bool Specular, bool AlphaTest, bool Blend>
void GouraudDepthSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch);
    uint16_t* zrow = reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch);
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const uint32_t dstAlphaOr = alphaMask == 0 ? 0xFF000000u : 0u;
    const uint32_t alphaRef = ctx.alphaRef;
    const bool zWrite = ctx.zWrite;
    int64_t z;
    int64_t dz;
    InitSpanDepth(p, y, x0, x1, z, dz);
#if defined(__SSE2__)
    // Colour and specular in 32-bit lanes, B G R A. The interpolants stay within 0..255 in
    // 16.16 (InitSpan's rule), so a logical shift of each lane gives the channel; the
    // specular's alpha lane is zero, so the saturating add leaves alpha alone.
    __m128i color, dColor, specular, dSpec;
    if (!ColorSetup(p, y, x0, x1, color, dColor, specular, dSpec)) {
        SpanInterp s;
        InitSpan(p, y, x0, x1, s);
        color = _mm_set_epi32(s.c[3], s.c[0], s.c[1], s.c[2]);
        dColor = _mm_set_epi32(s.dc[3], s.dc[0], s.dc[1], s.dc[2]);
        specular = _mm_set_epi32(0, s.c[4], s.c[5], s.c[6]);
        dSpec = _mm_set_epi32(0, s.dc[4], s.dc[5], s.dc[6]);
    }
    const __m128i max255 = _mm_set1_epi16(255);
    auto pixel = [&]() {
        __m128i c = _mm_srli_epi32(color, 16);
        if constexpr (Specular) {
            c = _mm_min_epi16(_mm_packs_epi32(_mm_add_epi32(c, _mm_srli_epi32(specular, 16)), c), max255);
        } else {
            c = _mm_packs_epi32(c, c);
        }
        return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(c, c)));
    };
    auto step = [&]() {
        color = _mm_add_epi32(color, dColor);
        if constexpr (Specular) {
            specular = _mm_add_epi32(specular, dSpec);
        }
    };
#else
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    int32_t r = s.c[0], g = s.c[1], b = s.c[2], a = s.c[3];
    const int32_t dr = s.dc[0], dg = s.dc[1], db = s.dc[2], da = s.dc[3];
    int32_t sr = s.c[4], sg = s.c[5], sb = s.c[6];
    const int32_t dsr = s.dc[4], dsg = s.dc[5], dsb = s.dc[6];
    auto pixel = [&]() {
        uint32_t cr = uint32_t(r) >> 16, cg = uint32_t(g) >> 16, cb = uint32_t(b) >> 16;
        if constexpr (Specular) {
            cr = std::min(255u, cr + (uint32_t(sr) >> 16));
            cg = std::min(255u, cg + (uint32_t(sg) >> 16));
            cb = std::min(255u, cb + (uint32_t(sb) >> 16));
        }
        return ((uint32_t(a) >> 16) << 24) | (cr << 16) | (cg << 8) | cb;
    };
    auto step = [&]() {
        r += dr; g += dg; b += db; a += da;
        if constexpr (Specular) {
            sr += dsr; sg += dsg; sb += dsb;
        }
    };
#endif
    for (int32_t x = x0; x < x1; ++x) {
        const uint32_t z16 = DepthOf(z);
        if (z16 <= zrow[x]) {
            uint32_t out = pixel();
            const uint32_t ca = out >> 24;
            if (!AlphaTest || ca > alphaRef) {
                if constexpr (Blend) {
                    uint64_t sum = Spread(out) * ca + Spread(row[x] | dstAlphaOr) * (255u - ca) +
                                   0x0080008000800080ull;
                    sum = (sum + ((sum >> 8) & 0x00FF00FF00FF00FFull)) >> 8;
                    out = Gather(sum);
                }
                row[x] = out & (0x00FFFFFFu | alphaMask);
                if (zWrite) {
                    zrow[x] = uint16_t(z16);
                }
            }
        }
        step();
        z += dz;
    }
}

}  // namespace

SpanFn GouraudSpanFor(bool specular, bool alphaTest, bool blend)
{
    static constexpr SpanFn kGouraud[8] = {
        &GouraudDepthSpan<false, false, false>, &GouraudDepthSpan<false, false, true>,
        &GouraudDepthSpan<false, true, false>,  &GouraudDepthSpan<false, true, true>,
        &GouraudDepthSpan<true, false, false>,  &GouraudDepthSpan<true, false, true>,
        &GouraudDepthSpan<true, true, false>,   &GouraudDepthSpan<true, true, true>,
    };
    return kGouraud[(specular ? 4 : 0) | (alphaTest ? 2 : 0) | (blend ? 1 : 0)];
}

}  // namespace raster::detail
