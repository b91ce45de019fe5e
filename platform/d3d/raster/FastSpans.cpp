// Specialised span loops for the states the program draws with. Each gives exactly the pixels
// of the generic path (same arithmetic from PixelMath.h), only without the per-pixel switches.
#include "platform/d3d/raster/PixelMath.h"

namespace raster::detail {

namespace {

bool IsTarget8888(const PixelLayout& l)
{
    return l.bitsPerPixel == 32 && l.rMask == 0x00FF0000u && l.gMask == 0x0000FF00u &&
           l.bMask == 0x000000FFu && (l.aMask == 0 || l.aMask == 0xFF000000u);
}

bool IsPowerOfTwo(int32_t v) { return v > 0 && (v & (v - 1)) == 0; }

// Untextured Gouraud (or flat), depth test LESSEQUAL with writes, no alpha test, no blend.
template <bool Specular>
void GouraudDepthSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch);
    uint16_t* zrow = reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch);
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    int32_t r = s.c[0], g = s.c[1], b = s.c[2], a = s.c[3];
    const int32_t dr = s.dc[0], dg = s.dc[1], db = s.dc[2], da = s.dc[3];
    int32_t sr = s.c[4], sg = s.c[5], sb = s.c[6];
    const int32_t dsr = s.dc[4], dsg = s.dc[5], dsb = s.dc[6];
    int64_t z = s.z;
    const int64_t dz = s.dz;
    for (int32_t x = x0; x < x1; ++x) {
        const uint32_t z16 = DepthOf(z);
        if (z16 <= zrow[x]) {
            zrow[x] = uint16_t(z16);
            uint32_t cr = uint32_t(r) >> 16, cg = uint32_t(g) >> 16, cb = uint32_t(b) >> 16;
            if constexpr (Specular) {
                cr = std::min(255u, cr + (uint32_t(sr) >> 16));
                cg = std::min(255u, cg + (uint32_t(sg) >> 16));
                cb = std::min(255u, cb + (uint32_t(sb) >> 16));
            }
            row[x] = (((uint32_t(a) >> 16) << 24) & alphaMask) | (cr << 16) | (cg << 8) | cb;
        }
        r += dr; g += dg; b += db; a += da;
        if constexpr (Specular) {
            sr += dsr; sg += dsg; sb += dsb;
        }
        z += dz;
    }
}

// Textured from a power-of-two 8888 texture with wrap addressing, MODULATE, optional alpha test
// GREATER, optional SRCALPHA / INVSRCALPHA blend, depth test LESSEQUAL, 8888 target.
template <bool Linear, bool Perspective>
void TexturedSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch);
    uint16_t* zrow = ctx.zTest
        ? reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch)
        : nullptr;
    const uint32_t* tex = reinterpret_cast<const uint32_t*>(ctx.texels);
    const ptrdiff_t texStride = ctx.texPitch / 4;
    const int32_t wMask = ctx.texWidth - 1, hMask = ctx.texHeight - 1;
    const uint32_t alphaOr = ctx.texHasAlpha ? 0u : 0xFF000000u;
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const bool alphaTest = ctx.alphaTest;
    const uint32_t alphaRef = ctx.alphaRef;
    const bool blend = ctx.blend;
    const bool zWrite = ctx.zWrite;
    const bool specular = ctx.specular;
    const bool texAlpha = ctx.texHasAlpha;
    auto texel = [&](int32_t i, int32_t j) {
        return tex[ptrdiff_t(j & hMask) * texStride + (i & wMask)] | alphaOr;
    };
    for (int32_t x = x0; x < x1; ++x) {
        const uint32_t z16 = DepthOf(s.z);
        if (zrow == nullptr || z16 <= zrow[x]) {
            float u, v;
            TexCoords(s, Perspective, u, v);
            const int32_t fs = TexelFixed(u, ctx.texWidth);
            const int32_t ft = TexelFixed(v, ctx.texHeight);
            uint32_t t;
            if constexpr (Linear) {
                const int32_t i = fs >> 8, j = ft >> 8;
                t = Bilinear(texel(i, j), texel(i + 1, j), texel(i, j + 1), texel(i + 1, j + 1),
                             uint32_t(fs & 255), uint32_t(ft & 255));
            } else {
                t = texel((fs + 128) >> 8, (ft + 128) >> 8);
            }
            const uint32_t ca = texAlpha ? (t >> 24) : (uint32_t(s.c[3]) >> 16);
            if (!alphaTest || ca > alphaRef) {
                uint32_t cr = Div255(((t >> 16) & 255) * (uint32_t(s.c[0]) >> 16));
                uint32_t cg = Div255(((t >> 8) & 255) * (uint32_t(s.c[1]) >> 16));
                uint32_t cb = Div255((t & 255) * (uint32_t(s.c[2]) >> 16));
                if (specular) {
                    cr = std::min(255u, cr + (uint32_t(s.c[4]) >> 16));
                    cg = std::min(255u, cg + (uint32_t(s.c[5]) >> 16));
                    cb = std::min(255u, cb + (uint32_t(s.c[6]) >> 16));
                }
                uint32_t out = (ca << 24) | (cr << 16) | (cg << 8) | cb;
                if (blend) {
                    // Per lane: round((src a + dst (255 - a)) / 255).
                    const uint64_t src = Spread(out);
                    uint32_t dst = row[x];
                    if (alphaMask == 0) {
                        dst |= 0xFF000000u;
                    }
                    uint64_t sum = src * ca + Spread(dst) * (255u - ca) +
                                   0x0080008000800080ull;
                    sum = (sum + ((sum >> 8) & 0x00FF00FF00FF00FFull)) >> 8;
                    out = Gather(sum);
                }
                row[x] = (out & (0x00FFFFFFu | alphaMask));
                if (zWrite) {
                    zrow[x] = uint16_t(z16);
                }
            }
        }
        StepSpan(s);
    }
}

}  // namespace

SpanFn SelectFastSpan(const PixelContext& ctx)
{
    if (!IsTarget8888(ctx.colorLayout)) {
        return nullptr;
    }
    if (ctx.texels == nullptr) {
        if (ctx.zTest && ctx.zWrite && ctx.zFunc == kCmpLessEqual &&
            (!ctx.alphaTest || ctx.alphaFunc == kCmpAlways) &&
            (!ctx.blend || (ctx.srcBlend == kBlendOne && ctx.destBlend == kBlendZero))) {
            return ctx.specular ? &GouraudDepthSpan<true> : &GouraudDepthSpan<false>;
        }
        return nullptr;
    }
    const bool texOk = ctx.texIsArgb8888 && IsPowerOfTwo(ctx.texWidth) &&
                       IsPowerOfTwo(ctx.texHeight) && ctx.texPitch % 4 == 0 &&
                       ctx.addressU == kAddressWrap && ctx.addressV == kAddressWrap &&
                       ctx.magLinear == ctx.minLinear && ctx.texBlend == kTBlendModulate;
    const bool stateOk = (!ctx.zTest || ctx.zFunc == kCmpLessEqual) &&
                         (!ctx.alphaTest || ctx.alphaFunc == kCmpGreater) &&
                         (!ctx.blend || (ctx.srcBlend == kBlendSrcAlpha &&
                                         ctx.destBlend == kBlendInvSrcAlpha));
    if (!texOk || !stateOk) {
        return nullptr;
    }
    if (ctx.magLinear) {
        return ctx.perspective ? &TexturedSpan<true, true> : &TexturedSpan<true, false>;
    }
    return ctx.perspective ? &TexturedSpan<false, true> : &TexturedSpan<false, false>;
}

}  // namespace raster::detail
