// Primitive assembly: lists, strips and fans into points, segments and triangles; clipping
// where a primitive leaves the clip volume; fill modes; the DrawLVertices entry point.
#include "platform/d3d/raster/Internal.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace raster {

namespace {

using namespace detail;

struct Assembler {
    const PixelContext& ctx;
    SpanFn span;
    TriangleFn tri;
    const Viewport& vp;
    GuardBand guard;
    uint32_t cullMode;
    uint32_t fillMode;
    const ClipVertex* clip;
    const ScreenVertex* screen;
    const uint32_t* codes;

    void Point(uint32_t i) const
    {
        if (codes[i] == 0) {
            DrawPoint(ctx, screen[i]);
        }
    }

    void Segment(uint32_t i0, uint32_t i1) const
    {
        if (((codes[i0] | codes[i1]) & kNotFinite) != 0 || (codes[i0] & codes[i1]) != 0) {
            return;
        }
        if ((codes[i0] | codes[i1]) == 0 && !ctx.wrapU && !ctx.wrapV) {
            DrawLine(ctx, screen[i0], screen[i1]);
            return;
        }
        ClipVertex a = clip[i0], b = clip[i1];
        FollowFirst(a, b);
        if (!ClipSegment(a, b)) {
            return;
        }
        ScreenVertex sa, sb;
        if (MapToScreen(a, vp, sa) && MapToScreen(b, vp, sb)) {
            DrawLine(ctx, sa, sb);
        }
    }

    void Triangle(uint32_t i0, uint32_t i1, uint32_t i2) const
    {
        const uint32_t c0 = codes[i0], c1 = codes[i1], c2 = codes[i2];
        if (((c0 | c1 | c2) & kNotFinite) != 0 || (c0 & c1 & c2) != 0) {
            return;  // not finite, or wholly outside one plane
        }
        if (fillMode == kFillPoint) {
            Point(i0);
            Point(i1);
            Point(i2);
            return;
        }
        if (fillMode == kFillWireframe) {
            if ((c0 | c1 | c2) == 0 && Culled(screen[i0], screen[i1], screen[i2])) {
                return;
            }
            Segment(i0, i1);
            Segment(i1, i2);
            Segment(i2, i0);
            return;
        }
        if ((c0 | c1 | c2) == 0) {
            tri(ctx, span, screen[i0], screen[i1], screen[i2], cullMode);
            return;
        }
        ClipVertex poly[10];
        ClipVertex tmp[10];
        poly[0] = clip[i0];
        poly[1] = clip[i1];
        poly[2] = clip[i2];
        int n = 3;
        // Clipped only where it leaves the guard band or the depth range: past the viewport's
        // sides the scissor does the rest, exactly.
        if (((c0 | c1 | c2) & ~kOutsideViewport) != 0 || !InsideGuardBand(clip[i0], guard) ||
            !InsideGuardBand(clip[i1], guard) || !InsideGuardBand(clip[i2], guard)) {
            FollowFirst(poly[0], poly[1]);
            FollowFirst(poly[0], poly[2]);
            n = ClipPolygon(poly, 3, tmp, guard);
        }
        ScreenVertex s[10];
        for (int k = 0; k < n; ++k) {
            if (!MapToScreen(poly[k], vp, s[k])) {
                return;
            }
        }
        for (int k = 1; k + 1 < n; ++k) {
            tri(ctx, span, s[0], s[k], s[k + 1], cullMode);
        }
    }

    // Before clipping interpolates them: with flat shading the first vertex's colours go to the
    // other vertices, so every vertex the clipper makes carries them too, and with WRAPU / WRAPV
    // the other vertices' coordinates move to within half a turn of the first's.
    void FollowFirst(const ClipVertex& first, ClipVertex& v) const
    {
        if (ctx.flat) {
            v.r = first.r; v.g = first.g; v.b = first.b; v.a = first.a;
            v.sr = first.sr; v.sg = first.sg; v.sb = first.sb;
        }
        if (ctx.wrapU) {
            WrapToward(first.u, v.u);
        }
        if (ctx.wrapV) {
            WrapToward(first.v, v.v);
        }
    }

