// Untextured triangles in one pass: set-up, row walk and span shading fused, for the states the
// Gouraud loops cover (8888 target, depth test LESSEQUAL, optional alpha test GREATER and
// SRCALPHA / INVSRCALPHA blend). Only the planes an untextured pixel needs are set up, and the
// rows go to the span loop a batch at a time. Included by one file per instruction set, each
// bringing its own span kernel; everything here has internal linkage so no code compiled for one
// instruction set can be picked for another. The helpers it takes from Internal.h and
// PixelMath.h are defined before any file switches its instruction set, and GCC compiles a
// function for the instruction set in force where it is defined, so they stay baseline code.
// Pixels are those of DrawTriangle + GenericSpan. Edges and rows come from TriangleWalker.h.
#pragma once

#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

// Sets up and walks one triangle; `Kernel` shades the rows. Same drops as DrawTriangle.
template <class Kernel, bool Specular, bool AlphaTest, bool Blend>
bool GouraudTriangle(const PixelContext& ctx, SpanFn, const ScreenVertex& v0, const ScreenVertex& v1,
                     const ScreenVertex& v2, uint32_t cullMode)
{
    TriangleEdgeSet edges;
    Planes planes;
    if (!SetUpTriangle<kUntexturedAttrs>(ctx, v0, v1, v2, cullMode, edges, planes)) {
        return false;
    }
    typename Kernel::template Walker<Specular, AlphaTest, Blend> walker(ctx, planes);
    uint64_t covered = 0;
    if (IsNarrow(edges, Kernel::kNarrowLanes)) {
        // Narrow triangles: the edge functions themselves, one lane per column of the box.
        const NarrowEdges ne = NarrowEdgesOf(edges, ctx);
        // The nearest 16-bit depth a pixel can get: a level below the nearest corner's covers
        // the rounding of planes that are not steep (whose evaluation strays by far less than a
        // level); steep ones are not tested.
        uint32_t nearDepth = 0;
        if (std::fabs(planes.dx[kZ]) + std::fabs(planes.dy[kZ]) < 1.0f / 64.0f && ne.col0 >= ctx.clipX0 &&
            ne.col0 + Kernel::kNarrowLanes <= ctx.clipX1) {
            const float zNear = std::min(v0.z, std::min(v1.z, v2.z));
            nearDepth = uint32_t(std::max(int32_t(zNear * 65535.0f) - 1, 0));
        }
        covered = walker.WalkNarrow(ne.e0, ne.stepX, ne.stepY, ne.col0, int32_t(edges.row0), int32_t(edges.row1),
                                    ne.clipLanes, nearDepth);
    } else {
        covered = walker.WalkBatched(edges, ctx);
    }
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

}  // namespace

}  // namespace raster::detail
