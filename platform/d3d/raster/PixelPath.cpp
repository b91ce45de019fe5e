// Per-pixel stage, generic form: texture, texture blend, specular, alpha test, depth test,
// alpha blend and write-out for any state and any pixel format.
#include "platform/d3d/raster/PixelMath.h"

#include <cstring>

namespace raster::detail {

namespace {

// Pixels there, and rows that hold `width` pixels of `bytes` each.
bool UsableRows(const void* pixels, int32_t pitch, int32_t width, int32_t height, uint32_t bytes)
{
    return pixels != nullptr && width > 0 && height > 0 && int64_t(pitch) >= int64_t(width) * bytes;
}

// The same, in a layout the rasterizer reads and writes.
bool UsableImage(const uint8_t* pixels, int32_t pitch, int32_t width, int32_t height, const PixelLayout& layout)
{
    return IsSupportedLayout(layout) && UsableRows(pixels, pitch, width, height, layout.bitsPerPixel / 8);
}

bool IsLinear(uint32_t filter)
{
    // No mipmaps here: the MIP variants keep their base filter.
    return filter == kFilterLinear || filter == kFilterLinearMipNearest ||
           filter == kFilterLinearMipLinear;
}

// Blend factors per channel (0..255) for one factor name.
inline void BlendFactor(uint32_t factor, const uint32_t src[4], const uint32_t dst[4],
                        uint32_t out[4])
{
    switch (factor) {
    case kBlendZero:
        out[0] = out[1] = out[2] = out[3] = 0;
        break;
    case kBlendSrcColor:
        for (int i = 0; i < 4; ++i) out[i] = src[i];
        break;
    case kBlendInvSrcColor:
        for (int i = 0; i < 4; ++i) out[i] = 255 - src[i];
        break;
    case kBlendSrcAlpha:
    case kBlendBothSrcAlpha:  // as a destination factor
        out[0] = out[1] = out[2] = out[3] = src[3];
        break;
    case kBlendInvSrcAlpha:
    case kBlendBothInvSrcAlpha:
        out[0] = out[1] = out[2] = out[3] = 255 - src[3];
        break;
    case kBlendDestAlpha:
        out[0] = out[1] = out[2] = out[3] = dst[3];
        break;
    case kBlendInvDestAlpha:
        out[0] = out[1] = out[2] = out[3] = 255 - dst[3];
        break;
    case kBlendDestColor:
        for (int i = 0; i < 4; ++i) out[i] = dst[i];
        break;
    case kBlendInvDestColor:
        for (int i = 0; i < 4; ++i) out[i] = 255 - dst[i];
        break;
    case kBlendSrcAlphaSat: {
        const uint32_t f = std::min(src[3], 255 - dst[3]);
        out[0] = out[1] = out[2] = f;
        out[3] = 255;
        break;
    }
    default:  // ONE
        out[0] = out[1] = out[2] = out[3] = 255;
        break;
    }
}

// Colour after the texture blend (channels r g b a, 0..255).
inline void TextureBlend(const PixelContext& ctx, uint32_t tex, uint32_t c[4])
{
    const uint32_t t[4] = {(tex >> 16) & 255, (tex >> 8) & 255, tex & 255, tex >> 24};
    switch (ctx.texBlend) {
    case kTBlendDecal:
    case kTBlendCopy:
        for (int i = 0; i < 4; ++i) c[i] = t[i];
        break;
    case kTBlendDecalAlpha:
        for (int i = 0; i < 3; ++i) c[i] = Div255(c[i] * (255 - t[3]) + t[i] * t[3]);
        break;
    case kTBlendModulateAlpha:
        for (int i = 0; i < 4; ++i) c[i] = Div255(c[i] * t[i]);
        break;
    case kTBlendDecalMask:
        if (t[3] & 1) {
            for (int i = 0; i < 3; ++i) c[i] = t[i];
        }
        break;
    case kTBlendModulateMask:
        if (t[3] & 1) {
            for (int i = 0; i < 3; ++i) c[i] = Div255(c[i] * t[i]);
        }
        break;
    case kTBlendAdd:
        for (int i = 0; i < 3; ++i) c[i] = std::min(255u, c[i] + t[i]);
        break;
    default:  // MODULATE: alpha from the texture when it has alpha, else from the vertex
        for (int i = 0; i < 3; ++i) c[i] = Div255(c[i] * t[i]);
        if (ctx.texHasAlpha) {
            c[3] = t[3];
        }
        break;
    }
}

// Shades one fragment. `col` holds r g b a and specular r g b (0..255).
// `ts`, `tt`: texel coordinates in 24.8 fixed point.
inline void Fragment(const PixelContext& ctx, int32_t x, int32_t y, uint32_t z16,
                     const uint32_t col[7], int32_t ts, int32_t tt, bool linear)
{
    // Depth through memcpy: the buffer's rows need not be aligned here.
    uint8_t* zp = nullptr;
    if (ctx.zTest) {
        zp = ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch + ptrdiff_t(x) * 2;
        uint16_t stored;
        std::memcpy(&stored, zp, sizeof stored);
        if (!Compare(ctx.zFunc, z16, stored)) {
            return;
        }
    }
    uint32_t c[4] = {col[0], col[1], col[2], col[3]};
    if (ctx.texels != nullptr) {
        TextureBlend(ctx, SampleTexture(ctx, ts, tt, linear), c);
    }
    if (ctx.specular) {
        for (int i = 0; i < 3; ++i) c[i] = std::min(255u, c[i] + col[4 + i]);
    }
    if (ctx.alphaTest && !Compare(ctx.alphaFunc, c[3], ctx.alphaRef)) {
        return;
    }
    uint8_t* p = ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch + ptrdiff_t(x) * ctx.colorBytes;
    if (ctx.blend) {
        const uint32_t d = UnpackColor(ctx.colorLayout, LoadPixel(p, ctx.colorLayout.bitsPerPixel));
        const uint32_t dst[4] = {(d >> 16) & 255, (d >> 8) & 255, d & 255, d >> 24};
        uint32_t sf[4], df[4];
        BlendFactor(ctx.srcBlend, c, dst, sf);
        BlendFactor(ctx.destBlend, c, dst, df);
        for (int i = 0; i < 4; ++i) {
            c[i] = std::min(255u, (c[i] * sf[i] + dst[i] * df[i] + 127) / 255);
        }
    }
    const uint32_t argb = (c[3] << 24) | (c[0] << 16) | (c[1] << 8) | c[2];
    StorePixel(p, ctx.colorLayout.bitsPerPixel, PackColor(ctx.colorLayout, argb));
    if (ctx.zWrite) {  // zWrite implies zTest, so zp is set
        const uint16_t value = uint16_t(z16);
        std::memcpy(zp, &value, sizeof value);
    }
}

// Minified when one pixel step covers more than one texel along x or y (judged at the span start).
bool SpanMinified(const Planes& p, const TexWalker& walker)
{
    float u = walker.u0, v = walker.v0;
    float dudx = walker.du, dvdx = walker.dv, dudy = p.dy[kU], dvdy = p.dy[kV];
    if (walker.perspective) {
        const float w = walker.w0 > kMinInvW ? walker.w0 : kMinInvW;
        u /= w;
        v /= w;
        dudx = (dudx - u * walker.dw) / w;
        dvdx = (dvdx - v * walker.dw) / w;
        dudy = (dudy - u * p.dy[kInvW]) / w;
        dvdy = (dvdy - v * p.dy[kInvW]) / w;
    }
    const float tw = float(walker.width), th = float(walker.height);
    const float ax = dudx * tw, ay = dvdx * th, bx = dudy * tw, by = dvdy * th;
    const float rho = std::max(ax * ax + ay * ay, bx * bx + by * by);
    return rho > 1.0f;  // NaN counts as magnified
}

}  // namespace

void GenericSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    const bool textured = ctx.texels != nullptr;
    TexWalker tw;
    int64_t ts = 0, tt = 0;  // texel coordinates at the segment's first pixel
    bool linear = ctx.magLinear;
    if (textured) {
        tw.Setup(p, ctx, y, x0, x1);
        tw.Exact(0, ts, tt);
        if (ctx.magLinear != ctx.minLinear) {
            linear = SpanMinified(p, tw) ? ctx.minLinear : ctx.magLinear;
        }
    }
    // Segments [k, end) stepped linearly from one exact end to the next; the span's last pixel
    // is exact itself. The next segment starts from the exact end, so nothing drifts.
    const int32_t n = x1 - x0;
    for (int32_t k = 0; k < n;) {
        const int32_t end = textured ? std::max(std::min(k + TexWalker::kSegment, n - 1), k + 1) : n;
        int64_t endS = ts, endT = tt, ds = 0, dt = 0;
        if (end < n) {
            tw.Exact(end, endS, endT);
            const int32_t len = end - k;
            ds = len == TexWalker::kSegment ? (endS - ts) / TexWalker::kSegment : (endS - ts) / len;
            dt = len == TexWalker::kSegment ? (endT - tt) / TexWalker::kSegment : (endT - tt) / len;
        }
        for (; k < end; ++k, ts += ds, tt += dt) {
            uint32_t col[7];
            for (int c = 0; c < 7; ++c) col[c] = uint32_t(s.c[c]) >> 16;
            Fragment(ctx, x0 + k, y, DepthOf(s.z), col, int32_t(ts >> 16), int32_t(tt >> 16), linear);
            StepColors(s);
        }
        ts = endS;
        tt = endT;
    }
}

