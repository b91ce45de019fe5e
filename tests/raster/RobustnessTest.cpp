// Hostile input: non-finite and enormous coordinates, degenerate primitives, bad state values,
// unusable targets. Nothing may crash, hang or write outside the target.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <limits>

using namespace rastertest;
using namespace raster;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

LVertex V(float x, float y, float z = 0.5f, float w = 1.0f, float tu = 0.0f)
{
    LVertex v{};
    v.x = x * w;
    v.y = y * w;
    v.z = z;
    v.color = 0xFFFFFFFFu;
    v.tu = tu;
    v.tv = tu;
    return v;
}

}  // namespace

TEST(HostileVertices, NonFiniteCoordinatesDropOnlyTheirPrimitives)
{
    for (float bad : {kNaN, kInf, -kInf}) {
        Canvas c(16, 16);
        States st = NoCull();
        st.zEnable = true;
        c.Draw(st, kPrimTriangleList,
               {V(bad, 0), V(0.5f, 0.5f), V(0, 0.5f),            // dropped
                V(-1, -1), V(1, -1), V(-1, 1)});                   // drawn
        EXPECT_GT(c.CountNonZero(), 50);
        EXPECT_EQ(c.Raw(15, 0), 0u);  // the other half stays empty
        EXPECT_TRUE(c.GuardsIntact());
        for (uint32_t type = kPrimPointList; type <= kPrimTriangleFan; ++type) {
            c.Draw(st, type, {V(bad, bad), V(0, bad, bad), V(1, 1, 0.5f, 1, bad), V(0, 0)});
        }
        EXPECT_TRUE(c.GuardsIntact());
    }
}

TEST(HostileVertices, EnormousTrianglesAreClippedToTheTarget)
{
    Canvas c(16, 16);
    States st = NoCull();
    c.Draw(st, kPrimTriangleList, {V(-1e5f, -1e5f), V(1e5f, -1e5f), V(0, 1e5f)});
    EXPECT_TRUE(c.GuardsIntact());
    EXPECT_EQ(c.CountNonZero(), 256);
    Canvas d(16, 16);
    d.Draw(st, kPrimTriangleList, {V(-3e38f, 0), V(3e38f, 1e-30f), V(0, 3e38f)});
    d.Draw(st, kPrimTriangleList, {V(-1e30f, -1e30f), V(1e30f, -1e30f), V(0, 1e30f)});
    d.Draw(st, kPrimLineList, {V(-1e30f, -1e30f), V(1e30f, 1e30f)});
    EXPECT_TRUE(d.GuardsIntact());
}

TEST(HostileVertices, EnormousTextureCoordinatesStaySafe)
{
    Texture t(4, 4, std::vector<uint32_t>(16, 0xFF808080u));
    for (uint32_t addr : {kAddressWrap, kAddressMirror, kAddressClamp, kAddressBorder}) {
        for (bool persp : {false, true}) {
            Canvas c(16, 16);
            States st = NoCull();
            st.texture = &t.image;
            st.addressU = st.addressV = addr;
            st.textureMag = st.textureMin = kFilterLinear;
            st.texturePerspective = persp;
            c.Draw(st, kPrimTriangleList, {V(-1, -1, 0.5f, 1, 3e38f), V(1, -1, 0.5f, 1, -3e38f),
                                           V(-1, 1, 0.5f, 1e-4f, 1e20f)});
            EXPECT_TRUE(c.GuardsIntact());
        }
    }
}

TEST(HostileVertices, DegenerateTrianglesDrawNothing)
{
    Canvas c(16, 16);
    c.Draw(NoCull(), kPrimTriangleList,
           {V(0, 0), V(0, 0), V(0, 0), V(-1, -1), V(0, 0), V(1, 1), V(0.1f, 0.1f), V(0.1f, 0.1f),
            V(0.5f, 0.5f)});
    EXPECT_EQ(c.CountNonZero(), 0);
}

TEST(HostileVertices, VerticesAtOrBehindTheEyeNeverReachTheDivide)
{
    Canvas c(16, 16);
    c.Draw(NoCull(), kPrimTriangleList, {V(0, 0, 0.0f, 0.0f), V(1, 0, 0.5f, -1.0f), V(0, 1, 0.5f, 1e-12f)});
    EXPECT_EQ(c.CountNonZero(), 0);
    EXPECT_TRUE(c.GuardsIntact());
}

TEST(HostileStates, OutOfRangeStateValuesFallBackAndStillDraw)
{
    Texture t(2, 2, {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u});
    States st;
    st.shadeMode = 99;
    st.fillMode = 0;
    st.cullMode = 77;
    st.zEnable = true;
    st.zFunc = 0xFFFFFFFFu;
    st.alphaTestEnable = true;
    st.alphaFunc = 1234;
    st.alphaRef = 0xFFFFFFFFu;
    st.alphaBlendEnable = true;
    st.srcBlend = 0;
    st.destBlend = 99;
    st.textureMapBlend = 42;
    st.textureMag = st.textureMin = 17;
    st.addressU = st.addressV = 9;
    st.texture = &t.image;
    Canvas c(16, 16);
    // Clockwise on screen: drawn under the default culling that unknown values fall back to.
    c.Draw(st, kPrimTriangleList, {V(-1, 1), V(1, 1), V(-1, -1)});
    EXPECT_GT(c.CountNonZero(), 50);
    EXPECT_TRUE(c.GuardsIntact());
}

