// Per-pixel arithmetic shared by the generic and the specialised span loops, so both give the
// very same pixels: span interpolation, texel addressing and filtering, compares, blending.
#pragma once

#include "platform/d3d/raster/Internal.h"

#include <algorithm>

namespace raster::detail {

// Texel coordinates are clamped to this many texels before conversion to fixed point.
constexpr float kMaxTexelCoord = 4194304.0f;  // 2^22
constexpr float kMinInvW = 1e-30f;

inline int32_t FloorToInt(float v)  // v must be finite and within int32 range
{
    const int32_t t = static_cast<int32_t>(v);
    return t - (float(t) > v ? 1 : 0);
}

// The interpolants of one span: colours and depth in 16.16 fixed point stepped linearly between
// the clamped end values (so they never leave their range), texture coordinates in float.
struct SpanInterp {
    int32_t c[7];   // r g b a sr sg sb, 0..255 in 16.16
    int32_t dc[7];
    int64_t z;      // depth x 65535 in 16.16
    int64_t dz;
    float u, v, w;  // u, v (or u/w, v/w, 1/w with perspective)
    float du, dv, dw;
};

inline void InitSpan(const Planes& p, int32_t y, int32_t x0, int32_t x1, SpanInterp& s)
{
    const float fy = float(y);
    const float fx0 = float(x0);
    const float fx1 = float(x1 - 1);
    const int32_t n = x1 - x0;
    for (int k = 0; k < 7; ++k) {
        const int attr = kR + k;
        const int32_t a = int32_t(ClampF(p.At(attr, fx0, fy), 0.0f, 255.0f) * 65536.0f);
        const int32_t b = int32_t(ClampF(p.At(attr, fx1, fy), 0.0f, 255.0f) * 65536.0f);
        s.c[k] = a;
        s.dc[k] = n > 1 ? (b - a) / (n - 1) : 0;
    }
    const int64_t za = int64_t(double(ClampF(p.At(kZ, fx0, fy), 0.0f, 1.0f)) * 65535.0 * 65536.0);
    const int64_t zb = int64_t(double(ClampF(p.At(kZ, fx1, fy), 0.0f, 1.0f)) * 65535.0 * 65536.0);
    s.z = za;
    s.dz = n > 1 ? (zb - za) / (n - 1) : 0;
    s.u = p.At(kU, fx0, fy);
    s.v = p.At(kV, fx0, fy);
    s.w = p.At(kInvW, fx0, fy);
    s.du = p.dx[kU];
    s.dv = p.dx[kV];
    s.dw = p.dx[kInvW];
}

inline void StepSpan(SpanInterp& s)
{
    for (int k = 0; k < 7; ++k) {
        s.c[k] += s.dc[k];
    }
    s.z += s.dz;
    s.u += s.du;
    s.v += s.dv;
    s.w += s.dw;
}

inline uint32_t DepthOf(int64_t z) { return uint32_t((z + 32768) >> 16); }

// Texture coordinates of the current pixel, divided by the interpolated 1/w when perspective
// correction is on.
inline void TexCoords(const SpanInterp& s, bool perspective, float& u, float& v)
{
    if (perspective) {
        const float w = s.w > kMinInvW ? s.w : kMinInvW;
        const float r = 1.0f / w;
        u = s.u * r;
        v = s.v * r;
    } else {
        u = s.u;
        v = s.v;
    }
}

// Texel coordinate in 24.8 fixed point: texel centres at (i + 0.5) / size.
inline int32_t TexelFixed(float coord, int32_t size)
{
    const float t = ClampF(coord * float(size) - 0.5f, -kMaxTexelCoord, kMaxTexelCoord);
    return FloorToInt(t * 256.0f);
}

// Resolves a texel index under an addressing mode; -1 = border colour.
inline int32_t AddressTexel(int32_t i, int32_t n, uint32_t mode)
{
    switch (mode) {
    case kAddressMirror: {
        const int32_t period = 2 * n;
        int32_t m = i % period;
        if (m < 0) {
            m += period;
        }
        return m < n ? m : period - 1 - m;
    }
    case kAddressClamp:
        return i < 0 ? 0 : (i >= n ? n - 1 : i);
    case kAddressBorder:
        return (i < 0 || i >= n) ? -1 : i;
    default: {  // wrap
        int32_t m = i % n;
        return m < 0 ? m + n : m;
    }
    }
}

inline uint32_t FetchTexel(const PixelContext& ctx, int32_t ix, int32_t iy)
{
    const int32_t x = AddressTexel(ix, ctx.texWidth, ctx.addressU);
    const int32_t y = AddressTexel(iy, ctx.texHeight, ctx.addressV);
    if (x < 0 || y < 0) {
        return ctx.borderColor;
    }
    const uint8_t* p = ctx.texels + ptrdiff_t(y) * ctx.texPitch + ptrdiff_t(x) * ctx.texBytes;
    if (ctx.texIsArgb8888) {
        const uint32_t raw = LoadPixel(p, 32);
        return ctx.texHasAlpha ? raw : (raw | 0xFF000000u);
    }
    return UnpackColor(ctx.texLayout, LoadPixel(p, ctx.texLayout.bitsPerPixel));
}

// 0xAARRGGBB spread to four 16-bit lanes 0x00AA00RR00GG00BB, for two-at-a-time lerps.
inline uint64_t Spread(uint32_t c)
{
    uint64_t x = c;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    return x;
}

inline uint32_t Gather(uint64_t x)
{
    x &= 0x00FF00FF00FF00FFull;
    x = (x | (x >> 8)) & 0x0000FFFF0000FFFFull;
    x = (x | (x >> 16)) & 0x00000000FFFFFFFFull;
    return uint32_t(x);
}

// (a (256 - f) + b f) >> 8 in every lane.
inline uint64_t LerpLanes(uint64_t a, uint64_t b, uint32_t f)
{
    return ((a * (256u - f) + b * f) >> 8) & 0x00FF00FF00FF00FFull;
}

inline uint32_t Bilinear(uint32_t t00, uint32_t t10, uint32_t t01, uint32_t t11, uint32_t fx,
                         uint32_t fy)
{
    const uint64_t top = LerpLanes(Spread(t00), Spread(t10), fx);
    const uint64_t bottom = LerpLanes(Spread(t01), Spread(t11), fx);
    return Gather(LerpLanes(top, bottom, fy));
}

inline uint32_t SampleTexture(const PixelContext& ctx, float u, float v, bool linear)
{
    const int32_t s = TexelFixed(u, ctx.texWidth);
    const int32_t t = TexelFixed(v, ctx.texHeight);
    if (!linear) {
        return FetchTexel(ctx, (s + 128) >> 8, (t + 128) >> 8);
    }
    const int32_t i = s >> 8;
    const int32_t j = t >> 8;
    return Bilinear(FetchTexel(ctx, i, j), FetchTexel(ctx, i + 1, j), FetchTexel(ctx, i, j + 1),
                    FetchTexel(ctx, i + 1, j + 1), uint32_t(s & 255), uint32_t(t & 255));
}

inline bool Compare(uint32_t func, uint32_t a, uint32_t b)
{
    switch (func) {
    case kCmpNever: return false;
    case kCmpLess: return a < b;
    case kCmpEqual: return a == b;
    case kCmpLessEqual: return a <= b;
    case kCmpGreater: return a > b;
    case kCmpNotEqual: return a != b;
    case kCmpGreaterEqual: return a >= b;
    default: return true;
    }
}

}  // namespace raster::detail