bool BuildPixelContext(const ColorTarget& target, const DepthTarget& depth, const Viewport& vp,
                       const States& st, const Scissor& scissor, PixelContext& ctx)
{
    const auto finite = [](auto... v) { return (std::isfinite(v) && ...); };
    if (!UsableImage(target.pixels, target.pitch, target.width, target.height, target.layout) ||
        vp.width <= 0 || vp.height <= 0 || !finite(vp.clipX, vp.clipY, vp.clipWidth, vp.clipHeight, vp.minZ, vp.maxZ) ||
        !(vp.clipWidth > 0.0f && vp.clipHeight > 0.0f && vp.maxZ > vp.minZ)) {
        return false;
    }
    ctx = PixelContext{};
    ctx.colorBase = target.pixels;
    ctx.colorPitch = target.pitch;
    ctx.colorLayout = target.layout;
    ctx.colorBytes = target.layout.bitsPerPixel / 8;

    int64_t x0 = std::max<int64_t>({vp.x, 0, scissor.x0}), y0 = std::max<int64_t>({vp.y, 0, scissor.y0});
    int64_t x1 = std::min<int64_t>({int64_t(vp.x) + vp.width, target.width, scissor.x1});
    int64_t y1 = std::min<int64_t>({int64_t(vp.y) + vp.height, target.height, scissor.y1});

    if (st.zEnable && UsableRows(depth.values, depth.pitch, depth.width, depth.height, 2)) {
        ctx.depthBase = reinterpret_cast<uint8_t*>(depth.values);
        ctx.depthPitch = depth.pitch;
        ctx.zTest = true;
        ctx.zWrite = st.zWriteEnable;
        ctx.zFunc = ValidOr(st.zFunc, kCmpNever, kCmpAlways, kCmpLessEqual);
        // Never touch depth outside the buffer, even if it is smaller than the target.
        x1 = std::min<int64_t>(x1, depth.width);
        y1 = std::min<int64_t>(y1, depth.height);
    }
    if (x0 >= x1 || y0 >= y1) {
        return false;
    }
    ctx.clipX0 = int32_t(x0);
    ctx.clipY0 = int32_t(y0);
    ctx.clipX1 = int32_t(x1);
    ctx.clipY1 = int32_t(y1);

    ctx.alphaTest = st.alphaTestEnable;
    ctx.alphaFunc = ValidOr(st.alphaFunc, kCmpNever, kCmpAlways, kCmpAlways);
    ctx.alphaRef = std::min<uint32_t>(st.alphaRef, 255);
    ctx.blend = st.alphaBlendEnable;
    ctx.srcBlend = ValidOr(st.srcBlend, kBlendZero, kBlendBothInvSrcAlpha, kBlendOne);
    ctx.destBlend = ValidOr(st.destBlend, kBlendZero, kBlendBothInvSrcAlpha, kBlendZero);
    if (ctx.srcBlend == kBlendBothSrcAlpha || ctx.srcBlend == kBlendBothInvSrcAlpha) {
        // The "both" factors set the destination's factor too, to the inverse of the source's.
        const bool inverse = ctx.srcBlend == kBlendBothInvSrcAlpha;
        ctx.srcBlend = inverse ? kBlendInvSrcAlpha : kBlendSrcAlpha;
        ctx.destBlend = inverse ? kBlendSrcAlpha : kBlendInvSrcAlpha;
    }
    ctx.specular = st.specularEnable;
    ctx.flat = st.shadeMode == kShadeFlat;
    ctx.perspective = st.texturePerspective;

    const TextureImage* texture = st.texture;
    if (texture != nullptr &&
        UsableImage(texture->texels, texture->pitch, texture->width, texture->height, texture->layout)) {
        const TextureImage& t = *texture;
        ctx.texels = t.texels;
        ctx.texPitch = t.pitch;
        ctx.texWidth = t.width;
        ctx.texHeight = t.height;
        ctx.texLayout = t.layout;
        ctx.texBytes = t.layout.bitsPerPixel / 8;
        ctx.texHasAlpha = t.layout.aMask != 0;
        ctx.texIsArgb8888 = IsArgb8888(t.layout);
        ctx.texBlend = ValidOr(st.textureMapBlend, kTBlendDecal, kTBlendAdd, kTBlendModulate);
        ctx.magLinear = IsLinear(st.textureMag);
        ctx.minLinear = IsLinear(st.textureMin);
        ctx.addressU = ValidOr(st.addressU, kAddressWrap, kAddressBorder, kAddressWrap);
        ctx.addressV = ValidOr(st.addressV, kAddressWrap, kAddressBorder, kAddressWrap);
        ctx.borderColor = st.borderColor;
        ctx.wrapU = st.wrapU;
        ctx.wrapV = st.wrapV;
    } else {
        // Without a texture the interpolated 1/w and coordinates are not needed.
        ctx.perspective = false;
    }
    return true;
}

void ShadePixel(const PixelContext& ctx, int32_t x, int32_t y, float z, float invW, float u,
                float v, const float color[4], const float specular[3])
{
    if (x < ctx.clipX0 || x >= ctx.clipX1 || y < ctx.clipY0 || y >= ctx.clipY1) {
        return;
    }
    uint32_t col[7];
    for (int k = 0; k < 4; ++k) col[k] = uint32_t(ClampF(color[k], 0.0f, 255.0f));
    for (int k = 0; k < 3; ++k) col[4 + k] = uint32_t(ClampF(specular[k], 0.0f, 255.0f));
    const uint32_t z16 = uint32_t(ClampF(z, 0.0f, 1.0f) * 65535.0f + 0.5f);
    int32_t ts = 0, tt = 0;
    if (ctx.texels != nullptr) {
        if (ctx.perspective) {
            DivideByW(invW, u, v);
        }
        ts = int32_t(TexelFixed24(u, ctx.texWidth) >> 16);
        tt = int32_t(TexelFixed24(v, ctx.texHeight) >> 16);
    }
    Fragment(ctx, x, y, z16, col, ts, tt, ctx.magLinear);
    if (ctx.fragments != nullptr) {
        ++*ctx.fragments;
    }
}

}  // namespace raster::detail
