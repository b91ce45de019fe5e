// Untextured triangles in one pass: set-up, row walk and span shading fused, for the states the
// Gouraud loops cover (8888 target, depth test LESSEQUAL, optional alpha test GREATER and
// SRCALPHA / INVSRCALPHA blend). Only the planes an untextured pixel needs are set up, and the
// rows call the span loop directly. Included by one file per instruction set, each bringing its
// own span kernel; everything here has internal linkage so no code compiled for one instruction
// set can be picked for another. The helpers it takes from Internal.h (FloorDiv, SnapToSubPixel,
// EdgeStepper, ClampF) are defined before any file switches its instruction set, and GCC compiles
// a function for the instruction set in force where it is defined, so they stay baseline code.
// Pixels are those of DrawTriangle + ScanTriangle + GenericSpan.
#pragma once

#include "platform/d3d/raster/Internal.h"

#include <algorithm>
#include <cstdint>

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

// Depth at the span start and its step, kept in range over the span (the generic rule).
inline void GSpanDepth(const GouraudPlanes& p, int32_t y, int32_t x0, int32_t x1, int64_t& z, int64_t& dz)
{
    z = GDepthAt(p, float(x0), float(y));
    dz = p.depthStep;
    const int32_t n = x1 - x0;
    // A one-pixel span passes this test (z is in range), so it needs no branch of its own.
    const int64_t last = z + dz * (n - 1);
    if ((last < 0 || last > int64_t(kGZScale)) && n > 1) {
        dz = (GDepthAt(p, float(x1 - 1), float(y)) - z) / (n - 1);
    }
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

// The untextured attributes of three vertices: colours from `col`, depth from `pos`.
inline void GGather(const ScreenVertex* const col[3], const ScreenVertex* const pos[3],
                    float values[3][kGouraudAttrs])
{
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& c = *col[i];
        float* a = values[i];
        a[kGR] = c.r;
        a[kGG] = c.g;
        a[kGB] = c.b;
        a[kGA] = c.a;
        a[kGSR] = c.sr;
        a[kGSG] = c.sg;
        a[kGSB] = c.sb;
        a[kGZ] = pos[i]->z;
    }
}

