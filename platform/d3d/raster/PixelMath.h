// Per-pixel arithmetic shared by the generic and the specialised span loops, so both give the
// very same pixels: span interpolation, texel addressing and filtering, compares, blending.
#pragma once

#include "platform/d3d/raster/Internal.h"

#include <algorithm>

namespace raster::detail {

// Texel coordinates are clamped to this many texels before conversion to fixed point.
constexpr float kMaxTexelCoord = 4194304.0f;  // 2^22
constexpr float kMinInvW = 1e-30f;

// Depth x 65535 in 16.16 at depth 1, and the largest colour in 16.16.
constexpr double kDepthScale = 65535.0 * 65536.0;
constexpr int64_t kColorMax = 255 * 65536 + 0xFFFF;

// The interpolants of one span: colours in 16.16 fixed point, depth in 32.16 (x 65535), never
// leaving their range; texture coordinates come from TexWalker.
struct SpanInterp {
    int32_t c[7];   // r g b a sr sg sb, 0..255 in 16.16
    int32_t dc[7];
    int64_t z;      // depth x 65535 in 16.16
    int64_t dz;
};

// The span's colours and depth at (x0, y), clamped to their range (NaN to its low end) and in
// fixed point, with the triangle's steps; the steps keep every pixel in range unless the span's
// ends were clamped, and then it steps between the clamped ends instead.
inline void InitSpan(const Planes& p, int32_t y, int32_t x0, int32_t x1, SpanInterp& s)
{
    const int32_t n = x1 - x0;
    const auto colorAt = [&](int k, int32_t x) {
        return int32_t(ClampF(p.At(kR + k, float(x), float(y)), 0.0f, 255.0f) * 65536.0f);
    };
    const auto depthAt = [&](int32_t x) {
        return int64_t(double(ClampF(p.At(kZ, float(x), float(y)), 0.0f, 1.0f)) * kDepthScale);
    };
    const auto stepFrom = [&](int64_t start, int64_t step, int64_t max, auto end) {
        const int64_t last = start + step * (n - 1);
        return n > 1 && (last < 0 || last > max) ? (end() - start) / (n - 1) : step;
    };
    for (int k = 0; k < 7; ++k) {
        s.c[k] = colorAt(k, x0);
        s.dc[k] = int32_t(stepFrom(s.c[k], p.colorStep[k], kColorMax, [&] { return colorAt(k, x1 - 1); }));
    }
    s.z = depthAt(x0);
    s.dz = stepFrom(s.z, p.depthStep, int64_t(kDepthScale), [&] { return depthAt(x1 - 1); });
}

// Work a textured MODULATE span may leave out: multiplying by a constant white vertex colour
// (255 t / 255 = t; its alpha only counts when the texture has none) and adding a zero specular.
struct ModulateWork {
    bool modulate = true;
    bool addSpecular = true;
};

inline ModulateWork ModulateWorkOf(const SpanInterp& s, bool texHasAlpha, bool specular)
{
    auto channel = [&](int k) { return uint32_t(s.c[k]) >> 16; };
    const bool constantColor = s.dc[0] == 0 && s.dc[1] == 0 && s.dc[2] == 0 && s.dc[3] == 0;
    ModulateWork work;
    work.modulate = !(constantColor && channel(0) == 255 && channel(1) == 255 && channel(2) == 255 &&
                      (texHasAlpha || channel(3) == 255));
    work.addSpecular = specular && !(channel(4) == 0 && channel(5) == 0 && channel(6) == 0 &&
                                     s.dc[4] == 0 && s.dc[5] == 0 && s.dc[6] == 0);
    return work;
}

inline void StepColors(SpanInterp& s)
{
    for (int k = 0; k < 7; ++k) {
        s.c[k] += s.dc[k];
    }
    s.z += s.dz;
}

inline uint32_t DepthOf(int64_t z) { return uint32_t((z + 32768) >> 16); }

// Texel coordinate in fixed point with 24 fraction bits: texel centres at (i + 0.5) / size.
inline int64_t TexelFixed24(float coord, int32_t size)
{
    const float t = ClampF(coord * float(size) - 0.5f, -kMaxTexelCoord, kMaxTexelCoord);
    return int64_t(t * 16777216.0f);  // exact power-of-two scaling, |t| <= 2^22
}

// Perspective correction: u / w and v / w, as products with 1 / w, w kept above kMinInvW.
inline void DivideByW(float w, float& u, float& v)
{
    const float r = 1.0f / (w > kMinInvW ? w : kMinInvW);
    u *= r;
    v *= r;
}

// Texel coordinates along a span: exact (perspective-divided when on) every kSegment pixels and
// at the span's end, stepped linearly in between (the error inside a segment is far below a
// texel for the program's surfaces, and nil along rows of constant depth). The span loops step
// the segments themselves; this holds the span's planes and the exact coordinates.
struct TexWalker {
    static constexpr int32_t kSegment = 8;

    float u0 = 0, v0 = 0, w0 = 1, du = 0, dv = 0, dw = 0;
    bool perspective = false;
    int32_t width = 1, height = 1;
    int32_t n = 0;  // pixels in the span

    // The exact coordinates at pixel i of the span, 24 fraction bits.
    void Exact(int32_t i, int64_t& os, int64_t& ot) const
    {
        const float fi = float(i);
        float u = u0 + fi * du;
        float v = v0 + fi * dv;
        if (perspective) {
            DivideByW(w0 + fi * dw, u, v);
        }
        os = TexelFixed24(u, width);
        ot = TexelFixed24(v, height);
    }

    void Setup(const Planes& p, const PixelContext& ctx, int32_t y, int32_t x0, int32_t x1)
    {
        const float fy = float(y), fx = float(x0);
        u0 = p.At(kU, fx, fy);
        v0 = p.At(kV, fx, fy);
        w0 = p.At(kInvW, fx, fy);
        du = p.dx[kU];
        dv = p.dx[kV];
        dw = p.dx[kInvW];
        perspective = ctx.perspective;
        width = ctx.texWidth;
        height = ctx.texHeight;
        n = x1 - x0;
    }
};

// i modulo n in [0, n), for negative i too.
inline int32_t WrapIndex(int32_t i, int32_t n)
{
    const int32_t m = i % n;
    return m < 0 ? m + n : m;
}

// Resolves a texel index under an addressing mode; -1 = border colour.
inline int32_t AddressTexel(int32_t i, int32_t n, uint32_t mode)
{
    switch (mode) {
    case kAddressMirror: {
        const int32_t m = WrapIndex(i, 2 * n);
        return m < n ? m : 2 * n - 1 - m;
    }
    case kAddressClamp:
        return i < 0 ? 0 : (i >= n ? n - 1 : i);
    case kAddressBorder:
        return (i < 0 || i >= n) ? -1 : i;
    default:
        return WrapIndex(i, n);
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

// Samples at texel coordinates in 24.8 fixed point.
inline uint32_t SampleTexture(const PixelContext& ctx, int32_t s, int32_t t, bool linear)
{
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
