// The triangle walker: the snap to the sub-pixel grid, edge set-up with the top-left rule, the
// rows a triangle covers, and the row walk that hands each covered span to a shader. Every
// triangle path uses it: the generic and textured set-up (TriangleSetup.cpp) and the fused
// untextured loops (GouraudSpanLoop.h), whose narrow-triangle walk is a strategy over the same
// edge functions.
//
// Everything here has internal linkage: files that switch their instruction set include it
// after the switch, so each gets its own copy built for its instruction set (and no copy built
// for a wider one can be picked for baseline code).
#pragma once

#include "platform/d3d/raster/PixelMath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

constexpr int kSubPixelBits = 8;
constexpr int kSubPixelOne = 1 << kSubPixelBits;

// floor(n / d) for d > 0, in 32 bits when both fit (the usual case, and much cheaper).
template <class Int>
inline Int FloorDivIn(Int n, Int d)
{
    const Int q = n / d;
    return (n % d) != 0 && n < 0 ? q - 1 : q;
}

inline int64_t FloorDiv(int64_t n, int64_t d)
{
    if (n >= INT32_MIN && n <= INT32_MAX && d <= INT32_MAX) {
        return FloorDivIn<int32_t>(int32_t(n), int32_t(d));
    }
    return FloorDivIn(n, d);
}

// A screen coordinate on the sub-pixel grid: floor(v * 256 + 0.5), without a library call.
// |v| < 2^20 was checked by the vertex stage, so this fits easily.
inline int64_t SnapToSubPixel(float v)
{
    const double t = double(v) * kSubPixelOne + 0.5;
    const int64_t i = int64_t(t);
    return i - (double(i) > t ? 1 : 0);
}

// floor(N_j / D) for N_j = N_0 + j S, stepped row by row without dividing again: one edge's
// bound on the pixels of each row.
struct EdgeStepper {
    int64_t q = 0, r = 0, D = 1, qs = 0, rs = 0;

    void Init(int64_t n0, int64_t step, int64_t d)
    {
        D = d;
        q = FloorDiv(n0, d);
        r = n0 - q * d;
        qs = FloorDiv(step, d);
        rs = step - qs * d;
    }
    // Without a branch: whether the remainder wraps is as good as random along a slanted edge.
    void Next()
    {
        r += rs;
        const int64_t wrap = (D - 1 - r) >> 63;  // -1 when r >= D, else 0
        r -= D & wrap;
        q += qs - wrap;
    }
};

// A screen triangle on the sub-pixel grid, wound clockwise on screen (y grows downward, so
// clockwise is a positive area): vertex 0 stays first, 1 and 2 swap when needed.
struct SnappedTriangle {
    int64_t x[3], y[3];
    const ScreenVertex* v[3];
};

// False when the triangle has no area on the grid or `cullMode` culls it.
inline bool SnapTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                         uint32_t cullMode, SnappedTriangle& t)
{
    t.x[0] = SnapToSubPixel(v0.x);
    t.y[0] = SnapToSubPixel(v0.y);
    t.x[1] = SnapToSubPixel(v1.x);
    t.y[1] = SnapToSubPixel(v1.y);
    t.x[2] = SnapToSubPixel(v2.x);
    t.y[2] = SnapToSubPixel(v2.y);
    const int64_t area = (t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.x[2] - t.x[0]) * (t.y[1] - t.y[0]);
    if (area == 0 || (cullMode == kCullCW && area > 0) || (cullMode == kCullCCW && area < 0)) {
        return false;
    }
    const bool swap = area < 0;
    t.v[0] = &v0;
    t.v[1] = swap ? &v2 : &v1;
    t.v[2] = swap ? &v1 : &v2;
    if (swap) {
        std::swap(t.x[1], t.x[2]);
        std::swap(t.y[1], t.y[2]);
    }
    return true;
}

// Where a snapped triangle's attribute planes are measured from, in pixels: vertex 0 and the
// edge vectors to vertices 1 and 2 (double, so every set-up rounds alike).
struct PlaneFrame {
    double x0, y0, ex1, ey1, ex2, ey2, invArea;
};

