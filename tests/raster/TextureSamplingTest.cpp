// Texel centres, filters, addressing modes and perspective-correct texture coordinates.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

using namespace rastertest;
using namespace raster;

namespace {

// Red channel of the pixel a triangle of constant (u, v) leaves with DECAL.
uint32_t SampleRed(const Texture& tex, uint32_t filter, uint32_t address, float u, float v = 0.5f,
                   uint32_t border = 0xFFC80000u)
{
    Canvas c(4, 4);
    States st = NoCull();
    st.texture = &tex.image;
    st.textureMapBlend = kTBlendDecal;
    st.textureMag = st.textureMin = filter;
    st.addressU = st.addressV = address;
    st.borderColor = border;
    c.Draw(st, kPrimTriangleList,
           {AtPixel(-1, -1, 4, 4, ~0u, 0.5f, u, v), AtPixel(12, -1, 4, 4, ~0u, 0.5f, u, v),
            AtPixel(-1, 12, 4, 4, ~0u, 0.5f, u, v)});
    return (c.Argb(1, 1) >> 16) & 0xFF;
}

Texture Ramp() { return Texture(4, 1, {0xFF0A0000u, 0xFF320000u, 0xFF5A0000u, 0xFF820000u}); }

}  // namespace

TEST(TexelCentres, NearestPicksTheTexelWhoseCentreIsNearest)
{
    const Texture t = Ramp();  // red 10, 50, 90, 130
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 0.125f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 0.24f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 0.26f), 50u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 0.875f), 130u);
}

TEST(TexelCentres, LinearIsExactAtCentresAndHalfWayBetweenThem)
{
    const Texture t = Ramp();
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressClamp, 0.125f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressClamp, 0.375f), 50u);
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressClamp, 0.25f), 30u);
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressClamp, 0.5f), 70u);
}

TEST(Addressing, LinearAtTheTextureEdgeBlendsPerAddressMode)
{
    const Texture t = Ramp();
    // u = 0 lies half way between texel -1 and texel 0.
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressWrap, 0.0f), 70u);     // last and first
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressClamp, 0.0f), 10u);    // edge texel twice
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressMirror, 0.0f), 10u);   // mirrored first texel
    EXPECT_EQ(SampleRed(t, kFilterLinear, kAddressBorder, 0.0f), 105u);  // border 200 and 10
}

TEST(Addressing, NearestOutsideZeroToOneRepeatsMirrorsClampsOrUsesTheBorder)
{
    const Texture t = Ramp();
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 1.1f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, -0.1f), 130u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressMirror, 1.1f), 130u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressMirror, 1.3f), 90u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressMirror, -0.1f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressClamp, 1.1f), 130u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressClamp, -3.0f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressBorder, 1.1f), 200u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressBorder, 0.5f, 1.5f), 200u);  // v outside too
}

TEST(Addressing, NonPowerOfTwoTexturesWrap)
{
    const Texture t(3, 1, {0xFF0A0000u, 0xFF320000u, 0xFF5A0000u});
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, 1.0f + 0.5f / 3.0f), 10u);
    EXPECT_EQ(SampleRed(t, kFilterNearest, kAddressWrap, -0.5f / 3.0f), 90u);
}

