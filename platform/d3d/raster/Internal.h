// Shared records between the rasterizer's stages. Not part of the device's interface.
#pragma once

#include "platform/d3d/raster/Raster.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace raster::detail {

// Screen coordinates beyond this many pixels from the origin are dropped: it keeps the
// 8-bit sub-pixel edge functions well inside 64-bit range.
constexpr float kMaxScreenCoord = 1048576.0f;  // 2^20
// Smallest w kept by the clipper: nothing at or behind the eye reaches the divide.
constexpr float kMinW = 1e-5f;
constexpr int kSubPixelBits = 8;
constexpr int kSubPixelOne = 1 << kSubPixelBits;

// Clamps a float into [lo, hi]; NaN goes to lo. Use before every float-to-int conversion.
inline float ClampF(float v, float lo, float hi)
{
    if (!(v >= lo)) {
        return lo;
    }
    if (!(v <= hi)) {
        return hi;
    }
    return v;
}

// floor(n / d) for d > 0; 32-bit division when both fit (the usual case, and much cheaper).
inline int64_t FloorDiv(int64_t n, int64_t d)
{
    if (n >= INT32_MIN && n <= INT32_MAX && d <= INT32_MAX) {
        const int32_t n32 = int32_t(n), d32 = int32_t(d);
        int32_t q = n32 / d32;
        if ((n32 % d32) != 0 && n32 < 0) {
            --q;
        }
        return q;
    }
    int64_t q = n / d;
    if ((n % d) != 0 && n < 0) {
        --q;
    }
    return q;
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
    // A bound that never moves.
    void Fixed(int64_t value)
    {
        q = value;
        r = 0;
        D = 1;
        qs = 0;
        rs = 0;
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

// round(v / 255) for v in [0, 255 * 255], exact.
inline uint32_t Div255(uint32_t v)
{
    v += 128;
    return (v + (v >> 8)) >> 8;
}

// 32 bpp with masks FF0000/FF00/FF(/FF000000): the layout the loops read and write as words.
inline bool IsArgb8888(const PixelLayout& l)
{
    return l.bitsPerPixel == 32 && l.rMask == 0x00FF0000u && l.gMask == 0x0000FF00u &&
           l.bMask == 0x000000FFu && (l.aMask == 0 || l.aMask == 0xFF000000u);
}

// Decoded pixel state for one draw call: what every span and pixel needs, resolved once.
struct PixelContext {
    // Colour target.
    uint8_t* colorBase = nullptr;
    int32_t colorPitch = 0;
    PixelLayout colorLayout;
    uint32_t colorBytes = 4;
    // Depth target (null = none).
    uint8_t* depthBase = nullptr;
    int32_t depthPitch = 0;
    // Scissor: viewport rectangle clipped to the targets, [x0, x1) x [y0, y1).
    int32_t clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;

    bool zTest = false;   // ZENABLE with a depth buffer
    bool zWrite = false;  // ZENABLE, ZWRITEENABLE and a depth buffer
    uint32_t zFunc = kCmpLessEqual;
    bool alphaTest = false;
    uint32_t alphaFunc = kCmpAlways;
    uint32_t alphaRef = 0;
    bool blend = false;
    uint32_t srcBlend = kBlendOne, destBlend = kBlendZero;
    bool specular = true;
    bool flat = false;
    bool perspective = false;

    // Texture (null texels = untextured).
    const uint8_t* texels = nullptr;
    int32_t texPitch = 0;
    int32_t texWidth = 0, texHeight = 0;
    PixelLayout texLayout;
    uint32_t texBytes = 4;
    bool texHasAlpha = false;
    bool texIsArgb8888 = false;  // read without unpacking
    uint32_t texBlend = kTBlendModulate;
    bool magLinear = false, minLinear = false;
    uint32_t addressU = kAddressWrap, addressV = kAddressWrap;
    uint32_t borderColor = 0;
    bool wrapU = false, wrapV = false;  // interpolate the short way round a cylinder

    uint64_t* fragments = nullptr;
};

// Attribute slots of the interpolated planes, in groups of four as the set-up works them out:
// colour, then specular and depth (all an untextured triangle needs), then the texture's.
enum Attr : int { kR = 0, kG, kB, kA, kSR, kSG, kSB, kZ, kInvW, kU, kV, kAttrCount };
constexpr int kUntexturedAttrs = kInvW;

// One triangle ready for scan conversion: attribute planes value(x, y) = base + dx (x - refX) +
// dy (y - refY), in pixel-centre coordinates. U, V hold u/w, v/w when perspective is on.
// Set up by SetUpTriangle, which leaves the texture's slots of an untextured triangle unset.
struct Planes {
    float refX, refY;
    // One spare slot so the texture's attributes are a group of four too.
    float base[kAttrCount + 1];
    float dx[kAttrCount + 1];
    float dy[kAttrCount + 1];
    // Per-pixel x steps of the colours (16.16; the eighth stays zero) and depth (x 65535, 16.16),
    // fixed per triangle.
    int32_t colorStep[8];
    int64_t depthStep;

    float At(int attr, float x, float y) const
    {
        return base[attr] + dx[attr] * (x - refX) + dy[attr] * (y - refY);
    }
};

// A span function shades pixels [x0, x1) of row y.
using SpanFn = void (*)(const PixelContext&, const Planes&, int32_t y, int32_t x0, int32_t x1);

// With WRAPU / WRAPV, moves each coordinate by whole turns to within half a turn of `ref`'s,
// so interpolation takes the short way round.
inline void WrapToward(float ref, float& value)
{
    const float d = value - ref;
    value -= std::floor(d + 0.5f);
}

// Stage entry points.
// Vertex stage: every vertex of a call transformed into clip space (clip matrix folded in) with
// its attributes, its clip code (ClipCode's bits, or one of the two below) and, where the code is
// 0, its mapped screen vertex. `path` picks the instruction set as it does for the span loops;
// every path gives the same bits, SpanPath::Generic is the plain per-vertex code.
constexpr uint32_t kNotFinite = 1u << 30;  // a coordinate is NaN or infinite: drop its primitives
constexpr uint32_t kNotMapped = 1u << 31;  // inside, but the divide or the mapping went out of range
void MapVertices(const void* in, uint32_t count, const float wvp[16], const Viewport& vp, SpanPath path,
                 ClipVertex* clip, ScreenVertex* screen, uint32_t* codes);
// What the batched vertex loops share: the matrix, the clip matrix's scales and offsets, the
// viewport's origin and size as floats.
struct VertexConstants {
    float m[16];
    float sx, sy, sz, ox, oy, oz;
    float originX, originY, width, height;
};
// Triangles are clipped only against the near and far planes, w > 0 and a guard band this many
// pixels wide around the viewport; the scissor takes off the rest. So a triangle reaching
// a little past the viewport covers exactly the pixels it would cover unclipped.
constexpr float kGuardBandPixels = 4096.0f;
// The guard band's x and y planes as multiples of w in clip space (|x| <= guard.x w).
struct GuardBand {
    float x = 1.0f, y = 1.0f;
};
inline GuardBand GuardBandOf(const Viewport& vp)
{
    return GuardBand{1.0f + 2.0f * kGuardBandPixels / float(vp.width),
                     1.0f + 2.0f * kGuardBandPixels / float(vp.height)};
}
// Clips a convex polygon against the guard band, near, far and w > 0. `poly` must hold room
// for n + 7 vertices; returns the new vertex count (0 when nothing is left).
int ClipPolygon(ClipVertex* poly, int n, ClipVertex* tmp, GuardBand guard);
// Clips a segment; false when nothing is left.
bool ClipSegment(ClipVertex& a, ClipVertex& b);
// Divides and maps to the viewport; false when the result is not finite or out of range.
// Inline: it runs once per vertex.
inline bool MapToScreen(const ClipVertex& c, const Viewport& vp, ScreenVertex& out)
{
    const float invW = 1.0f / c.w;
    const float xn = c.x * invW;
    const float yn = c.y * invW;
    out.x = float(vp.x) + (xn + 1.0f) * 0.5f * float(vp.width);
    out.y = float(vp.y) + (1.0f - yn) * 0.5f * float(vp.height);
    out.z = ClampF(c.z * invW, 0.0f, 1.0f);
    out.invW = invW;
    out.r = c.r;
    out.g = c.g;
    out.b = c.b;
    out.a = c.a;
    out.sr = c.sr;
    out.sg = c.sg;
    out.sb = c.sb;
    out.u = c.u;
    out.v = c.v;
    return std::isfinite(invW) && invW > 0.0f && std::fabs(out.x) < kMaxScreenCoord &&
           std::fabs(out.y) < kMaxScreenCoord;
}
// Bit p set when the vertex is outside clip plane p (-x, +x, -y, +y, near, far, w > 0 in the
// clipper's order) or the distance is NaN.
constexpr uint32_t kOutsideViewport = 0xFu;
inline uint32_t ClipCode(const ClipVertex& c)
{
    return uint32_t(!(c.w + c.x >= 0.0f)) | uint32_t(!(c.w - c.x >= 0.0f)) << 1 |
           uint32_t(!(c.w + c.y >= 0.0f)) << 2 | uint32_t(!(c.w - c.y >= 0.0f)) << 3 |
           uint32_t(!(c.z >= 0.0f)) << 4 | uint32_t(!(c.w - c.z >= 0.0f)) << 5 |
           uint32_t(!(c.w - kMinW >= 0.0f)) << 6;
}
// Whether the vertex lies inside the guard band's x and y planes.
inline bool InsideGuardBand(const ClipVertex& c, GuardBand g)
{
    return g.x * c.w + c.x >= 0.0f && g.x * c.w - c.x >= 0.0f && g.y * c.w + c.y >= 0.0f &&
           g.y * c.w - c.y >= 0.0f;
}

// Pixel stage.
bool BuildPixelContext(const ColorTarget& target, const DepthTarget& depth, const Viewport& vp,
                       const States& states, const Scissor& scissor, PixelContext& ctx);
SpanFn SelectSpan(const PixelContext& ctx, SpanPath path);
// Shades one fragment with the generic path (lines and points use it).
void ShadePixel(const PixelContext& ctx, int32_t x, int32_t y, float z, float invW, float u,
                float v, const float color[4], const float specular[3]);

// Triangle stage: setup and scan conversion of one screen triangle; false when dropped.
bool DrawTriangle(const PixelContext& ctx, SpanFn span, const ScreenVertex& v0,
                  const ScreenVertex& v1, const ScreenVertex& v2, uint32_t cullMode);
// A whole-triangle function of DrawTriangle's form: DrawTriangle itself, or a loop fusing set-up,
// rows and spans for one set of states (which may ignore `span`).
using TriangleFn = bool (*)(const PixelContext& ctx, SpanFn span, const ScreenVertex& v0,
                            const ScreenVertex& v1, const ScreenVertex& v2, uint32_t cullMode);
// DrawTriangle, or the fused loop `path` allows for the draw call's states.
TriangleFn SelectTriangle(const PixelContext& ctx, SpanPath path);
// Line and point stage.
// With flat shading a line takes its colours from `a`.
void DrawLine(const PixelContext& ctx, const ScreenVertex& a, const ScreenVertex& b);
void DrawPoint(const PixelContext& ctx, const ScreenVertex& p);

}  // namespace raster::detail