inline PlaneFrame PlaneFrameOf(const SnappedTriangle& t)
{
    PlaneFrame f;
    f.x0 = double(t.x[0]) / kSubPixelOne;
    f.y0 = double(t.y[0]) / kSubPixelOne;
    f.ex1 = double(t.x[1] - t.x[0]) / kSubPixelOne;
    f.ey1 = double(t.y[1] - t.y[0]) / kSubPixelOne;
    f.ex2 = double(t.x[2] - t.x[0]) / kSubPixelOne;
    f.ey2 = double(t.y[2] - t.y[0]) / kSubPixelOne;
    f.invArea = 1.0 / (f.ex1 * f.ey2 - f.ex2 * f.ey1);
    return f;
}

// The first pixel row or column at or after a sub-pixel coordinate, and the last one at or
// before it: shifts, which round down for negative values too (no division).
[[gnu::always_inline]] inline int64_t PixelCeil(int64_t v) { return -((-v) >> kSubPixelBits); }
[[gnu::always_inline]] inline int64_t PixelFloor(int64_t v) { return v >> kSubPixelBits; }

// One edge function in sub-pixel units: E(P) = A (Px - ax) + B (Py - ay) + bias. A pixel centre
// is covered when E >= 0 for all three edges; bias -1 on edges that are neither left (inside
// to the right, A > 0) nor top (horizontal, inside below, A == 0 and B > 0), so centres lying
// exactly on those belong to the neighbour.
struct Edge {
    int64_t A, B, ax, ay;
    int64_t Bias() const { return (A > 0 || (A == 0 && B > 0)) ? 0 : -1; }
};

[[gnu::always_inline]] inline Edge EdgeFrom(int64_t ax, int64_t ay, int64_t bx, int64_t by)
{
    return Edge{ay - by, bx - ax, ax, ay};
}

// A snapped triangle's edges and the rows it covers inside the scissor.
struct TriangleEdgeSet {
    Edge e[3];
    int64_t row0, row1;              // inclusive pixel rows, scissored
    int64_t minX, maxX, minY, maxY;  // the bounding box in sub-pixel units
};

// False when no row is left. A horizontal edge bounds the rows instead of the columns:
// B (256 j - ay) + bias >= 0 keeps rows at or below a top edge (B > 0, bias 0) and rows
// strictly above a bottom edge (B < 0, bias -1).
[[gnu::always_inline]] inline bool SetUpEdges(const SnappedTriangle& t, const PixelContext& ctx, TriangleEdgeSet& s)
{
    const int64_t x0 = t.x[0], y0 = t.y[0], x1 = t.x[1], y1 = t.y[1], x2 = t.x[2], y2 = t.y[2];
    s.e[0] = EdgeFrom(x1, y1, x2, y2);
    s.e[1] = EdgeFrom(x2, y2, x0, y0);
    s.e[2] = EdgeFrom(x0, y0, x1, y1);
    s.minX = std::min(x0, std::min(x1, x2));
    s.maxX = std::max(x0, std::max(x1, x2));
    s.minY = std::min(y0, std::min(y1, y2));
    s.maxY = std::max(y0, std::max(y1, y2));
    s.row0 = std::max<int64_t>(PixelCeil(s.minY), ctx.clipY0);
    s.row1 = std::min<int64_t>(PixelFloor(s.maxY), int64_t(ctx.clipY1) - 1);
    for (const Edge& e : s.e) {
        if (e.A == 0) {
            if (e.B > 0) {
                s.row0 = std::max(s.row0, PixelCeil(e.ay));
            } else {
                s.row1 = std::min(s.row1, PixelFloor(e.ay - 1));
            }
        }
    }
    return s.row0 <= s.row1;
}