TEST(Filtering, MinificationAndMagnificationUseTheirOwnFilter)
{
    // A 2 x 1 black/white texture stretched over 64 pixels is magnified: LINEAR mag gives greys
    // in the middle even when the min filter is NEAREST.
    const Texture t(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    Canvas c(64, 4);
    States st = NoCull();
    st.texture = &t.image;
    st.textureMapBlend = kTBlendDecal;
    st.textureMag = kFilterLinear;
    st.textureMin = kFilterNearest;
    st.addressU = st.addressV = kAddressClamp;
    c.Draw(st, kPrimTriangleFan,
           {AtPixel(0, 0, 64, 4, ~0u, 0.5f, 0, 0), AtPixel(64, 0, 64, 4, ~0u, 0.5f, 1, 0),
            AtPixel(64, 4, 64, 4, ~0u, 0.5f, 1, 1), AtPixel(0, 4, 64, 4, ~0u, 0.5f, 0, 1)});
    const uint32_t mid = (c.Argb(32, 1) >> 16) & 0xFF;
    EXPECT_GT(mid, 100u);
    EXPECT_LT(mid, 160u);
    st.textureMag = kFilterNearest;
    st.textureMin = kFilterLinear;
    Canvas d(64, 4);
    d.Draw(st, kPrimTriangleFan,
           {AtPixel(0, 0, 64, 4, ~0u, 0.5f, 0, 0), AtPixel(64, 0, 64, 4, ~0u, 0.5f, 1, 0),
            AtPixel(64, 4, 64, 4, ~0u, 0.5f, 1, 1), AtPixel(0, 4, 64, 4, ~0u, 0.5f, 0, 1)});
    const uint32_t p = (d.Argb(30, 1) >> 16) & 0xFF;
    EXPECT_TRUE(p == 0u || p == 255u);
}

TEST(Perspective, TextureCoordinatesFollowTheSurfaceNotTheScreen)
{
    // A rectangle receding to the right: left edge at w = 1, right edge at w = 3. Its middle in
    // space (u = 0.5) shows at x_n = 0.5, not at the screen midpoint x_n = 0.
    const Texture t(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    // w = -z, z_clip = w / 2.
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.5f, -1, 0, 0, 0, 0};
    auto vtx = [](float x, float y, float z, float u) {
        LVertex v{};
        v.x = x; v.y = y; v.z = z; v.color = ~0u; v.tu = u; v.tv = 0.5f;
        return v;
    };
    const std::vector<LVertex> quad{vtx(-1, 1, -1, 0), vtx(3, 3, -3, 1), vtx(3, -3, -3, 1),
                                    vtx(-1, -1, -1, 0)};
    for (bool perspective : {true, false}) {
        Canvas c(64, 64);
        States st = NoCull();
        st.texture = &t.image;
        st.textureMapBlend = kTBlendDecal;
        st.texturePerspective = perspective;
        st.addressU = kAddressClamp;
        c.Draw(st, kPrimTriangleFan, quad, m);
        auto red = [&](int x) { return (c.Argb(x, 32) >> 16) & 0xFF; };
        if (perspective) {
            EXPECT_EQ(red(44), 0u);
            EXPECT_EQ(red(52), 255u);
        } else {
            EXPECT_EQ(red(28), 0u);
            EXPECT_EQ(red(36), 255u);
        }
    }
}

TEST(CylindricalWrap, WrapUInterpolatesTheShortWayRound)
{
    // u runs 0.875 -> 0.125 across 16 pixels. Without WRAPU it passes through the middle texels
    // (0.5 at the centre); with it, it crosses 1.0 = 0.0 at the centre.
    const Texture t = Ramp();  // red 10, 50, 90, 130
    for (bool wrap : {false, true}) {
        Canvas c(16, 2);
        States st = NoCull();
        st.texture = &t.image;
        st.textureMapBlend = kTBlendDecal;
        st.wrapU = wrap;
        c.Draw(st, kPrimTriangleFan,
               {AtPixel(0, 0, 16, 2, ~0u, 0.5f, 0.875f, 0.5f), AtPixel(16, 0, 16, 2, ~0u, 0.5f, 0.125f, 0.5f),
                AtPixel(16, 2, 16, 2, ~0u, 0.5f, 0.125f, 0.5f), AtPixel(0, 2, 16, 2, ~0u, 0.5f, 0.875f, 0.5f)});
        const uint32_t centre = (c.Argb(8, 0) >> 16) & 0xFF;
        const uint32_t nearLeft = (c.Argb(2, 0) >> 16) & 0xFF;
        EXPECT_EQ(nearLeft, 130u) << wrap;  // both start on the last texel
        EXPECT_EQ(centre, wrap ? 10u : 90u) << wrap;
    }
}
