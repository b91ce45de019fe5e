// Line and point stage: one-pixel points, DDA lines with both end pixels drawn.
#include "platform/d3d/raster/PixelMath.h"

namespace raster::detail {

namespace {

// The nearest pixel centre, halves rounding up: floor(v + 0.5) without a library call.
inline int32_t RoundToPixel(float v)
{
    const float t = ClampF(v, -kMaxScreenCoord, kMaxScreenCoord) + 0.5f;
    const int32_t i = int32_t(t);
    return i - (float(i) > t ? 1 : 0);
}

inline void Shade(const PixelContext& ctx, int32_t x, int32_t y, const ScreenVertex& a,
                  const ScreenVertex& b, float t)
{
    auto mix = [t](float p, float q) { return p + (q - p) * t; };
    const ScreenVertex& cb = ctx.flat ? a : b;  // flat: the first vertex's colours all along
    const float color[4] = {mix(a.r, cb.r), mix(a.g, cb.g), mix(a.b, cb.b), mix(a.a, cb.a)};
    const float specularMix[3] = {mix(a.sr, cb.sr), mix(a.sg, cb.sg), mix(a.sb, cb.sb)};
    // With perspective the coordinates go as u / w and v / w, like a triangle's planes.
    const float wa = ctx.perspective ? a.invW : 1.0f, wb = ctx.perspective ? b.invW : 1.0f;
    ShadePixel(ctx, x, y, mix(a.z, b.z), mix(a.invW, b.invW), mix(a.u * wa, b.u * wb), mix(a.v * wa, b.v * wb),
               color, specularMix);
}

}  // namespace

void DrawPoint(const PixelContext& ctx, const ScreenVertex& p)
{
    Shade(ctx, RoundToPixel(p.x), RoundToPixel(p.y), p, p, 0.0f);
}

void DrawLine(const PixelContext& ctx, const ScreenVertex& a, const ScreenVertex& b)
{
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float m0 = xMajor ? a.x : a.y;
    const float m1 = xMajor ? b.x : b.y;
    const float n0 = xMajor ? a.y : a.x;
    const float n1 = xMajor ? b.y : b.x;
    const int32_t first = RoundToPixel(m0);
    const int32_t last = RoundToPixel(m1);
    if (first == last) {
        DrawPoint(ctx, a);
        return;
    }
    // Only the part of the major axis inside the scissor, in either direction: each step is
    // a pixel of its own, so the order they are drawn in does not matter.
    const int32_t from = std::max(std::min(first, last), xMajor ? ctx.clipX0 : ctx.clipY0);
    const int32_t to = std::min(std::max(first, last), (xMajor ? ctx.clipX1 : ctx.clipY1) - 1);
    const float span = m1 - m0;
    for (int32_t m = from; m <= to; ++m) {
        const float t = ClampF((float(m) - m0) / span, 0.0f, 1.0f);
        const int32_t n = RoundToPixel(n0 + (n1 - n0) * t);
        if (xMajor) {
            Shade(ctx, m, n, a, b, t);
        } else {
            Shade(ctx, n, m, a, b, t);
        }
    }
}

}  // namespace raster::detail