// The row walk: per row, the columns between the left edges' lower bounds and the right edges'
// upper bounds, inside the scissor; `shade(y, x0, x1)` gets each non-empty span [x0, x1).
// Returns the pixels covered.
template <class Shade>
[[gnu::always_inline]] inline uint64_t WalkRows(const TriangleEdgeSet& s, const PixelContext& ctx, Shade&& shade)
{
    // A triangle has at most two left and two right edges; a missing one never binds (a stepper
    // left at its defaults never moves).
    EdgeStepper lower[2], upper[2];
    lower[1].q = INT64_MIN / 4;
    upper[1].q = INT64_MAX / 4;
    int nLower = 0, nUpper = 0;
    for (const Edge& e : s.e) {
        // K_j = B (256 j - ay) - A ax + bias; covered when 256 A i + K_j >= 0. Horizontal
        // edges bound the rows (SetUpEdges), not the columns.
        const int64_t k0 = e.B * (s.row0 * kSubPixelOne - e.ay) - e.A * e.ax + e.Bias();
        const int64_t kStep = e.B * kSubPixelOne;
        if (e.A > 0) {
            const int64_t d = e.A * kSubPixelOne;
            lower[nLower++ & 1].Init(-k0 + d - 1, -kStep, d);  // ceil(-K / D)
        } else if (e.A < 0) {
            upper[nUpper++ & 1].Init(k0, kStep, -e.A * kSubPixelOne);
        }
    }
    const int64_t clipLeft = ctx.clipX0;
    const int64_t clipRight = int64_t(ctx.clipX1) - 1;
    uint64_t covered = 0;
    for (int64_t j = s.row0; j <= s.row1; ++j) {
        const int64_t xMin = std::max(clipLeft, std::max(lower[0].q, lower[1].q));
        const int64_t xMax = std::min(clipRight, std::min(upper[0].q, upper[1].q));
        lower[0].Next();
        lower[1].Next();
        upper[0].Next();
        upper[1].Next();
        if (xMin <= xMax) {
            shade(int32_t(j), int32_t(xMin), int32_t(xMax + 1));
            covered += uint64_t(xMax + 1 - xMin);
        }
    }
    return covered;
}

using PlaneFloat4 = float __attribute__((vector_size(16)));
using PlaneInt4 = int32_t __attribute__((vector_size(16)));

// The plane set-up: bases and per-pixel gradients of the attributes from their values at the
// three snapped vertices, in double so every set-up rounds alike, four attributes per step in
// the compiler's vector types (two SSE2 registers, one AVX register, or scalar code where there
// are none). `load(i, k)` gives vertex i's attributes k .. k + 3; Count is a multiple of four.
// False when a value or a gradient is not finite (the triangle is dropped).
template <int Count, class Load>
[[gnu::always_inline]] inline bool SetUpPlanesFrom(Load load, const PlaneFrame& f, float* base, float* dx, float* dy)
{
    static_assert(Count % 4 == 0, "attributes go in fours");
    using Double4 = double __attribute__((vector_size(32)));
    PlaneInt4 notFinite = {};
    for (int k = 0; k < Count; k += 4) {
        const PlaneFloat4 a0 = load(0, k), a1 = load(1, k), a2 = load(2, k);
        const Double4 d0 = __builtin_convertvector(a0, Double4);
        const Double4 d1 = __builtin_convertvector(a1, Double4) - d0;
        const Double4 d2 = __builtin_convertvector(a2, Double4) - d0;
        const PlaneFloat4 gx = __builtin_convertvector((d1 * f.ey2 - d2 * f.ey1) * f.invArea, PlaneFloat4);
        const PlaneFloat4 gy = __builtin_convertvector((d2 * f.ex1 - d1 * f.ex2) * f.invArea, PlaneFloat4);
        std::memcpy(base + k, &a0, sizeof a0);
        std::memcpy(dx + k, &gx, sizeof gx);
        std::memcpy(dy + k, &gy, sizeof gy);
        // x - x is 0 for a finite x and NaN otherwise, and NaN is unequal to everything.
        notFinite |= ((a0 - a0) + (a1 - a1) + (a2 - a2) + (gx - gx) + (gy - gy)) != 0.0f;
    }
    uint64_t halves[2];
    std::memcpy(halves, &notFinite, sizeof halves);
    return (halves[0] | halves[1]) == 0;
}