    bool Culled(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) const
    {
        const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        return (cullMode == kCullCW && area > 0.0f) || (cullMode == kCullCCW && area < 0.0f);
    }
};

}  // namespace

bool DrawLVertices(const ColorTarget& target, const DepthTarget& depth, const Viewport& viewport,
                   const States& states, const float worldViewProjection[16],
                   uint32_t primitiveType, const void* vertices, uint32_t count, Scratch& scratch,
                   const Scissor& scissor)
{
    scratch.top = -std::numeric_limits<float>::infinity();
    scratch.bottom = std::numeric_limits<float>::infinity();
    if (primitiveType < kPrimPointList || primitiveType > kPrimTriangleFan) {
        return false;
    }
    if (vertices == nullptr || count == 0 || worldViewProjection == nullptr) {
        return true;
    }
    PixelContext ctx;
    if (!BuildPixelContext(target, depth, viewport, states, scissor, ctx)) {
        return true;
    }
    ctx.fragments = &scratch.fragments;
    const SpanFn span = SelectSpan(ctx, scratch.spanPath);
    const TriangleFn tri = SelectTriangle(ctx, scratch.spanPath);

    // Grows only: a steady frame reuses the same buffers. A call too large to buffer draws
    // nothing rather than throwing through the device.
    if (scratch.clip.size() < count || scratch.screen.size() < count || scratch.codes.size() < count) {
        try {
            scratch.clip.resize(count);
            scratch.screen.resize(count);
            scratch.codes.resize(count);
        } catch (const std::exception&) {
            return true;
        }
    }
    const GuardBand guard = GuardBandOf(viewport);
    ClipVertex* clip = scratch.clip.data();
    ScreenVertex* screen = scratch.screen.data();
    uint32_t* codes = scratch.codes.data();
    MapVertices(vertices, count, worldViewProjection, viewport, scratch.spanPath, clip, screen, codes);
    // The screen rows the call's vertices reach, so a band drawing it later can skip it.
    float top = std::numeric_limits<float>::infinity(), bottom = -top;
    bool bounded = scratch.measureRows;
    for (uint32_t v = 0; v < count && bounded; ++v) {
        if (codes[v] != 0 || !(screen[v].y > -1e9f && screen[v].y < 1e9f)) {
            bounded = false;
        } else {
            top = std::min(top, screen[v].y);
            bottom = std::max(bottom, screen[v].y);
        }
    }
    if (bounded) {
        scratch.top = top;
        scratch.bottom = bottom;
    }

    const uint32_t cull = ValidOr(states.cullMode, kCullNone, kCullCCW, kCullCCW);
    const uint32_t fill = ValidOr(states.fillMode, kFillPoint, kFillSolid, kFillSolid);
    const Assembler as{ctx, span, tri, viewport, guard, cull, fill, clip, screen, codes};
    switch (primitiveType) {
    case kPrimPointList:
        for (uint32_t i = 0; i < count; ++i) as.Point(i);
        break;
    case kPrimLineList:
        for (uint32_t i = 0; i + 1 < count; i += 2) as.Segment(i, i + 1);
        break;
    case kPrimLineStrip:
        for (uint32_t i = 0; i + 1 < count; ++i) as.Segment(i, i + 1);
        break;
    case kPrimTriangleList:
        for (uint32_t i = 0; i + 2 < count; i += 3) as.Triangle(i, i + 1, i + 2);
        break;
    case kPrimTriangleStrip:
        // Every other triangle is reversed to keep one winding; the first vertex stays first.
        for (uint32_t i = 0; i + 2 < count; ++i) {
            if (i & 1) {
                as.Triangle(i, i + 2, i + 1);
            } else {
                as.Triangle(i, i + 1, i + 2);
            }
        }
        break;
    default:  // fan
        for (uint32_t i = 1; i + 1 < count; ++i) as.Triangle(0, i, i + 1);
        break;
    }
    return true;
}

}  // namespace raster
