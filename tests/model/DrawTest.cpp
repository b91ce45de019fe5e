// Strips drawn through a real render context on the software device: what reaches the device
// (strip and vertex counts), what every vertex carries, and the picture of a posed arm.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "platform/trace/CallTrace.h"
#include "platform/ddraw/Machine.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"
#include "tests/model/DrawScene.h"
#include "tests/model/ModelBuilder.h"
#include "tests/model/SampleModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace modeltest;

namespace {

struct Box {
    int left = 640, top = 480, right = -1, bottom = -1;
    int pixels = 0;
};

Box FindColor(const HeadlessWindow& w, uint32_t rgb) {
    Box b;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if ((w.Pixel(x, y) & 0xFFFFFFu) != rgb) continue;
            b.left = std::min(b.left, x);
            b.right = std::max(b.right, x);
            b.top = std::min(b.top, y);
            b.bottom = std::max(b.bottom, y);
            ++b.pixels;
        }
    }
    return b;
}

// A one-node model: a 0x29 chunk writing `entries` points along x, then `polygons` builds the
// list (its material chunk included).
template <class Polygons>
BodyImage StripModel(int entries, Polygons polygons) {
    ModelBuilder m;
    const uint32_t node = m.Node();
    const uint32_t vertices = m.StartList();
    std::vector<std::vector<float>> points;
    for (int i = 0; i < entries; ++i)
        points.push_back({0.2f * static_cast<float>(i / 2), 0.5f * static_cast<float>(i % 2), 0, 0, 0, 1});
    m.VertexChunk(0x29, 0, 0, points);
    m.EndVertices();
    const uint32_t list = m.StartList();
    m.Words({0x0011, 0});
    m.Color(0xFF2080C0);
    polygons(m);
    m.EndPolygons();
    m.Model(node, vertices, list);
    return m.Finish();
}

}  // namespace

TEST(StripDrawing, TwoBoneArmSendsTwoFourVertexStripsInItsColour) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    SampleAsset arm = TwoBoneArm();
    BodyImage model(arm.model.Bytes()), motion(arm.motion.Bytes());
    platform::ScopedCallTrace trace;
    scene.Draw(model.Body(), motion.Body(), 0.0f);
    EXPECT_EQ(StripsSent(), (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(scene.rc.m_color, kArmColor);
    EXPECT_NEAR(scene.rc.m_material.diffuse.x, 0xC0 * 0.003921569f, 1e-6f);
    EXPECT_NEAR(scene.rc.m_material.specular.z, 0x20 * 0.003921569f, 1e-6f);
}

TEST(StripDrawing, ArmPosedAtTwoFramesBendsInThePicture) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    SampleAsset arm = TwoBoneArm();
    BodyImage model(arm.model.Bytes()), motion(arm.motion.Bytes());
    const uint32_t rgb = kArmColor & 0xFFFFFFu;

    scene.Draw(model.Body(), motion.Body(), 0.0f);
    const Box straight = FindColor(scene.window, rgb);
    scene.Draw(model.Body(), motion.Body(), 10.0f);
    const Box bent = FindColor(scene.window, rgb);

    ASSERT_GT(straight.pixels, 1000);
    ASSERT_GT(bent.pixels, 1000);
    // Upright: about twice as tall as wide. Bent at 1.57 rad: the upper bone points to -x, so
    // the arm reaches further left and not as high.
    EXPECT_GT(straight.bottom - straight.top, (straight.right - straight.left) * 3 / 2);
    EXPECT_LT(bent.left, straight.left - 40);
    EXPECT_GT(bent.top, straight.top + 40);
    EXPECT_NEAR(bent.right, straight.right, 2);
    EXPECT_NEAR(bent.bottom, straight.bottom, 2);
    // The picture's centre column below the elbow is arm in both poses.
    const int x = (straight.left + straight.right) / 2;
    EXPECT_EQ(scene.window.Pixel(x, straight.bottom - 5) & 0xFFFFFFu, rgb);
}

TEST(StripDrawing, EmitVertexWritesColourMaterialAndEyeSpaceNormal) {
    Library lib;
    Scene scene;
    scene.rc.m_modelview.RotateY(0.5f);
    const VertexWorkEntry e{{1, 2, 3}, {0, 0, 1}};
    mdlEmitVertex(e, MaterialColor{196, 149, 134, 255});
    EXPECT_EQ(scene.rc.m_color, 0xFFC49586u);
    EXPECT_NEAR(scene.rc.m_material.diffuse.y, 149 * 0.003921569f, 1e-7f);
    EXPECT_EQ(scene.rc.m_material.specular.x, scene.rc.m_material.diffuse.x);
    const Vector3 expected = scene.rc.m_modelview.TransformDirection(0, 0, 1);
    EXPECT_FLOAT_EQ(scene.rc.m_normal.x, expected.x);
    EXPECT_FLOAT_EQ(scene.rc.m_normal.z, expected.z);
    EXPECT_GT(std::fabs(expected.x), 0.4f);

    // Row-vector model-view: n' = n times the upper 3 x 3 (n'x = nx m0 + ny m4 + nz m8), with
    // the translation left out and no normalising; every element distinct, so a transposed
    // or translated product shows.
    Matrix4& mv = scene.rc.m_modelview.m_current;
    for (int k = 0; k < 16; ++k) mv.m[k] = static_cast<float>(k + 1) * (k % 3 == 0 ? -1.0f : 1.0f);
    mdlEmitVertex(VertexWorkEntry{{0, 0, 0}, {1, 2, 3}}, MaterialColor{});
    EXPECT_FLOAT_EQ(scene.rc.m_normal.x, 1 * -1 + 2 * 5 + 3 * 9);
    EXPECT_FLOAT_EQ(scene.rc.m_normal.y, 1 * 2 + 2 * 6 + 3 * -10);
    EXPECT_FLOAT_EQ(scene.rc.m_normal.z, 1 * 3 + 2 * -7 + 3 * 11);
}

