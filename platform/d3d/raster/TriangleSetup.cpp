// Triangle stage: snap to the sub-pixel grid, cull, set up the edges and attribute planes, and
// walk the rows into the span loop.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster::detail {

bool DrawTriangle(const PixelContext& ctx, SpanFn span, const ScreenVertex& v0,
                  const ScreenVertex& in1, const ScreenVertex& in2, uint32_t cullMode)
{
    SnappedTriangle t;
    if (!SnapTriangle(v0, in1, in2, cullMode, t)) {
        return false;
    }
    const ScreenVertex* p1 = t.v[1];
    const ScreenVertex* p2 = t.v[2];
    TriangleEdgeSet edges;
    if (!SetUpEdges(t, ctx, edges)) {
        return false;
    }

    // Attribute planes from the snapped positions, so interpolation agrees with coverage.
    Planes planes;
    const PlaneFrame frame = PlaneFrameOf(t);
    const double ex1 = frame.ex1, ey1 = frame.ey1, ex2 = frame.ex2, ey2 = frame.ey2, invArea = frame.invArea;
    planes.refX = float(frame.x0);
    planes.refY = float(frame.y0);

    const ScreenVertex* v[3] = {&v0, p1, p2};
    const bool textured = ctx.texels != nullptr;
    float values[3][kAttrCount + 1];  // the spare slot stays zero (attributes go in pairs)
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& s = *v[i];
        float* a = values[i];
        // Untextured pixels never read the coordinates: enormous ones must not drop the triangle.
        float tu = textured ? s.u : 0.0f, tv = textured ? s.v : 0.0f;
        if (ctx.wrapU) {
            WrapToward(v0.u, tu);
        }
        if (ctx.wrapV) {
            WrapToward(v0.v, tv);
        }
        a[kZ] = s.z;
        a[kInvW] = ctx.perspective ? s.invW : 1.0f;
        a[kU] = ctx.perspective ? tu * s.invW : tu;
        a[kV] = ctx.perspective ? tv * s.invW : tv;
        // Flat shading takes every colour from the triangle's first vertex.
        const ScreenVertex& c = ctx.flat ? v0 : s;
        a[kR] = c.r;
        a[kG] = c.g;
        a[kB] = c.b;
        a[kA] = c.a;
        a[kSR] = c.sr;
        a[kSG] = c.sg;
        a[kSB] = c.sb;
        a[kAttrCount] = 0.0f;
        for (int k = 0; k < kAttrCount; ++k) {
            if (!std::isfinite(a[k])) {
                return false;  // e.g. u / w overflowing for an enormous texture coordinate
            }
        }
    }
#if defined(__SSE2__)
    // Two attributes per register, the very same double arithmetic as below.
    {
        const __m128d vex1 = _mm_set1_pd(ex1), vey1 = _mm_set1_pd(ey1);
        const __m128d vex2 = _mm_set1_pd(ex2), vey2 = _mm_set1_pd(ey2);
        const __m128d vinv = _mm_set1_pd(invArea);
        auto two = [](const float* f) {
            return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(f))));
        };
        __m128 notFinite = _mm_setzero_ps();
        for (int k = 0; k < kAttrCount; k += 2) {
            const __m128d a0 = two(values[0] + k);
            const __m128d d1 = _mm_sub_pd(two(values[1] + k), a0);
            const __m128d d2 = _mm_sub_pd(two(values[2] + k), a0);
            const __m128d gx = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, vey2), _mm_mul_pd(d2, vey1)), vinv);
            const __m128d gy = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, vex1), _mm_mul_pd(d1, vex2)), vinv);
            const __m128 fx = _mm_cvtpd_ps(gx), fy = _mm_cvtpd_ps(gy);
            // x - x is NaN exactly when x is infinite or NaN.
            notFinite = _mm_or_ps(notFinite, _mm_cmpunord_ps(_mm_sub_ps(fx, fx), _mm_sub_ps(fy, fy)));
            if (k + 1 < kAttrCount) {
                _mm_storel_pi(reinterpret_cast<__m64*>(planes.dx + k), fx);
                _mm_storel_pi(reinterpret_cast<__m64*>(planes.dy + k), fy);
            } else {
                _mm_store_ss(planes.dx + k, fx);
                _mm_store_ss(planes.dy + k, fy);
            }
        }
        if (_mm_movemask_ps(notFinite) != 0) {
            return false;
        }
        for (int k = 0; k < kAttrCount; ++k) {
            planes.base[k] = values[0][k];
        }
    }
#else
    for (int k = 0; k < kAttrCount; ++k) {
        const double d1 = double(values[1][k]) - values[0][k];
        const double d2 = double(values[2][k]) - values[0][k];
        const double gx = (d1 * ey2 - d2 * ey1) * invArea;
        const double gy = (d2 * ex1 - d1 * ex2) * invArea;
        planes.base[k] = values[0][k];
        planes.dx[k] = float(gx);
        planes.dy[k] = float(gy);
        if (!std::isfinite(planes.dx[k]) || !std::isfinite(planes.dy[k])) {
            return false;
        }
    }
#endif
    for (int k = 0; k < 7; ++k) {
        planes.colorStep[k] = int32_t(ClampF(planes.dx[kR + k] * 65536.0f, -16777216.0f, 16777216.0f));
    }
    planes.depthStep = int64_t(double(ClampF(planes.dx[kZ], -1.0f, 1.0f)) * 65535.0 * 65536.0);
    const uint64_t covered = WalkRows(edges, ctx, [&](int32_t y, int32_t x0, int32_t x1) { span(ctx, planes, y, x0, x1); });
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

TriangleFn SelectTriangle(const PixelContext& ctx, SpanPath path)
{
    if (const TriangleFn fast = SelectFastTriangle(ctx, path)) {
        return fast;
    }
    return &DrawTriangle;
}

}  // namespace raster::detail
