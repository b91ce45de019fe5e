// Untextured triangles for AVX2: the states of GouraudSpans.cpp, eight pixels of a span per
// step with the same integer arithmetic (so the same pixels). Each channel has its own
// register of eight 16.16 values; depth is stepped in 32-bit lanes, which hold it exactly
// (depth x 65535 in 16.16 never exceeds 2^32 inside a span).
#include "platform/d3d/raster/FastSpans.h"

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
    // Attribute gradients, four per register in double (the same arithmetic as two per
    // register); false when any value or gradient is not finite.
    static bool Gradients(const float values[3][kGouraudAttrs], double ex1, double ey1, double ex2,
                          double ey2, double invArea, GouraudPlanes& planes)
    {
        const __m256d vex1 = _mm256_set1_pd(ex1), vey1 = _mm256_set1_pd(ey1);
        const __m256d vex2 = _mm256_set1_pd(ex2), vey2 = _mm256_set1_pd(ey2);
        const __m256d vinv = _mm256_set1_pd(invArea);
        __m128 notFinite = _mm_setzero_ps();
        for (int k = 0; k < kGouraudAttrs; k += 4) {
            const __m128 f0 = _mm_loadu_ps(values[0] + k);
            const __m128 f1 = _mm_loadu_ps(values[1] + k);
            const __m128 f2 = _mm_loadu_ps(values[2] + k);
            const __m256d a0 = _mm256_cvtps_pd(f0);
            const __m256d d1 = _mm256_sub_pd(_mm256_cvtps_pd(f1), a0);
            const __m256d d2 = _mm256_sub_pd(_mm256_cvtps_pd(f2), a0);
            const __m256d gx =
                _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d1, vey2), _mm256_mul_pd(d2, vey1)), vinv);
            const __m256d gy =
                _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d2, vex1), _mm256_mul_pd(d1, vex2)), vinv);
            const __m128 fx = _mm256_cvtpd_ps(gx), fy = _mm256_cvtpd_ps(gy);
            // x - x is NaN exactly when x is infinite or NaN.
            notFinite = _mm_or_ps(notFinite, _mm_cmpunord_ps(_mm_sub_ps(fx, fx), _mm_sub_ps(fy, fy)));
            notFinite = _mm_or_ps(notFinite, _mm_cmpunord_ps(_mm_sub_ps(f0, f0), _mm_sub_ps(f1, f1)));
            notFinite = _mm_or_ps(notFinite, _mm_cmpunord_ps(_mm_sub_ps(f2, f2), f2));
            _mm_storeu_ps(planes.base + k, f0);
            _mm_storeu_ps(planes.dx + k, fx);
            _mm_storeu_ps(planes.dy + k, fy);
        }
        return _mm_movemask_ps(notFinite) == 0;
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
        __m256i stepTimes8[7];     // ... x 8
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
                stepTimes8[k] = _mm256_set1_epi32(int32_t(uint32_t(p.colorStep[k]) << 3));
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

        void Prefetch(int32_t y, int32_t x) const
        {
            const uint8_t* c = reinterpret_cast<const uint8_t*>(colorBase) + ptrdiff_t(y) * colorPitch + ptrdiff_t(x) * 4;
            const uint8_t* d = reinterpret_cast<const uint8_t*>(depthBase) + ptrdiff_t(y) * depthPitch + ptrdiff_t(x) * 2;
            _mm_prefetch(reinterpret_cast<const char*>(c), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(d), _MM_HINT_T0);
        }

        void Span(int32_t y, int32_t x0, int32_t x1)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(colorBase) +
                                                        ptrdiff_t(y) * colorPitch);
            uint16_t* zrow = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(depthBase) +
                                                         ptrdiff_t(y) * depthPitch);
            const int32_t n = x1 - x0;
            int64_t z;
            int64_t dz;
            GSpanDepth(p, y, x0, x1, z, dz);

            // The colours at the span start, as the generic evaluation (clamped, truncated).
            const __m256 ox = _mm256_set1_ps(float(x0) - p.refX);
            const __m256 oy = _mm256_set1_ps(float(y) - p.refY);
            __m256 v = _mm256_add_ps(_mm256_add_ps(base, _mm256_mul_ps(dx, ox)), _mm256_mul_ps(dy, oy));
            v = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
            const __m256i cv = _mm256_cvttps_epi32(_mm256_mul_ps(v, _mm256_set1_ps(65536.0f)));

            const __m256i* byLane = stepTimesLane;
            const __m256i* by8 = stepTimes8;
            __m256i localByLane[7], localBy8[7];
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
                int32_t dc[7];
                _mm256_store_si256(reinterpret_cast<__m256i*>(c), cv);
                GFixColorSteps(p, y, x0, x1, c, dc);
                for (int k = 0; k < kChannels; ++k) {
                    localByLane[k] = _mm256_mullo_epi32(_mm256_set1_epi32(dc[k]), lane);
                    localBy8[k] = _mm256_set1_epi32(int32_t(uint32_t(dc[k]) << 3));
                }
                byLane = localByLane;
                by8 = localBy8;
            }
            __m256i ch[7];
            for (int k = 0; k < kChannels; ++k) {
                ch[k] = _mm256_add_epi32(_mm256_permutevar8x32_epi32(cv, _mm256_set1_epi32(k)), byLane[k]);
            }
            const uint32_t dz32 = uint32_t(uint64_t(dz));
            __m256i zl = _mm256_add_epi32(
                _mm256_set1_epi32(int32_t(uint32_t(uint64_t(z)))),
                dz == p.depthStep ? depthTimesLane : _mm256_mullo_epi32(_mm256_set1_epi32(int32_t(dz32)), lane));

            for (int32_t xs = x0;;) {
                const int32_t left = x1 - xs;
                // Whole rows of eight are read and written back where they lie inside the
                // scissor; near its right edge the lanes go through a local copy instead.
                const bool direct = xs + 8 <= clipX1;
                const int32_t count = left < 8 ? left : 8;
                alignas(32) uint32_t colorCopy[8] = {};
                alignas(16) uint16_t depthCopy[8] = {};
                uint32_t* cp = row + xs;
                uint16_t* zp = zrow + xs;
                if (!direct) {
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
                if (!_mm256_testz_si256(pass, pass)) {
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
                if (left <= 8) {
                    break;
                }
                xs += 8;
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = _mm256_add_epi32(ch[k], by8[k]);
                }
                zl = _mm256_add_epi32(zl, _mm256_slli_epi32(_mm256_set1_epi32(int32_t(dz32)), 3));
            }
        }
    };
};

}  // namespace

TriangleFn GouraudTriangleForAvx2(bool specular, bool alphaTest, bool blend)
{
    static constexpr TriangleFn kGouraud[8] = {
        &GouraudTriangle<Avx2Kernel, false, false, false>, &GouraudTriangle<Avx2Kernel, false, false, true>,
        &GouraudTriangle<Avx2Kernel, false, true, false>,  &GouraudTriangle<Avx2Kernel, false, true, true>,
        &GouraudTriangle<Avx2Kernel, true, false, false>,  &GouraudTriangle<Avx2Kernel, true, false, true>,
        &GouraudTriangle<Avx2Kernel, true, true, false>,   &GouraudTriangle<Avx2Kernel, true, true, true>,
    };
    return kGouraud[(specular ? 4 : 0) | (alphaTest ? 2 : 0) | (blend ? 1 : 0)];
}

}  // namespace raster::detail

#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
