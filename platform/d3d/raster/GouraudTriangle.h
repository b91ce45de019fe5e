// Untextured triangles in one pass: set-up, row walk and span shading fused, for the states the
// Gouraud loops cover (8888 target, depth test LESSEQUAL, optional alpha test GREATER and
// SRCALPHA / INVSRCALPHA blend). Only the planes an untextured pixel needs are set up, and the
// rows call the span loop directly. Included by one file per instruction set, each bringing its
// own span kernel; everything here has internal linkage so no code compiled for one instruction
// set can be picked for another. The helpers it takes from Internal.h (FloorDiv, SnapToSubPixel,
// EdgeStepper, ClampF) are defined before any file switches its instruction set, and GCC compiles
// a function for the instruction set in force where it is defined, so they stay baseline code.
// Pixels are those of DrawTriangle + GenericSpan. Edges and rows come from TriangleWalker.h.
#pragma once

#include "platform/d3d/raster/Internal.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

// The untextured planes, colours first so they load as two groups of four (or one of eight).
enum GouraudAttr : int { kGR = 0, kGG, kGB, kGA, kGSR, kGSG, kGSB, kGZ, kGouraudAttrs };

struct alignas(32) GouraudPlanes {
    float base[kGouraudAttrs];
    float dx[kGouraudAttrs];
    float dy[kGouraudAttrs];
    float refX, refY;
    int32_t colorStep[8];  // r g b a sr sg sb, 16.16 per pixel; the last stays zero
    int64_t depthStep;     // depth x 65535 in 16.16 per pixel

    float At(int a, float x, float y) const { return base[a] + dx[a] * (x - refX) + dy[a] * (y - refY); }
};

constexpr double kGZScale = 65535.0 * 65536.0;
constexpr int64_t kGColorMax = 255 * 65536 + 0xFFFF;

inline int64_t GDepthAt(const GouraudPlanes& p, float x, float y)
{
    return int64_t(double(ClampF(p.At(kGZ, x, y), 0.0f, 1.0f)) * kGZScale);
}

inline int32_t GColorAt(const GouraudPlanes& p, int k, float x, float y)
{
    return int32_t(ClampF(p.At(k, x, y), 0.0f, 255.0f) * 65536.0f);
}

// The depth step of a span starting at depth z: the triangle's, unless it would leave the
// range before the span's end; then the step between the clamped ends (the generic rule).
inline int64_t GDepthStep(const GouraudPlanes& p, int32_t y, int32_t x0, int32_t x1, int64_t z)
{
    const int32_t n = x1 - x0;
    // A one-pixel span passes this test (z is in range), so it needs no branch of its own.
    const int64_t last = z + p.depthStep * (n - 1);
    if ((last < 0 || last > int64_t(kGZScale)) && n > 1) {
        return (GDepthAt(p, float(x1 - 1), float(y)) - z) / (n - 1);
    }
    return p.depthStep;
}

// Colour steps of a span whose ends may have been clamped (the generic rule): where the
// triangle's step would leave 0..255, step between the clamped ends instead.
inline void GFixColorSteps(const GouraudPlanes& p, int32_t y, int32_t x0, int32_t x1,
                           const int32_t c[7], int32_t dc[7])
{
    const int32_t n = x1 - x0;
    for (int k = 0; k < 7; ++k) {
        dc[k] = p.colorStep[k];
    }
    if (n <= 1) {
        return;
    }
    for (int k = 0; k < 7; ++k) {
        const int64_t last = int64_t(c[k]) + int64_t(dc[k]) * (n - 1);
        if (last < 0 || last > kGColorMax) {
            dc[k] = (GColorAt(p, k, float(x1 - 1), float(y)) - c[k]) / (n - 1);
        }
    }
}

// Per-pixel colour steps in 16.16, clamped and truncated (the generic rule; the gradients are
// finite here, so the clamp needs no NaN case), four at a time.
inline void GColorSteps(GouraudPlanes& planes)
{
    using Float4 = float __attribute__((vector_size(16)));
    using Int4 = int32_t __attribute__((vector_size(16)));
    for (int k = 0; k < 8; k += 4) {
        Float4 step;
        std::memcpy(&step, planes.dx + k, sizeof step);
        step *= 65536.0f;
        step = step < -16777216.0f ? -16777216.0f : step;
        step = step > 16777216.0f ? 16777216.0f : step;
        const Int4 fixed = __builtin_convertvector(step, Int4);
        std::memcpy(planes.colorStep + k, &fixed, sizeof fixed);
    }
    planes.colorStep[7] = 0;  // depth is not a colour
}

