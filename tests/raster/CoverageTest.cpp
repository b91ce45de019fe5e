// Which pixels a primitive covers: fill rule, watertight shared edges, culling and assembly.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rastertest;
using namespace raster;

namespace {

constexpr int kW = 16, kH = 16;

LVertex P(float x, float y, uint32_t c = 0xFFFFFFFFu) { return AtPixel(x, y, kW, kH, c); }

// Additive blending of colour 1: a pixel drawn twice reads 2.
States Additive()
{
    States st = NoCull();
    st.alphaBlendEnable = true;
    st.srcBlend = kBlendOne;
    st.destBlend = kBlendOne;
    return st;
}

}  // namespace

TEST(FillRule, DocumentedExampleTrianglesCover15And10Pixels)
{
    Canvas a(kW, kH);
    a.Draw(NoCull(), kPrimTriangleList, {P(0, 0), P(5, 0), P(5, 5)});
    EXPECT_EQ(a.CountNonZero(), 15);
    EXPECT_NE(a.Raw(0, 0), 0u);   // top-left corner on the top and left edges
    EXPECT_EQ(a.Raw(5, 0), 0u);   // right edge excluded
    EXPECT_EQ(a.Raw(4, 5), 0u);   // bottom row excluded

    Canvas b(kW, kH);
    b.Draw(NoCull(), kPrimTriangleList, {P(0, 5), P(0, 0), P(5, 5)});
    EXPECT_EQ(b.CountNonZero(), 10);
    EXPECT_EQ(b.Raw(0, 0), 0u);   // on the left edge but also on the right-hand diagonal
    EXPECT_NE(b.Raw(0, 4), 0u);
    EXPECT_EQ(b.Raw(0, 5), 0u);   // bottom edge excluded
}

TEST(FillRule, WindingOrderDoesNotChangeCoverage)
{
    Canvas a(kW, kH), b(kW, kH);
    a.Draw(NoCull(), kPrimTriangleList, {P(1.3f, 0.7f), P(9.6f, 3.2f), P(4.1f, 12.9f)});
    b.Draw(NoCull(), kPrimTriangleList, {P(1.3f, 0.7f), P(4.1f, 12.9f), P(9.6f, 3.2f)});
    EXPECT_EQ(a.storage, b.storage);
    EXPECT_GT(a.CountNonZero(), 30);
}

TEST(SharedEdges, TwoHalvesOfAQuadDrawEveryPixelExactlyOnce)
{
    Canvas c(kW, kH);
    const uint32_t one = 0xFF010101u;
    c.Draw(Additive(), kPrimTriangleList,
           {P(0.5f, 0.5f, one), P(8.5f, 0.5f, one), P(8.5f, 6.5f, one),
            P(0.5f, 0.5f, one), P(8.5f, 6.5f, one), P(0.5f, 6.5f, one)});
    int covered = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const uint32_t v = c.Raw(x, y) & 0xFFFFFF;
            const bool inQuad = x >= 1 && x <= 8 && y >= 1 && y <= 6;
            EXPECT_EQ(v, inQuad ? 0x010101u : 0u) << "pixel " << x << "," << y;
            covered += v != 0;
        }
    }
    EXPECT_EQ(covered, 48);
}

TEST(SharedEdges, FanAroundAnOffGridCentreHasNoGapsAndNoOverlaps)
{
    Canvas c(kW, kH);
    const uint32_t one = 0xFF010101u;
    const float cx = 8.3f, cy = 8.1f, r = 6.7f;
    const int n = 13;
    std::vector<LVertex> fan{P(cx, cy, one)};
    for (int i = 0; i <= n; ++i) {
        const float a = 6.2831853f * float(i % n) / float(n) + 0.1f;
        fan.push_back(P(cx + r * std::cos(a), cy + r * std::sin(a), one));
    }
    c.Draw(Additive(), kPrimTriangleFan, fan);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const uint32_t v = c.Raw(x, y) & 0xFFFFFF;
            EXPECT_LE(v, 0x010101u) << "pixel drawn twice at " << x << "," << y;
            // Well inside the polygon (its inscribed circle) means covered.
            const float d = std::hypot(float(x) - cx, float(y) - cy);
            if (d < r * std::cos(3.14159265f / n) - 0.05f) {
                EXPECT_EQ(v, 0x010101u) << "hole at " << x << "," << y;
            }
            if (d > r + 0.05f) {
                EXPECT_EQ(v, 0u) << "outside pixel drawn at " << x << "," << y;
            }
        }
    }
}