TEST(StripDrawing, NegativeAndPositiveLengthsDrawTheSameTriangles) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    BodyImage positive = StripModel(6, [](ModelBuilder& m) { m.Strips(0x40, {{0, 1, 2, 3, 4}}); });
    BodyImage negative = StripModel(6, [](ModelBuilder& m) { m.Strips(0x40, {{0, 1, 2, 3, 4}}, 0, true); });
    platform::ScopedCallTrace trace;
    scene.Draw(positive.Body(), {}, 0);
    const std::vector<uint32_t> pixels = scene.window.Pixels();
    EXPECT_GT(FindColor(scene.window, 0x2080C0).pixels, 100);
    scene.Draw(negative.Body(), {}, 0);
    EXPECT_EQ(scene.window.Pixels(), pixels);
    EXPECT_EQ(StripsSent(), (std::vector<uint32_t>{5, 5}));
}

TEST(StripDrawing, UserWordsAndWiderRecordsAreSkipped) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    platform::ScopedCallTrace trace;
    for (uint8_t type : {0x40, 0x41, 0x42, 0x43}) {
        BodyImage model = StripModel(8, [&](ModelBuilder& m) {
            m.Strips(type, {{0, 1, 2, 3}, {4, 5, 6, 7, 6}}, 2);
            m.Strips(type, {{1, 2, 3}}, 3);
            // Read only if the strip chunks above were walked by their size word.
            m.Words({0x0011, 0});
            m.Color(0xFF0000FF);
        });
        scene.Draw(model.Body(), {}, 0);
        EXPECT_EQ(scene.rc.m_color, 0xFF2080C0u) << int(type);  // strips drew in colour 0 at the time
        EXPECT_EQ(mdlGetState()->materialColors[0].blue, 255) << int(type);
    }
    EXPECT_EQ(StripsSent(), (std::vector<uint32_t>{4, 5, 3, 4, 5, 3, 4, 5, 3, 4, 5, 3}));
}

TEST(StripDrawing, EmptyStripsAndAnEndFirstListDrawNothing) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    BodyImage model = StripModel(4, [](ModelBuilder& m) {
        m.Strips(0x40, {});
        m.Strips(0x40, {{}});
    });
    BodyImage endFirst = StripModel(4, [](ModelBuilder& m) {
        m.EndPolygons();
        m.Strips(0x40, {{0, 1, 2, 3}});
    });
    platform::ScopedCallTrace trace;
    scene.Draw(model.Body(), {}, 0);
    scene.Draw(endFirst.Body(), {}, 0);
    EXPECT_TRUE(StripsSent().empty());
}

TEST(StripBounds, StripIndicesPastCapacityClipTheStrip) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    // Long strips too: the model sends a strip's vertices in runs of at most 64.
    std::vector<uint16_t> longStrip, longClipped;
    for (uint16_t i = 0; i < 150; ++i) longStrip.push_back(i % 6);
    longClipped = longStrip;
    longClipped[100] = 2048;
    BodyImage model = StripModel(6, [&](ModelBuilder& m) {
        m.Strips(0x40, {{0, 1, 2, 2048, 3, 4}, {0xFFFF, 1, 2}, {1, 2, 3, 4}, longStrip, longClipped});
    });
    platform::ScopedCallTrace trace;
    scene.Draw(model.Body(), {}, 0);
    EXPECT_EQ(StripsSent(), (std::vector<uint32_t>{3, 4, 150, 100}));
}

TEST(StripBounds, StripChunkCutShortStopsAtItsEnd) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    // Claims 3 strips of 4, holds one and a half: the half strip ends at the chunk end, and
    // the walk goes on after the size word.
    BodyImage model = StripModel(6, [](ModelBuilder& m) {
        m.Words({0x0040, 1 + 5 + 3, 3, 4, 0, 1, 2, 3, 4, 0, 1});
        m.Words({0x0011, 0});
        m.Color(0xFF00FF00);
    });
    platform::ScopedCallTrace trace;
    scene.Draw(model.Body(), {}, 0);
    EXPECT_EQ(StripsSent(), (std::vector<uint32_t>{4, 2}));
    EXPECT_EQ(mdlGetState()->materialColors[0].green, 255);
}

TEST(StripDrawing, FigureDrawsAllItsStripsEveryFrame) {
    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    SampleAsset figure = Figure();
    BodyImage model(figure.model.Bytes()), motion(figure.motion.Bytes());
    platform::ScopedCallTrace trace;
    scene.Draw(model.Body(), motion.Body(), 0.0f);
    const std::vector<uint32_t> first = StripsSent();
    uint32_t vertices = 0;
    for (uint32_t c : first) vertices += c;
    EXPECT_EQ(first.size(), 201u);
    EXPECT_GT(vertices, 2900u);
    EXPECT_LT(vertices, 3100u);
    platform::CallTrace::Clear();
    scene.Draw(model.Body(), motion.Body(), 45.5f);
    EXPECT_EQ(StripsSent(), first);
}
