// Shared records between the rasterizer's stages. Not part of the device's interface.
#pragma once

#include "platform/d3d/raster/Raster.h"

#include <cmath>
#include <cstdint>

namespace raster::detail {

// Screen coordinates beyond this many pixels from the origin are dropped: it keeps the
// 8-bit sub-pixel edge functions well inside 64-bit range.
constexpr float kMaxScreenCoord = 1048576.0f;  // 2^20
// Smallest w kept by the clipper: nothing at or behind the eye reaches the divide.
constexpr float kMinW = 1e-5f;

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

// A state's value when it is one of [first, last], else the state's fallback.
inline uint32_t ValidOr(uint32_t value, uint32_t first, uint32_t last, uint32_t fallback)
{
    return (value >= first && value <= last) ? value : fallback;
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
// The generic span: any state, any pixel format; the oracle every specialised loop agrees with.
void GenericSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1);
// The textured span loop `path` allows for the states, else GenericSpan.
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