TEST(Culling, CullModesRemoveTheNamedScreenWindingAndNoneKeepsBoth)
{
    // (0,0),(5,0),(5,5) runs clockwise on screen (y down).
    const std::vector<LVertex> cw{P(0, 0), P(5, 0), P(5, 5)};
    const std::vector<LVertex> ccw{P(0, 0), P(5, 5), P(5, 0)};
    for (uint32_t mode : {kCullNone, kCullCW, kCullCCW}) {
        States st = NoCull();
        st.cullMode = mode;
        Canvas a(kW, kH), b(kW, kH);
        a.Draw(st, kPrimTriangleList, cw);
        b.Draw(st, kPrimTriangleList, ccw);
        EXPECT_EQ(a.CountNonZero(), mode == kCullCW ? 0 : 15) << "mode " << mode;
        EXPECT_EQ(b.CountNonZero(), mode == kCullCCW ? 0 : 15) << "mode " << mode;
    }
}

TEST(Assembly, StripKeepsOneWindingSoCullingKeepsOrDropsItWhole)
{
    // A strip of four triangles forming a band; its odd triangles are stored reversed.
    std::vector<LVertex> strip;
    for (int i = 0; i < 6; ++i) {
        strip.push_back(P(1.0f + 2.5f * float(i / 2), (i % 2) ? 9.0f : 2.0f));
    }
    States st = NoCull();
    Canvas all(kW, kH);
    all.Draw(st, kPrimTriangleStrip, strip);
    st.cullMode = kCullCW;
    Canvas cw(kW, kH);
    cw.Draw(st, kPrimTriangleStrip, strip);
    st.cullMode = kCullCCW;
    Canvas ccw(kW, kH);
    ccw.Draw(st, kPrimTriangleStrip, strip);
    EXPECT_EQ(all.CountNonZero(), 5 * 7);  // x 1..5, y 2..8
    EXPECT_TRUE((cw.CountNonZero() == 0) != (ccw.CountNonZero() == 0));
    EXPECT_EQ(cw.CountNonZero() + ccw.CountNonZero(), all.CountNonZero());
}

TEST(Assembly, FanAndListOfTheSameTrianglesMatch)
{
    Canvas fan(kW, kH), list(kW, kH);
    fan.Draw(NoCull(), kPrimTriangleFan, {P(2, 2), P(12, 2.5f), P(13, 11), P(3, 12)});
    list.Draw(NoCull(), kPrimTriangleList,
              {P(2, 2), P(12, 2.5f), P(13, 11), P(2, 2), P(13, 11), P(3, 12)});
    EXPECT_EQ(fan.storage, list.storage);
}

TEST(Assembly, InvalidPrimitiveTypeIsRefusedAndDrawsNothing)
{
    Canvas c(kW, kH);
    EXPECT_FALSE(c.Draw(NoCull(), 0, {P(0, 0), P(5, 0), P(5, 5)}));
    EXPECT_FALSE(c.Draw(NoCull(), 7, {P(0, 0), P(5, 0), P(5, 5)}));
    EXPECT_TRUE(c.Draw(NoCull(), kPrimTriangleList, {P(0, 0), P(5, 0)}));  // too few: nothing
    EXPECT_EQ(c.CountNonZero(), 0);
}

TEST(LinesAndPoints, PointsLightOnePixelAndLinesIncludeBothEnds)
{
    Canvas pts(kW, kH);
    pts.Draw(NoCull(), kPrimPointList, {P(3, 4), P(10.4f, 7.6f)});
    EXPECT_EQ(pts.CountNonZero(), 2);
    EXPECT_NE(pts.Raw(3, 4), 0u);
    EXPECT_NE(pts.Raw(10, 8), 0u);

    Canvas line(kW, kH);
    line.Draw(NoCull(), kPrimLineList, {P(1, 2), P(6, 2)});
    EXPECT_EQ(line.CountNonZero(), 6);
    for (int x = 1; x <= 6; ++x) EXPECT_NE(line.Raw(x, 2), 0u);

    Canvas diag(kW, kH);
    diag.Draw(NoCull(), kPrimLineStrip, {P(0, 0), P(4, 4), P(4, 9)});
    for (int i = 0; i <= 4; ++i) EXPECT_NE(diag.Raw(i, i), 0u);
    for (int y = 4; y <= 9; ++y) EXPECT_NE(diag.Raw(4, y), 0u);
    EXPECT_EQ(diag.CountNonZero(), 10);
}

TEST(FillModes, WireframeDrawsOnlyTheEdges)
{
    States st = NoCull();
    st.fillMode = kFillWireframe;
    Canvas c(kW, kH);
    c.Draw(st, kPrimTriangleList, {P(1, 1), P(12, 1), P(1, 12)});
    EXPECT_NE(c.Raw(6, 1), 0u);
    EXPECT_NE(c.Raw(1, 6), 0u);
    EXPECT_EQ(c.Raw(4, 4), 0u);  // interior stays empty
    st.fillMode = kFillPoint;
    Canvas p(kW, kH);
    p.Draw(st, kPrimTriangleList, {P(1, 1), P(12, 1), P(1, 12)});
    EXPECT_EQ(p.CountNonZero(), 3);
}
