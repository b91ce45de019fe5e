// Untextured triangles for AVX2: the states of GouraudSpans.cpp, eight pixels of a span per
// step with the same integer arithmetic (so the same pixels). Each channel has its own
// register of eight 16.16 values; depth is stepped in 32-bit lanes, which hold it exactly
// (depth x 65535 in 16.16 never exceeds 2^32 inside a span).
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/VariantTable.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only the functions below use AVX2; the inline code of the headers above stays baseline.
// The fused triangle comes after the switch so its loops are built for AVX2 too (it has
// internal linkage throughout, so nothing built here is shared with baseline code).
#pragma GCC push_options
#pragma GCC target("avx2,bmi2")

#include "platform/d3d/raster/GouraudTriangle.h"

namespace raster::detail {

namespace {

struct Avx2Kernel {
    static constexpr int kNarrowLanes = 16;  // triangles narrower than this walk edge functions

    // Bases, gradients (four per register in double, the same arithmetic as two per register)
    // and colour steps; false when any value or gradient is not finite.
    static bool Planes(const ScreenVertex* const col[3], const ScreenVertex* const pos[3], const PlaneFrame& frame,
                       GouraudPlanes& planes)
    {
        const double ex1 = frame.ex1, ey1 = frame.ey1, ex2 = frame.ex2, ey2 = frame.ey2, invArea = frame.invArea;
        static_assert(offsetof(ScreenVertex, sb) == offsetof(ScreenVertex, r) + 6 * sizeof(float) &&
                          offsetof(ScreenVertex, u) == offsetof(ScreenVertex, r) + 7 * sizeof(float),
                      "the colours are read as eight floats from r");
        // r g b a sr sg sb straight from the vertex, depth in the last lane.
        const __m256 f0 = _mm256_blend_ps(_mm256_loadu_ps(&col[0]->r), _mm256_set1_ps(pos[0]->z), 0x80);
        const __m256 f1 = _mm256_blend_ps(_mm256_loadu_ps(&col[1]->r), _mm256_set1_ps(pos[1]->z), 0x80);
        const __m256 f2 = _mm256_blend_ps(_mm256_loadu_ps(&col[2]->r), _mm256_set1_ps(pos[2]->z), 0x80);
        const __m256d vex1 = _mm256_set1_pd(ex1), vey1 = _mm256_set1_pd(ey1);
        const __m256d vex2 = _mm256_set1_pd(ex2), vey2 = _mm256_set1_pd(ey2);
        const __m256d vinv = _mm256_set1_pd(invArea);
        auto gradients = [&](__m128 a, __m128 b, __m128 c, __m128& gx, __m128& gy) {
            const __m256d a0 = _mm256_cvtps_pd(a);
            const __m256d d1 = _mm256_sub_pd(_mm256_cvtps_pd(b), a0);
            const __m256d d2 = _mm256_sub_pd(_mm256_cvtps_pd(c), a0);
            gx = _mm256_cvtpd_ps(
                _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d1, vey2), _mm256_mul_pd(d2, vey1)), vinv));
            gy = _mm256_cvtpd_ps(
                _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d2, vex1), _mm256_mul_pd(d1, vex2)), vinv));
        };
        __m128 gxLo, gyLo, gxHi, gyHi;
        gradients(_mm256_castps256_ps128(f0), _mm256_castps256_ps128(f1), _mm256_castps256_ps128(f2), gxLo, gyLo);
        gradients(_mm256_extractf128_ps(f0, 1), _mm256_extractf128_ps(f1, 1), _mm256_extractf128_ps(f2, 1), gxHi,
                  gyHi);
        const __m256 gx = _mm256_set_m128(gxHi, gxLo);
        const __m256 gy = _mm256_set_m128(gyHi, gyLo);
        // x - x is NaN exactly when x is infinite or NaN.
        __m256 notFinite = _mm256_cmp_ps(_mm256_sub_ps(gx, gx), _mm256_sub_ps(gy, gy), _CMP_UNORD_Q);
        notFinite = _mm256_or_ps(notFinite, _mm256_cmp_ps(_mm256_sub_ps(f0, f0), _mm256_sub_ps(f1, f1), _CMP_UNORD_Q));
        notFinite = _mm256_or_ps(notFinite, _mm256_cmp_ps(_mm256_sub_ps(f2, f2), f2, _CMP_UNORD_Q));
        if (_mm256_movemask_ps(notFinite) != 0) {
            return false;
        }
        _mm256_store_ps(planes.base, f0);
        _mm256_store_ps(planes.dx, gx);
        _mm256_store_ps(planes.dy, gy);
        // Colour steps: dx x 65536 clamped to +-2^24 (finite here), truncated; the last lane
        // (depth) is not a colour.
        const __m256 step = _mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(gx, _mm256_set1_ps(65536.0f)),
                                                        _mm256_set1_ps(-16777216.0f)),
                                          _mm256_set1_ps(16777216.0f));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(planes.colorStep),
                            _mm256_blend_epi32(_mm256_cvttps_epi32(step), _mm256_setzero_si256(), 0x80));
        return true;
    }

    template <bool Specular, bool AlphaTest, bool Blend>
    struct Walker {
        static constexpr int kChannels = Specular ? 7 : 4;  // r g b a (sr sg sb)

        const PixelContext& ctx;
        const GouraudPlanes& p;
        __m256 base, dx, dy;
        __m256i lane;            // 0 .. 7
        __m256i steps;             // the triangle's colour steps (lane 7 zero)
        __m256i stepTimesLane[7];  // the triangle's colour steps x lane
        __m256i depthTimesLane;  // the triangle's depth step x lane (low 32 bits)
        __m256i writeMask;       // the target's channels
        __m256i dstAlphaOr;      // a target without alpha reads as opaque
        __m256i alphaRef;
        uint32_t* colorBase;
        uint16_t* depthBase;
        int32_t colorPitch, depthPitch, clipX1;
        bool zWrite;

        Walker(const PixelContext& c, const GouraudPlanes& planes) : ctx(c), p(planes)
        {
            base = _mm256_load_ps(p.base);
            dx = _mm256_load_ps(p.dx);
            dy = _mm256_load_ps(p.dy);
            lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
            steps = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.colorStep));
            for (int k = 0; k < kChannels; ++k) {
                stepTimesLane[k] = _mm256_mullo_epi32(_mm256_set1_epi32(p.colorStep[k]), lane);
            }
            depthTimesLane = _mm256_mullo_epi32(_mm256_set1_epi32(int32_t(uint32_t(uint64_t(p.depthStep)))), lane);
            writeMask = _mm256_set1_epi32(int32_t(0x00FFFFFFu | ctx.colorLayout.aMask));
            dstAlphaOr = _mm256_set1_epi32(ctx.colorLayout.aMask == 0 ? 255 : 0);
            alphaRef = _mm256_set1_epi32(int32_t(ctx.alphaRef));
            colorBase = reinterpret_cast<uint32_t*>(ctx.colorBase);
            depthBase = reinterpret_cast<uint16_t*>(ctx.depthBase);
            colorPitch = ctx.colorPitch;
            depthPitch = ctx.depthPitch;
            clipX1 = ctx.clipX1;
            zWrite = ctx.zWrite;
        }

        // sum = s a + d (255 - a) + 128, then (sum + (sum >> 8)) >> 8: the loops' blend.
        static __m256i BlendChannel(__m256i s, __m256i d, __m256i a, __m256i inv)
        {
            __m256i sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(d, inv)),
                                           _mm256_set1_epi32(128));
            sum = _mm256_srli_epi32(_mm256_add_epi32(sum, _mm256_srli_epi32(sum, 8)), 8);
            return _mm256_and_si256(sum, _mm256_set1_epi32(255));
        }

        // Rows of a triangle narrower than 16 pixels: the three edge functions at the pixel
        // centres of columns col0 .. col0 + 15, stepped down the rows; a pixel is covered
        // where none is negative. Returns the pixels covered.
        uint64_t WalkNarrow(const int32_t e0[3], const int32_t stepX[3], const int32_t stepY[3],
                            int32_t col0, int32_t row0, int32_t row1, uint32_t clipLanes)
        {
            __m256i lo[3], hi[3], down[3];
            for (int i = 0; i < 3; ++i) {
                const __m256i sx = _mm256_set1_epi32(stepX[i]);
                lo[i] = _mm256_add_epi32(_mm256_set1_epi32(e0[i]), _mm256_mullo_epi32(lane, sx));
                hi[i] = _mm256_add_epi32(lo[i], _mm256_slli_epi32(sx, 3));
                down[i] = _mm256_set1_epi32(stepY[i]);
            }
            // Rows are found a batch at a time and shaded after, so the edge registers need
            // not survive the span calls.
            constexpr int32_t kBatch = 32;
            int32_t first[kBatch], end[kBatch];
            uint64_t covered = 0;
            for (int32_t y0 = row0; y0 <= row1; y0 += kBatch) {
                const int32_t rows = row1 - y0 + 1 < kBatch ? row1 - y0 + 1 : kBatch;
                for (int32_t j = 0; j < rows; ++j) {
                    const uint32_t outLo = uint32_t(_mm256_movemask_ps(
                        _mm256_castsi256_ps(_mm256_or_si256(lo[0], _mm256_or_si256(lo[1], lo[2])))));
                    const uint32_t outHi = uint32_t(_mm256_movemask_ps(
                        _mm256_castsi256_ps(_mm256_or_si256(hi[0], _mm256_or_si256(hi[1], hi[2])))));
                    const uint32_t m = ~(outLo | (outHi << 8)) & clipLanes & 0xFFFFu;
                    for (int i = 0; i < 3; ++i) {
                        lo[i] = _mm256_add_epi32(lo[i], down[i]);
                        hi[i] = _mm256_add_epi32(hi[i], down[i]);
                    }
                    // A row's coverage is one run of pixels; an empty row gets an empty run.
                    const int32_t f = int32_t(__builtin_ctz(m | 0x10000u));
                    const int32_t e = m != 0 ? 32 - int32_t(__builtin_clz(m)) : f;
                    first[j] = col0 + f;
                    end[j] = col0 + e;
                    covered += uint64_t(__builtin_popcount(m));
                }
                for (int32_t j = 0; j < rows; ++j) {
                    if (first[j] < end[j]) {
                        Span(y0 + j, first[j], end[j]);
                    }
                }
            }
            return covered;
        }

        void Span(int32_t y, int32_t x0, int32_t x1)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(colorBase) +
                                                        ptrdiff_t(y) * colorPitch);
            uint16_t* zrow = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(depthBase) +
                                                         ptrdiff_t(y) * depthPitch);
            const int32_t n = x1 - x0;
            // The colours and depth at the span start, as the generic evaluation: clamped to
            // 0..255 (depth 0..1), colours truncated to 16.16.
            const __m256 ox = _mm256_set1_ps(float(x0) - p.refX);
            const __m256 oy = _mm256_set1_ps(float(y) - p.refY);
            __m256 v = _mm256_add_ps(_mm256_add_ps(base, _mm256_mul_ps(dx, ox)), _mm256_mul_ps(dy, oy));
            v = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()),
                              _mm256_setr_ps(255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 1.0f));
            const __m256i cv = _mm256_cvttps_epi32(_mm256_mul_ps(v, _mm256_set1_ps(65536.0f)));
            // Depth x 65535 in 16.16 and its step, kept in range over the span (the generic rule).
            const float zStart = _mm_cvtss_f32(_mm_permute_ps(_mm256_extractf128_ps(v, 1), 0xFF));
            const int64_t z = int64_t(double(zStart) * kGZScale);
            int64_t dz = p.depthStep;
            const int64_t zLast = z + dz * (n - 1);
            if ((zLast < 0 || zLast > int64_t(kGZScale)) && n > 1) {
                dz = (GDepthAt(p, float(x1 - 1), float(y)) - z) / (n - 1);
            }

            const __m256i* byLane = stepTimesLane;
            __m256i stepVec = steps;
            __m256i localByLane[7];
            // The triangle's steps keep every pixel in range unless the span's ends were
            // clamped. Short spans check that in 32-bit lanes (|step| <= 2^24, n - 1 < 64);
            // a one-pixel span passes trivially.
            bool inRange = false;
            if (n - 1 <= 63) {
                const __m256i last = _mm256_add_epi32(cv, _mm256_mullo_epi32(steps, _mm256_set1_epi32(n - 1)));
                const __m256i outside = _mm256_and_si256(
                    last, _mm256_setr_epi32(int32_t(0xFF000000u), int32_t(0xFF000000u), int32_t(0xFF000000u),
                                            int32_t(0xFF000000u), int32_t(0xFF000000u), int32_t(0xFF000000u),
                                            int32_t(0xFF000000u), 0));
                inRange = _mm256_testz_si256(outside, outside) != 0;
            }
            if (!inRange) {
                alignas(32) int32_t c[8];
                alignas(32) int32_t dc[8] = {};
                _mm256_store_si256(reinterpret_cast<__m256i*>(c), cv);
                GFixColorSteps(p, y, x0, x1, c, dc);
                for (int k = 0; k < kChannels; ++k) {
                    localByLane[k] = _mm256_mullo_epi32(_mm256_set1_epi32(dc[k]), lane);
                }
                byLane = localByLane;
                stepVec = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dc));
            }
            __m256i ch[7];
            Broadcast(cv, ch);
            for (int k = 0; k < kChannels; ++k) {
                ch[k] = _mm256_add_epi32(ch[k], byLane[k]);
            }
            const uint32_t dz32 = uint32_t(uint64_t(dz));
            __m256i zl = _mm256_add_epi32(
                _mm256_set1_epi32(int32_t(uint32_t(uint64_t(z)))),
                dz == p.depthStep ? depthTimesLane : _mm256_mullo_epi32(_mm256_set1_epi32(int32_t(dz32)), lane));
            Chunk(row, zrow, x0, n, ch, zl);
            if (n <= 8) {
                return;  // most spans
            }
            __m256i step8[7];
            Broadcast(_mm256_slli_epi32(stepVec, 3), step8);
            const __m256i zStep8 = _mm256_set1_epi32(int32_t(dz32 << 3));
            for (int32_t xs = x0 + 8; xs < x1; xs += 8) {
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = _mm256_add_epi32(ch[k], step8[k]);
                }
                zl = _mm256_add_epi32(zl, zStep8);
                Chunk(row, zrow, xs, x1 - xs, ch, zl);
            }
        }

        // Each of the first seven lanes of `v` across a whole register.
        static void Broadcast(__m256i v, __m256i (&out)[7])
        {
            const __m256i low = _mm256_permute2x128_si256(v, v, 0x00);
            const __m256i high = _mm256_permute2x128_si256(v, v, 0x11);
            out[0] = _mm256_shuffle_epi32(low, 0x00);
            out[1] = _mm256_shuffle_epi32(low, 0x55);
            out[2] = _mm256_shuffle_epi32(low, 0xAA);
            out[3] = _mm256_shuffle_epi32(low, 0xFF);
            out[4] = _mm256_shuffle_epi32(high, 0x00);
            out[5] = _mm256_shuffle_epi32(high, 0x55);
            out[6] = _mm256_shuffle_epi32(high, 0xAA);
        }

        // Pixels xs .. xs + 7 of the row (those before xs + left), colours `ch` and depth `zl`
        // in 16.16 per lane.
        [[gnu::always_inline]] inline void Chunk(uint32_t* row, uint16_t* zrow, int32_t xs, int32_t left,
                                                 const __m256i (&ch)[7], __m256i zl) const
        {
            // Whole runs of eight are read and written back where they lie inside the scissor;
            // near its right edge the lanes go through a local copy instead.
            const bool direct = xs + 8 <= clipX1;
            const int32_t count = left < 8 ? left : 8;
            alignas(32) uint32_t colorCopy[8];
            alignas(16) uint16_t depthCopy[8];
            uint32_t* cp = row + xs;
            uint16_t* zp = zrow + xs;
            if (!direct) {
                std::memset(colorCopy, 0, sizeof colorCopy);
                std::memset(depthCopy, 0, sizeof depthCopy);
                std::memcpy(colorCopy, cp, size_t(count) * 4);
                std::memcpy(depthCopy, zp, size_t(count) * 2);
                cp = colorCopy;
                zp = depthCopy;
            }
            const __m128i zOld = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zp));
            const __m256i z16 = _mm256_srli_epi32(_mm256_add_epi32(zl, _mm256_set1_epi32(32768)), 16);
            __m256i pass = _mm256_andnot_si256(_mm256_cmpgt_epi32(z16, _mm256_cvtepu16_epi32(zOld)),
                                               _mm256_cmpgt_epi32(_mm256_set1_epi32(left), lane));
            const __m256i a = _mm256_srli_epi32(ch[3], 16);
            if constexpr (AlphaTest) {
                pass = _mm256_and_si256(pass, _mm256_cmpgt_epi32(a, alphaRef));
            }
            if (_mm256_testz_si256(pass, pass)) {
                return;
            }
            __m256i r = _mm256_srli_epi32(ch[0], 16);
            __m256i g = _mm256_srli_epi32(ch[1], 16);
            __m256i b = _mm256_srli_epi32(ch[2], 16);
            if constexpr (Specular) {
                const __m256i max255 = _mm256_set1_epi32(255);
                r = _mm256_min_epi32(_mm256_add_epi32(r, _mm256_srli_epi32(ch[4], 16)), max255);
                g = _mm256_min_epi32(_mm256_add_epi32(g, _mm256_srli_epi32(ch[5], 16)), max255);
                b = _mm256_min_epi32(_mm256_add_epi32(b, _mm256_srli_epi32(ch[6], 16)), max255);
            }
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cp));
            __m256i outA = a;
            if constexpr (Blend) {
                const __m256i m255 = _mm256_set1_epi32(255);
                const __m256i inv = _mm256_sub_epi32(m255, a);
                r = BlendChannel(r, _mm256_and_si256(_mm256_srli_epi32(old, 16), m255), a, inv);
                g = BlendChannel(g, _mm256_and_si256(_mm256_srli_epi32(old, 8), m255), a, inv);
                b = BlendChannel(b, _mm256_and_si256(old, m255), a, inv);
                outA = BlendChannel(a, _mm256_or_si256(_mm256_srli_epi32(old, 24), dstAlphaOr), a, inv);
            }
            __m256i out = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(outA, 24), _mm256_slli_epi32(r, 16)),
                                          _mm256_or_si256(_mm256_slli_epi32(g, 8), b));
            out = _mm256_and_si256(out, writeMask);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(cp), _mm256_blendv_epi8(old, out, pass));
            if (zWrite) {
                const __m256i zPacked = _mm256_permute4x64_epi64(_mm256_packus_epi32(z16, z16), 0x08);
                const __m256i mPacked = _mm256_permute4x64_epi64(_mm256_packs_epi32(pass, pass), 0x08);
                const __m128i zNew = _mm_blendv_epi8(zOld, _mm256_castsi256_si128(zPacked),
                                                     _mm256_castsi256_si128(mPacked));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(zp), zNew);
            }
            if (!direct) {
                std::memcpy(row + xs, colorCopy, size_t(count) * 4);
                std::memcpy(zrow + xs, depthCopy, size_t(count) * 2);
            }
        }
    };
};

// The loop's variants by state key, for VariantTable.
template <bool... Keys>
struct GouraudLoopAvx2 {
    static constexpr TriangleFn fn = &GouraudTriangle<Avx2Kernel, Keys...>;
};

}  // namespace

TriangleFn GouraudTriangleForAvx2(bool specular, bool alphaTest, bool blend)
{
    static constexpr auto kTable = VariantTable<GouraudLoopAvx2, 3>();
    return kTable[VariantIndex(specular, alphaTest, blend)];
}

}  // namespace raster::detail

#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
