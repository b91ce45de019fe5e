// Clip volume, near-plane clipping, viewport mapping and stored depth.
#include "tests/raster/RasterFixture.h"

#include "math/Matrix4.h"

#include <gtest/gtest.h>

using namespace rastertest;
using namespace raster;

namespace {

LVertex World(float x, float y, float z, uint32_t color = 0xFFFFFFFFu)
{
    LVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    return v;
}

}  // namespace

TEST(NearPlane, TriangleReachingBehindTheEyeDrawsOnlyItsVisiblePart)
{
    // A floor 1 unit below the eye, running from 4 units ahead to 4 units behind the eye.
    Matrix4 proj;
    MatrixPerspective(&proj, 0.5f, 30.0f, 1.0471977f);
    Canvas c(64, 64);
    Viewport vp = c.FullViewport();
    States st = NoCull();
    c.Draw(st, kPrimTriangleList,
           {World(-3, -1, -4), World(3, -1, -4), World(0, -1, 4)}, proj.m, &vp);
    // Below the horizon (lower half) the floor shows; nothing behind the eye leaks above it.
    int above = 0, below = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (c.Raw(x, y) != 0) {
                ++(y < 32 ? above : below);
            }
    EXPECT_EQ(above, 0);
    EXPECT_GT(below, 200);
    EXPECT_NE(c.Raw(32, 63), 0u);  // straight down at the bottom edge: floor just past the near plane
    EXPECT_TRUE(c.GuardsIntact());
}

TEST(NearPlane, TriangleWhollyBehindTheEyeDrawsNothing)
{
    Matrix4 proj;
    MatrixPerspective(&proj, 0.5f, 30.0f, 1.0471977f);
    Canvas c(32, 32);
    Viewport vp = c.FullViewport();
    c.Draw(NoCull(), kPrimTriangleList, {World(-3, -1, 1), World(3, -1, 1), World(0, 2, 3)}, proj.m,
           &vp);
    EXPECT_EQ(c.CountNonZero(), 0);
}

TEST(ViewportMapping, NonSquareClipVolumeMapsWithEqualScaleOnBothAxes)
{
    // 40 x 20 viewport, clip volume x in [-1, 1], y in [-0.5, 0.5]: one scale for both axes.
    Canvas c(48, 24);
    Viewport vp;
    vp.x = 4;
    vp.y = 2;
    vp.width = 40;
    vp.height = 20;
    vp.clipX = -1.0f;
    vp.clipWidth = 2.0f;
    vp.clipY = 0.5f;
    vp.clipHeight = 1.0f;
    States st = NoCull();
    c.Draw(st, kPrimPointList, {World(0, 0, 0.5f), World(0.5f, 0.25f, 0.5f), World(-0.75f, -0.35f, 0.5f)},
           nullptr, &vp);
    EXPECT_NE(c.Raw(24, 12), 0u);       // centre: 4 + 20, 2 + 10
    EXPECT_NE(c.Raw(34, 7), 0u);        // 4 + 40 * 1.5 / 2, 2 + 20 * 0.25
    EXPECT_NE(c.Raw(9, 19), 0u);        // 4 + 40 * 0.25 / 2, 2 + 20 * 0.85
    EXPECT_EQ(c.CountNonZero(), 3);
    // Outside the clip volume in y (0.6 > 0.5) even though inside [-1, 1].
    Canvas d(48, 24);
    d.Draw(st, kPrimPointList, {World(0, 0.6f, 0.5f), World(1.1f, 0, 0.5f)}, nullptr, &vp);
    EXPECT_EQ(d.CountNonZero(), 0);
}

TEST(ViewportMapping, TriangleIsClippedToTheViewportRectangle)
{
    Canvas c(32, 32);
    Viewport vp;
    vp.x = 8;
    vp.y = 8;
    vp.width = 16;
    vp.height = 16;
    c.Draw(NoCull(), kPrimTriangleList, {World(-5, -5, 0.5f), World(5, -5, 0.5f), World(0, 5, 0.5f)},
           nullptr, &vp);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (c.Raw(x, y) != 0) {
                EXPECT_TRUE(x >= 8 && x < 24 && y >= 8 && y < 24) << x << "," << y;
            }
    EXPECT_EQ(c.CountNonZero(), 16 * 16);
}

TEST(DepthRange, StoredDepthIsPostDivideZScaledByTheClipRange)
{
    // MaxZ 2: post-divide z 0.5 is stored as 0.25 of the range; z beyond MaxZ is clipped.
    Canvas c(16, 16);
    Viewport vp = c.FullViewport();
    vp.maxZ = 2.0f;
    States st = NoCull();
    st.zEnable = true;
    c.Draw(st, kPrimTriangleList,
           {AtPixel(0, 0, 16, 16, ~0u, 0.5f), AtPixel(16, 0, 16, 16, ~0u, 0.5f),
            AtPixel(0, 16, 16, 16, ~0u, 0.5f)},
           nullptr, &vp);
    EXPECT_EQ(c.Z(2, 2), 16384);  // round(0.25 * 65535)
    Canvas far(16, 16);
    far.Draw(st, kPrimTriangleList,
             {AtPixel(0, 0, 16, 16, ~0u, 2.5f), AtPixel(16, 0, 16, 16, ~0u, 2.5f),
              AtPixel(0, 16, 16, 16, ~0u, 2.5f)},
             nullptr, &vp);
    EXPECT_EQ(far.CountNonZero(), 0);
}

TEST(DepthRange, DepthIsInterpolatedAcrossTheTriangle)
{
    Canvas c(16, 16);
    States st = NoCull();
    st.zEnable = true;
    c.Draw(st, kPrimTriangleList,
           {AtPixel(0, 0, 16, 16, ~0u, 0.0f), AtPixel(16, 0, 16, 16, ~0u, 1.0f),
            AtPixel(0, 16, 16, 16, ~0u, 0.0f)});
    EXPECT_EQ(c.Z(0, 0), 0);
    EXPECT_NEAR(c.Z(8, 2), 32768, 40);  // half way in x
    EXPECT_LT(c.Z(4, 2), c.Z(8, 2));
}