TEST(HostileTargets, UnusableTargetsOrViewportsDrawNothingAndDoNotCrash)
{
    Canvas c(8, 8);
    States st = NoCull();
    const float id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::vector<LVertex> tri{V(-1, -1), V(1, -1), V(-1, 1)};
    raster::ColorTarget bad = c.Target();
    bad.layout.bitsPerPixel = 12;
    EXPECT_TRUE(DrawLVertices(bad, c.Depth(), c.FullViewport(), st, id, kPrimTriangleList,
                              tri.data(), 3, c.scratch));
    bad = c.Target();
    bad.pitch = 4;  // narrower than a row
    DrawLVertices(bad, c.Depth(), c.FullViewport(), st, id, kPrimTriangleList, tri.data(), 3,
                  c.scratch);
    for (float f : {0.0f, -2.0f, kNaN, kInf}) {
        raster::Viewport vp = c.FullViewport();
        vp.clipWidth = f;
        DrawLVertices(c.Target(), c.Depth(), vp, st, id, kPrimTriangleList, tri.data(), 3, c.scratch);
        vp = c.FullViewport();
        vp.maxZ = f;
        DrawLVertices(c.Target(), c.Depth(), vp, st, id, kPrimTriangleList, tri.data(), 3, c.scratch);
    }
    EXPECT_EQ(c.CountNonZero(), 0);
    // A viewport larger than the target, and a depth buffer smaller than it.
    raster::Viewport big = c.FullViewport();
    big.x = -1000;
    big.width = 2147483000;
    big.height = 1 << 30;
    st.zEnable = true;
    raster::DepthTarget small = c.Depth();
    small.width = 4;
    small.height = 4;
    DrawLVertices(c.Target(), small, big, st, id, kPrimTriangleList, tri.data(), 3, c.scratch);
    EXPECT_TRUE(c.GuardsIntact());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (x >= 4 || y >= 4) {
                EXPECT_EQ(c.Z(x, y), 0xFFFF);
            }
}

TEST(HostileInput, UnalignedVertexBuffersAreRead)
{
    std::vector<uint8_t> buf(3 * sizeof(LVertex) + 1);
    const LVertex tri[3] = {V(-1, -1), V(1, -1), V(-1, 1)};
    std::memcpy(buf.data() + 1, tri, sizeof tri);
    Canvas c(8, 8);
    const float id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    DrawLVertices(c.Target(), c.Depth(), c.FullViewport(), NoCull(), id, kPrimTriangleList,
                  buf.data() + 1, 3, c.scratch);
    EXPECT_GT(c.CountNonZero(), 20);
}

TEST(HostileTargets, UnalignedTargetsDrawTheSamePicture)
{
    const int w = 9, h = 7;
    const std::vector<LVertex> tri{V(-1, -1, 0.3f), V(1, -0.8f, 0.6f), V(-0.7f, 1, 0.9f)};
    const float id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    States st = NoCull();
    st.zEnable = true;
    std::vector<uint32_t> pictures[2];
    std::vector<uint16_t> depths[2];
    for (int offset = 0; offset < 2; ++offset) {
        // Rows start `offset` bytes past an aligned address, pitches are odd when offset is 1.
        std::vector<uint8_t> color(size_t(h) * (w * 4 + 1) + 8, 0);
        std::vector<uint8_t> depth(size_t(h) * (w * 2 + 1) + 8, 0xFF);
        const int32_t cpitch = w * 4 + offset, dpitch = w * 2 + offset;
        raster::ColorTarget ct{color.data() + offset, cpitch, w, h, PixelLayout{}};
        raster::DepthTarget dt{reinterpret_cast<uint16_t*>(depth.data() + offset), dpitch, w, h};
        Viewport vp;
        vp.width = w;
        vp.height = h;
        Scratch scratch;
        DrawLVertices(ct, dt, vp, st, id, kPrimTriangleList, tri.data(), 3, scratch);
        FillColor(ct, 0, 0, 2, 2, 0x123456u);
        FillDepth(dt, 0, 0, 2, 2, 7);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                pictures[offset].push_back(LoadPixel(color.data() + offset + y * cpitch + x * 4, 32));
                uint16_t z;
                std::memcpy(&z, depth.data() + offset + y * dpitch + x * 2, 2);
                depths[offset].push_back(z);
            }
        }
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(depths[0], depths[1]);
    EXPECT_EQ(pictures[1][0], 0x123456u);
    EXPECT_EQ(depths[1][0], 7);
}