// Sets up and walks one triangle; `Kernel` shades the spans. Same drops as DrawTriangle.
template <class Kernel, bool Specular, bool AlphaTest, bool Blend>
bool GouraudTriangle(const PixelContext& ctx, SpanFn, const ScreenVertex& v0, const ScreenVertex& in1,
                     const ScreenVertex& in2, uint32_t cullMode)
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
    // Planes from the snapped positions, with the generic set-up's double arithmetic.
    GouraudPlanes planes;
    const PlaneFrame frame = PlaneFrameOf(t);
    planes.refX = float(frame.x0);
    planes.refY = float(frame.y0);
    // Flat shading takes every colour from the first vertex.
    const ScreenVertex* pos[3] = {&v0, p1, p2};
    const ScreenVertex* col[3] = {&v0, ctx.flat ? &v0 : p1, ctx.flat ? &v0 : p2};
    // The attributes straight from the vertices: r g b a, then sr sg sb and depth.
    static_assert(kGSR == kGR + 4 && kGZ == kGSR + 3 &&
                      offsetof(ScreenVertex, sr) == offsetof(ScreenVertex, r) + 4 * sizeof(float) &&
                      offsetof(ScreenVertex, sr) + 4 * sizeof(float) <= sizeof(ScreenVertex),
                  "two groups of four floats from r and sr, the last lane replaced by depth");
    const auto load = [&](int i, int k) {
        PlaneFloat4 v;
        std::memcpy(&v, k == kGR ? &col[i]->r : &col[i]->sr, sizeof v);
        if (k != kGR) {
            v[3] = pos[i]->z;
        }
        return v;
    };
    if (!SetUpPlanesFrom<kGouraudAttrs>(load, frame, planes.base, planes.dx, planes.dy)) {
        return false;
    }
    GColorSteps(planes);
    planes.depthStep = int64_t(double(ClampF(planes.dx[kGZ], -1.0f, 1.0f)) * 65535.0 * 65536.0);

    typename Kernel::template Walker<Specular, AlphaTest, Blend> walker(ctx, planes);
    uint64_t covered = 0;
    bool narrow = false;
    if constexpr (Kernel::kNarrowLanes > 0) {
        narrow = IsNarrow(edges, Kernel::kNarrowLanes);
    }
    if (narrow) {
        // Narrow triangles: the edge functions themselves, one lane per column of the box.
        if constexpr (Kernel::kNarrowLanes > 0) {
            const NarrowEdges ne = NarrowEdgesOf(edges, ctx);
            // The nearest 16-bit depth a pixel can get: a level below the nearest corner's
            // covers the rounding of planes that are not steep (whose evaluation strays by
            // far less than a level); steep ones are not tested.
            uint32_t nearDepth = 0;
            if (std::fabs(planes.dx[kGZ]) + std::fabs(planes.dy[kGZ]) < 1.0f / 64.0f && ne.col0 >= ctx.clipX0 &&
                ne.col0 + Kernel::kNarrowLanes <= ctx.clipX1) {
                const float zNear = std::min(v0.z, std::min(p1->z, p2->z));
                nearDepth = uint32_t(std::max(int32_t(zNear * 65535.0f) - 1, 0));
            }
            covered = walker.WalkNarrow(ne.e0, ne.stepX, ne.stepY, ne.col0, int32_t(edges.row0),
                                        int32_t(edges.row1), ne.clipLanes, nearDepth);
        }
    } else if constexpr (Kernel::kNarrowLanes > 0) {
        covered = walker.WalkBatched(edges, ctx);
    } else {
        covered = WalkRows(edges, ctx, [&](int32_t y, int32_t x0, int32_t x1) { walker.Span(y, x0, x1); });
    }
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

}  // namespace

}  // namespace raster::detail