// Per-pixel colour steps in 16.16, clamped (the generic rule).
inline void GColorSteps(GouraudPlanes& planes)
{
    for (int k = 0; k < 7; ++k) {
        planes.colorStep[k] = int32_t(ClampF(planes.dx[k] * 65536.0f, -16777216.0f, 16777216.0f));
    }
    planes.colorStep[7] = 0;
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
    const int64_t x0 = t.x[0], y0 = t.y[0], x1 = t.x[1], y1 = t.y[1], x2 = t.x[2], y2 = t.y[2];
    const ScreenVertex* p1 = t.v[1];
    const ScreenVertex* p2 = t.v[2];
    const int64_t minY = std::min(y0, std::min(y1, y2));
    const int64_t maxY = std::max(y0, std::max(y1, y2));
    int64_t row0 = std::max<int64_t>(-FloorDiv(-minY, kSubPixelOne), ctx.clipY0);
    int64_t row1 = std::min<int64_t>(FloorDiv(maxY, kSubPixelOne), int64_t(ctx.clipY1) - 1);
    if (row0 > row1) {
        return false;
    }

    // Edges: x bounds per row from the slanted ones; a horizontal one bounds the rows instead
    // (B (256 j - ay) + bias >= 0: a top edge, B > 0 and bias 0, keeps rows at or below it; a
    // bottom edge, B < 0 and bias -1, keeps rows strictly above it).
    const int64_t ex[3][4] = {{x1, y1, x2, y2}, {x2, y2, x0, y0}, {x0, y0, x1, y1}};
    for (const auto& e : ex) {
        if (e[1] == e[3]) {
            if (e[2] > e[0]) {
                row0 = std::max(row0, -FloorDiv(-e[1], kSubPixelOne));
            } else {
                row1 = std::min(row1, FloorDiv(e[1] - 1, kSubPixelOne));
            }
        }
    }
    if (row0 > row1) {
        return false;
    }
    // Planes from the snapped positions, with the generic set-up's double arithmetic.
    GouraudPlanes planes;
    const PlaneFrame frame = PlaneFrameOf(t);
    const double ex1 = frame.ex1, ey1 = frame.ey1, ex2 = frame.ex2, ey2 = frame.ey2, invArea = frame.invArea;
    planes.refX = float(frame.x0);
    planes.refY = float(frame.y0);
    // Flat shading takes every colour from the first vertex.
    const ScreenVertex* pos[3] = {&v0, p1, p2};
    const ScreenVertex* col[3] = {&v0, ctx.flat ? &v0 : p1, ctx.flat ? &v0 : p2};
    if (!Kernel::Planes(col, pos, ex1, ey1, ex2, ey2, invArea, planes)) {
        return false;
    }
    planes.depthStep = int64_t(double(ClampF(planes.dx[kGZ], -1.0f, 1.0f)) * 65535.0 * 65536.0);

    typename Kernel::template Walker<Specular, AlphaTest, Blend> walker(ctx, planes);
    uint64_t covered = 0;
    const int64_t minX = std::min(x0, std::min(x1, x2));
    const int64_t maxX = std::max(x0, std::max(x1, x2));
    bool narrow = false;
    if constexpr (Kernel::kNarrowLanes > 0) {
        narrow = maxX - minX < Kernel::kNarrowLanes * kSubPixelOne && maxY - minY < 512 * kSubPixelOne;
    }
    if (narrow) {
        // Narrow triangles: the edge functions themselves, one lane per pixel of the box's
        // columns. Inside such a box every value fits in 32 bits (|E| < 2^31).
        const int64_t col0 = -FloorDiv(-minX, kSubPixelOne);
        int32_t e0[3], stepX[3], stepY[3];
        for (int i = 0; i < 3; ++i) {
            const int64_t ax = ex[i][0], ay = ex[i][1];
            const int64_t A = ay - ex[i][3];
            const int64_t B = ex[i][2] - ax;
            const int64_t bias = (A > 0 || (A == 0 && B > 0)) ? 0 : -1;
            e0[i] = int32_t(A * (col0 * kSubPixelOne - ax) + B * (row0 * kSubPixelOne - ay) + bias);
            stepX[i] = int32_t(A * kSubPixelOne);
            stepY[i] = int32_t(B * kSubPixelOne);
        }
        // The scissor's columns as lanes.
        const int64_t lo = std::min<int64_t>(std::max<int64_t>(ctx.clipX0 - col0, 0), 32);
        const int64_t hi = std::min<int64_t>(std::max<int64_t>(ctx.clipX1 - col0, 0), 32);
        const uint32_t clipLanes = uint32_t(((uint64_t(1) << hi) - 1) & ~((uint64_t(1) << lo) - 1));
        if constexpr (Kernel::kNarrowLanes > 0) {
            covered = walker.WalkNarrow(e0, stepX, stepY, int32_t(col0), int32_t(row0), int32_t(row1), clipLanes);
        }
    } else {
        EdgeStepper lower[2], upper[2];
        lower[1].Fixed(INT64_MIN / 4);
        upper[1].Fixed(INT64_MAX / 4);
        int nLower = 0, nUpper = 0;
        for (const auto& e : ex) {
            const int64_t ax = e[0], ay = e[1];
            const int64_t A = ay - e[3];
            const int64_t B = e[2] - ax;
            const int64_t bias = A > 0 ? 0 : -1;  // horizontal edges were handled above
            const int64_t k0 = B * (row0 * kSubPixelOne - ay) - A * ax + bias;
            const int64_t kStep = B * kSubPixelOne;
            if (A > 0) {
                const int64_t d = A * kSubPixelOne;
                lower[nLower++ & 1].Init(-k0 + d - 1, -kStep, d);  // ceil(-K / D)
            } else if (A < 0) {
                upper[nUpper++ & 1].Init(k0, kStep, -A * kSubPixelOne);
            }
        }
        const int64_t clipLeft = ctx.clipX0;
        const int64_t clipRight = int64_t(ctx.clipX1) - 1;
        for (int64_t j = row0; j <= row1; ++j) {
            const int64_t xMin = std::max(clipLeft, std::max(lower[0].q, lower[1].q));
            const int64_t xMax = std::min(clipRight, std::min(upper[0].q, upper[1].q));
            lower[0].Next();
            lower[1].Next();
            upper[0].Next();
            upper[1].Next();
            if (xMin <= xMax) {
                walker.Span(int32_t(j), int32_t(xMin), int32_t(xMax + 1));
                covered += uint64_t(xMax + 1 - xMin);
            }
        }
    }
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

}  // namespace

}  // namespace raster::detail