// A triangle ready to walk: snapped and culled, its edges and rows, and the planes of its first
// Count attributes (kUntexturedAttrs, or all of them) measured from the snapped positions, so
// interpolation agrees with coverage, with the colours' and depth's fixed-point steps. False
// when it is dropped: culled, no area or row, or a plane not finite (e.g. u / w overflowing
// for an enormous texture coordinate).
template <int Count>
[[gnu::always_inline]] inline bool SetUpTriangle(const PixelContext& ctx, const ScreenVertex& v0, const ScreenVertex& v1,
                                                 const ScreenVertex& v2, uint32_t cullMode, TriangleEdgeSet& edges,
                                                 Planes& planes)
{
    SnappedTriangle t;
    if (!SnapTriangle(v0, v1, v2, cullMode, t) || !SetUpEdges(t, ctx, edges)) {
        return false;
    }
    const PlaneFrame frame = PlaneFrameOf(t);
    planes.refX = float(frame.x0);
    planes.refY = float(frame.y0);
    // Flat shading takes every colour from the first vertex.
    const ScreenVertex* col[3] = {&v0, ctx.flat ? &v0 : t.v[1], ctx.flat ? &v0 : t.v[2]};
    static_assert(kSR == kR + 4 && kZ == kSR + 3 && kInvW == kZ + 1 && kV == kInvW + 2 &&
                      offsetof(ScreenVertex, sr) == offsetof(ScreenVertex, r) + 4 * sizeof(float) &&
                      offsetof(ScreenVertex, sr) + 4 * sizeof(float) <= sizeof(ScreenVertex),
                  "the colours and the speculars load as four floats each, depth in the speculars' fourth");
    const auto load = [&](int i, int k) {
        const ScreenVertex& s = *t.v[i];
        PlaneFloat4 a;
        if (k == kR) {
            std::memcpy(&a, &col[i]->r, sizeof a);
        } else if (k == kSR) {
            std::memcpy(&a, &col[i]->sr, sizeof a);
            a[3] = s.z;
        } else {
            // Untextured pixels never read the coordinates: enormous ones must not drop the triangle.
            float tu = ctx.texels != nullptr ? s.u : 0.0f, tv = ctx.texels != nullptr ? s.v : 0.0f;
            if (ctx.wrapU) {
                WrapToward(v0.u, tu);
            }
            if (ctx.wrapV) {
                WrapToward(v0.v, tv);
            }
            a = ctx.perspective ? PlaneFloat4{s.invW, tu * s.invW, tv * s.invW, 0.0f} : PlaneFloat4{1.0f, tu, tv, 0.0f};
        }
        return a;
    };
    if (!SetUpPlanesFrom<Count>(load, frame, planes.base, planes.dx, planes.dy)) {
        return false;
    }
    // Colour steps in 16.16, clamped and truncated (the gradients are finite here, so the clamp
    // needs no NaN case), four at a time.
    for (int k = kR; k <= kSR; k += 4) {
        PlaneFloat4 step;
        std::memcpy(&step, planes.dx + k, sizeof step);
        step *= 65536.0f;
        step = step < -16777216.0f ? -16777216.0f : step;
        step = step > 16777216.0f ? 16777216.0f : step;
        const PlaneInt4 fixed = __builtin_convertvector(step, PlaneInt4);
        std::memcpy(planes.colorStep + k, &fixed, sizeof fixed);
    }
    planes.colorStep[7] = 0;  // depth is not a colour
    planes.depthStep = int64_t(double(ClampF(planes.dx[kZ], -1.0f, 1.0f)) * kDepthScale);
    return true;
}

// The narrow-triangle strategy's start: the three edge functions at the pixel centre of
// column col0 (the box's first) on row0, their steps per column and per row, and the
// scissor's columns as lanes 0 .. 31. Only for boxes narrower than 32 and lower than 512
// pixels: inside such a box every value fits in 32 bits (|E| < 2^31).
struct NarrowEdges {
    int32_t e0[3], stepX[3], stepY[3];
    int32_t col0;
    uint32_t clipLanes;
};

inline bool IsNarrow(const TriangleEdgeSet& s, int lanes)
{
    return s.maxX - s.minX < lanes * kSubPixelOne && s.maxY - s.minY < 512 * kSubPixelOne;
}

[[gnu::always_inline]] inline NarrowEdges NarrowEdgesOf(const TriangleEdgeSet& s, const PixelContext& ctx)
{
    NarrowEdges n;
    const int64_t col0 = PixelCeil(s.minX);
    for (int i = 0; i < 3; ++i) {
        const Edge& e = s.e[i];
        n.e0[i] = int32_t(e.A * (col0 * kSubPixelOne - e.ax) + e.B * (s.row0 * kSubPixelOne - e.ay) + e.Bias());
        n.stepX[i] = int32_t(e.A * kSubPixelOne);
        n.stepY[i] = int32_t(e.B * kSubPixelOne);
    }
    if (col0 >= ctx.clipX0 && col0 + 32 <= ctx.clipX1) {
        n.clipLanes = ~0u;  // the usual case: the box well inside the scissor
    } else {
        const int64_t lo = std::min<int64_t>(std::max<int64_t>(ctx.clipX0 - col0, 0), 32);
        const int64_t hi = std::min<int64_t>(std::max<int64_t>(ctx.clipX1 - col0, 0), 32);
        n.clipLanes = uint32_t(((uint64_t(1) << hi) - 1) & ~((uint64_t(1) << lo) - 1));
    }
    n.col0 = int32_t(col0);
    return n;
}

}  // namespace

}  // namespace raster::detail
