// Triangle stage: snap to the sub-pixel grid, cull, set up the edges and attribute planes, and
// walk the rows into the span loop.
#include "platform/d3d/raster/Internal.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <cstdint>

namespace raster::detail {

bool DrawTriangle(const PixelContext& ctx, SpanFn span, const ScreenVertex& v0,
                  const ScreenVertex& v1, const ScreenVertex& v2, uint32_t cullMode)
{
    TriangleEdgeSet edges;
    Planes planes;
    if (!SetUpTriangle<kAttrCount + 1>(ctx, v0, v1, v2, cullMode, edges, planes)) {
        return false;
    }
    const uint64_t covered = WalkRows(edges, ctx, [&](int32_t y, int32_t x0, int32_t x1) { span(ctx, planes, y, x0, x1); });
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

}  // namespace raster::detail
