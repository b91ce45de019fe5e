// Untextured triangles, SSE2: Gouraud (or flat) colour with the depth test, for a 32-bit target.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/VariantTable.h"
#include "platform/d3d/raster/GouraudTriangle.h"
#include "platform/d3d/raster/PixelMath.h"

// The SSE2 loops exist where SSE2 does (every x86-64 processor); elsewhere SpanSelect picks
// the generic path.
#if defined(__SSE2__)

#include <emmintrin.h>

namespace raster::detail {

namespace {

struct Sse2Kernel {
    static constexpr int kNarrowLanes = 0;  // rows always come from the edge steppers

    // Bases, gradients (two per register in double) and colour steps; false when any value or
    // gradient is not finite.
    static bool Planes(const ScreenVertex* const col[3], const ScreenVertex* const pos[3], const PlaneFrame& frame,
                       GouraudPlanes& planes)
    {
        float values[3][kGouraudAttrs];
        GGather(col, pos, values);
        if (!SetUpPlanes(values, frame, planes.base, planes.dx, planes.dy)) {
            return false;
        }
        GColorSteps(planes);
        return true;
    }

    // One pixel at a time, colour and specular four channels per register.
    template <bool Specular, bool AlphaTest, bool Blend>
    struct Walker {
        const PixelContext& ctx;
        const GouraudPlanes& p;

        Walker(const PixelContext& c, const GouraudPlanes& planes) : ctx(c), p(planes) {}

        void Span(int32_t y, int32_t x0, int32_t x1) const
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch);
            uint16_t* zrow = reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch);
            const uint32_t alphaMask = ctx.colorLayout.aMask;
            const uint32_t dstAlphaOr = alphaMask == 0 ? 0xFF000000u : 0u;
            const uint32_t alphaRef = ctx.alphaRef;
            const bool zWrite = ctx.zWrite;
            int64_t z;
            int64_t dz;
            GSpanDepth(p, y, x0, x1, z, dz);
            // Colour and specular in 32-bit lanes, B G R A; the specular's alpha lane is zero.
            __m128i color, dColor, specular, dSpec;
            if (!ColorSetup(y, x0, x1, color, dColor, specular, dSpec)) {
                int32_t c[7], dc[7];
                for (int k = 0; k < 7; ++k) {
                    c[k] = GColorAt(p, k, float(x0), float(y));
                }
                GFixColorSteps(p, y, x0, x1, c, dc);
                color = _mm_set_epi32(c[3], c[0], c[1], c[2]);
                dColor = _mm_set_epi32(dc[3], dc[0], dc[1], dc[2]);
                specular = _mm_set_epi32(0, c[4], c[5], c[6]);
                dSpec = _mm_set_epi32(0, dc[4], dc[5], dc[6]);
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
            for (int32_t x = x0; x < x1; ++x) {
                const uint32_t z16 = uint32_t((z + 32768) >> 16);
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

        // The span's first colours and steps straight into B G R A lanes; false when a step
        // would leave 0..255 over the span (its ends were clamped) or the span is long: then
        // the exact fallback applies.
        bool ColorSetup(int32_t y, int32_t x0, int32_t x1, __m128i& color, __m128i& dColor,
                        __m128i& specular, __m128i& dSpec) const
        {
            const int32_t steps = x1 - x0 - 1;
            if (steps > 63) {  // keeps step x count within 32 bits below
                return false;
            }
            const __m128 ox = _mm_set1_ps(float(x0) - p.refX);
            const __m128 oy = _mm_set1_ps(float(y) - p.refY);
            auto eval = [&](int a) {
                __m128 v = _mm_add_ps(_mm_add_ps(_mm_load_ps(p.base + a), _mm_mul_ps(_mm_load_ps(p.dx + a), ox)),
                                      _mm_mul_ps(_mm_load_ps(p.dy + a), oy));
                v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
                return _mm_cvttps_epi32(_mm_mul_ps(v, _mm_set1_ps(65536.0f)));
            };
            constexpr int kBgra = 0xC6;  // r g b a -> b g r a
            const __m128i rgbOnly = _mm_set_epi32(0, -1, -1, -1);
            color = _mm_shuffle_epi32(eval(kGR), kBgra);
            specular = _mm_and_si128(_mm_shuffle_epi32(eval(kGSR), kBgra), rgbOnly);
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
    };
};

// The loop's variants by state key, for VariantTable.
template <bool... Keys>
struct GouraudLoop {
    static constexpr TriangleFn fn = &GouraudTriangle<Sse2Kernel, Keys...>;
};

}  // namespace

TriangleFn GouraudTriangleFor(bool specular, bool alphaTest, bool blend)
{
    static constexpr auto kTable = VariantTable<GouraudLoop, 3>();
    return kTable[VariantIndex(specular, alphaTest, blend)];
}

}  // namespace raster::detail

#endif  // __SSE2__
