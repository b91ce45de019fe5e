// Triangle stage: snap to the sub-pixel grid, cull, set up the edges and attribute planes, and
// walk the rows into the span loop.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <algorithm>
#include <cstdint>


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
    planes.refX = float(frame.x0);
    planes.refY = float(frame.y0);

    const ScreenVertex* v[3] = {&v0, p1, p2};
    const bool textured = ctx.texels != nullptr;
    float values[3][kAttrCount + 1];  // the spare slot stays zero (attributes go in fours)
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
    }
    // Not finite: e.g. u / w overflowing for an enormous texture coordinate.
    if (!SetUpPlanes(values, frame, planes.base, planes.dx, planes.dy)) {
        return false;
    }
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
