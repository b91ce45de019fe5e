// The mapping from chunk model and motion to the exported scene, against values worked out by
// hand from the file formats: node transforms, skin weights, strip winding, materials and key
// sampling.
#include "tests/model/ModelBuilder.h"
#include "tools/export/SceneCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace modeltest;
using qmexport::CaptureScene;
using qmexport::ExportScene;

constexpr uint16_t kPositionAngle = kMotionPositionKeys | kMotionAngleKeys;

ExportScene Capture(BodyImage& model, BodyImage& motion, bool keysOnly = false, float fps = 30.0f) {
    qmexport::CaptureOptions options;
    options.keysOnly = keysOnly;
    options.framesPerSecond = fps;
    return CaptureScene(model.Body(), motion.Body(), options, {});
}

// v rotated by the unit quaternion q (x, y, z, w).
void Rotate(const float q[4], const double v[3], double out[3]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double t[3] = {2 * (y * v[2] - z * v[1]), 2 * (z * v[0] - x * v[2]), 2 * (x * v[1] - y * v[0])};
    out[0] = v[0] + w * t[0] + (y * t[2] - z * t[1]);
    out[1] = v[1] + w * t[1] + (z * t[0] - x * t[2]);
    out[2] = v[2] + w * t[2] + (x * t[1] - y * t[0]);
}

// A column-major 4x4 matrix applied to a point.
void Apply(const float m[16], const double p[3], double out[3]) {
    for (int r = 0; r < 3; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
}

BodyImage NoMotion() { return BuildMotion(0, 0, {}, 1); }

TEST(ExportMapping, NodeRotationsFollowTheStoredOrderFlag) {
    struct Case {
        uint32_t flags;
        int32_t rotation[3];
        double point[3];
        double expected[3];
    };
    // 0x4000 units are 1.57 radians, just short of a right angle (hence the 0.0008).
    const Case cases[] = {
        {0x00, {0, 0x4000, 0}, {1, 0, 0}, {0.0008, 0, -1.0}},
        {0x00, {0x4000, 0, 0x4000}, {0, 1, 0}, {-0.0008, 0, 1.0}},  // about x, then z
        {0x20, {0x4000, 0, 0x4000}, {0, 1, 0}, {-1.0, 0, 0.0008}},  // about z, then x
    };
    for (const Case& c : cases) {
        ModelBuilder m;
        NodeSpec node;
        node.flags = c.flags;
        for (int i = 0; i < 3; ++i) node.rotation[i] = c.rotation[i];
        m.Node(node);
        BodyImage model = m.Finish();
        BodyImage motion = NoMotion();
        const ExportScene scene = Capture(model, motion);
        ASSERT_EQ(scene.nodes.size(), 1u);
        double out[3];
        Rotate(scene.nodes[0].rotation, c.point, out);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c.expected[i], 2e-4) << "flags " << c.flags << " axis " << i;
    }
}

TEST(ExportMapping, NodesKeepTheirStoredTransformsAndInverseBindMatrices) {
    // Root at (1, 2, 3) scaled by 2, a child at (0, 1, 0), a sibling of the child at (0, 0, -1).
    ModelBuilder m;
    NodeSpec rootSpec;
    rootSpec.position[0] = 1;
    rootSpec.position[1] = 2;
    rootSpec.position[2] = 3;
    rootSpec.scale[0] = rootSpec.scale[1] = rootSpec.scale[2] = 2;
    const uint32_t root = m.Node(rootSpec);
    NodeSpec childSpec;
    childSpec.position[1] = 1;
    const uint32_t child = m.Node(childSpec);
    NodeSpec siblingSpec;
    siblingSpec.position[2] = -1;
    const uint32_t sibling = m.Node(siblingSpec);
    m.Child(root, child);
    m.Sibling(child, sibling);
    BodyImage model = m.Finish();
    BodyImage motion = NoMotion();
    const ExportScene scene = Capture(model, motion);

    ASSERT_EQ(scene.nodes.size(), 3u);
    EXPECT_EQ(scene.nodes[0].name, "node_00");
    EXPECT_EQ(scene.nodes[2].name, "node_02");
    EXPECT_EQ(scene.roots, std::vector<int32_t>{0});
    EXPECT_EQ(scene.nodes[0].children, (std::vector<int32_t>{1, 2}));
    EXPECT_FLOAT_EQ(scene.nodes[0].translation[1], 2.0f);
    EXPECT_FLOAT_EQ(scene.nodes[0].scale[2], 2.0f);
    EXPECT_FLOAT_EQ(scene.nodes[2].translation[2], -1.0f);
    // The child's origin lies at (1, 2 + 2, 3) and the sibling's at (1, 2, 3 - 2) in the model;
    // each inverse bind matrix takes its node's origin back to (0, 0, 0) and one unit along its
    // x axis (two model units) to (1, 0, 0).
    const double origins[3][3] = {{1, 2, 3}, {1, 4, 3}, {1, 2, 1}};
    for (int n = 0; n < 3; ++n) {
        double out[3];
        Apply(scene.nodes[static_cast<size_t>(n)].inverseBind, origins[n], out);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], 0.0, 1e-6) << "node " << n;
        const double along[3] = {origins[n][0] + 2, origins[n][1], origins[n][2]};
        Apply(scene.nodes[static_cast<size_t>(n)].inverseBind, along, out);
        EXPECT_NEAR(out[0], 1.0, 1e-6);
    }
}

TEST(ExportMapping, WeightedEntriesAreBoundToEveryNodeThatWroteThem) {
    // A lower node writes entries 0-3 in mode 0 (entries 2-3 at weight 128); an upper node at
    // (0, 1, 0) adds weight 127 to entries 2-3 in mode 2 and writes 4-5 itself.
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t lower = m.Node();
    NodeSpec upperSpec;
    upperSpec.position[1] = 1;
    const uint32_t upper = m.Node(upperSpec);
    m.Child(root, lower);
    m.Child(lower, upper);
    const uint32_t lowerList = m.StartList();
    m.VertexChunk(0x2C, 0x00, 0,
                  {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1}, {-0.5f, 1, 0, 0, 0, 1}, {0.5f, 1, 0, 1, 0, 0}},
                  {255u << 16, 255u << 16, 128u << 16, 128u << 16});
    m.EndVertices();
    m.Model(lower, lowerList, 0);
    const uint32_t upperList = m.StartList();
    m.VertexChunk(0x2C, 0x02, 0, {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 1, 0}}, {(127u << 16) | 2u, (127u << 16) | 3u});
    m.VertexChunk(0x29, 0x00, 4, {{-0.5f, 1, 0, 0, 0, 1}, {0.5f, 1, 0, 0, 0, 1}});
    m.EndVertices();
    const uint32_t polygons = m.StartList();
    m.Words({0x0011, 0x0002});
    m.Color(0xFF808080);
    m.Strips(0x40, {{0, 1, 2, 3, 4, 5}});
    m.EndPolygons();
    m.Model(upper, upperList, polygons);
    BodyImage model = m.Finish();
    BodyImage motion = NoMotion();
    const ExportScene scene = Capture(model, motion);

    ASSERT_EQ(scene.primitives.size(), 1u);
    const auto& vertices = scene.primitives[0].vertices;
    ASSERT_EQ(vertices.size(), 6u);  // first use order: entries 0 to 5
    struct Expected {
        double position[3];
        uint16_t joints[2];
        double weights[2];
    };
    const Expected expected[6] = {
        {{-0.5, 0, 0}, {1, 0}, {1, 0}},
        {{0.5, 0, 0}, {1, 0}, {1, 0}},
        {{-0.5, 1, 0}, {1, 2}, {128.0 / 255, 127.0 / 255}},
        {{0.5, 1, 0}, {1, 2}, {128.0 / 255, 127.0 / 255}},
        {{-0.5, 2, 0}, {2, 0}, {1, 0}},
        {{0.5, 2, 0}, {2, 0}, {1, 0}},
    };
    for (size_t v = 0; v < 6; ++v) {
        SCOPED_TRACE("vertex " + std::to_string(v));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(vertices[v].position[i], expected[v].position[i], 1e-5);
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(vertices[v].weights[k], expected[v].weights[k], 1e-6);
            if (expected[v].weights[k] > 0) {
                EXPECT_EQ(vertices[v].joints[k], expected[v].joints[k]);
            }
        }
        EXPECT_FLOAT_EQ(vertices[v].weights[0] + vertices[v].weights[1] + vertices[v].weights[2] + vertices[v].weights[3], 1.0f);
    }
    // Entry 3's normal is the blend of (1, 0, 0) at 128 and (0, 1, 0) at 127, made unit length.
    const double length = std::hypot(128.0, 127.0);
    EXPECT_NEAR(vertices[3].normal[0], 128.0 / length, 1e-5);
    EXPECT_NEAR(vertices[3].normal[1], 127.0 / length, 1e-5);
}

// A quad of entries 0 (0,0), 1 (1,0), 2 (0,1), 3 (1,1) in the z = 0 plane, normals along
// `normalZ`, drawn as one strip of `order`, its length negated when asked.
ExportScene Quad(float normalZ, const std::vector<uint16_t>& order, bool negative) {
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t list = m.StartList();
    m.VertexChunk(0x29, 0, 0,
                  {{0, 0, 0, 0, 0, normalZ}, {1, 0, 0, 0, 0, normalZ}, {0, 1, 0, 0, 0, normalZ}, {1, 1, 0, 0, 0, normalZ}});
    m.EndVertices();
    const uint32_t polygons = m.StartList();
    m.Strips(0x40, {order}, 0, negative);
    m.EndPolygons();
    m.Model(root, list, polygons);
    BodyImage model = m.Finish();
    BodyImage motion = NoMotion();
    return Capture(model, motion);
}

TEST(ExportMapping, StripsBecomeTrianglesFacingTheirNormalsWhateverTheLengthSign) {
    for (float normalZ : {1.0f, -1.0f}) {
        for (bool negative : {false, true}) {
            SCOPED_TRACE("normal z " + std::to_string(normalZ) + (negative ? ", negative length" : ""));
            // Every three consecutive vertices draw one triangle; the one naming entry 2 twice
            // draws nothing.
            const ExportScene scene = Quad(normalZ, {0, 1, 2, 3, 3}, negative);
            ASSERT_EQ(scene.primitives.size(), 1u);
            const auto& p = scene.primitives[0];
            ASSERT_EQ(p.indices.size(), 6u);
            std::vector<std::vector<int>> corners;
            for (size_t t = 0; t < 6; t += 3) {
                const float* a = p.vertices[p.indices[t]].position;
                const float* b = p.vertices[p.indices[t + 1]].position;
                const float* c = p.vertices[p.indices[t + 2]].position;
                // Counter-clockwise seen from where the normals point.
                const double crossZ = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
                EXPECT_GT(crossZ * normalZ, 0.0) << "triangle " << t / 3;
                std::vector<int> entries;
                for (const float* v : {a, b, c}) entries.push_back(static_cast<int>(v[0] + 2 * v[1]));
                std::sort(entries.begin(), entries.end());
                corners.push_back(entries);
            }
            EXPECT_EQ(corners, (std::vector<std::vector<int>>{{0, 1, 2}, {1, 2, 3}}));
        }
    }
}

TEST(ExportMapping, OneMaterialPerMaterialChunkWithItsColourAlphaAndTexture) {
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t list = m.StartList();
    m.VertexChunk(0x29, 0, 0, {{0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}});
    m.EndVertices();
    const uint32_t polygons = m.StartList();
    m.Words({0x0011, 0x0002});
    m.Color(0xFFC49586);  // red 196, green 149, blue 134, opaque
    m.Strips(0x40, {{0, 1, 2}});
    m.Words({0x0014, 0x0002});
    m.Color(0x10FFFFFF);  // colour 2 only: the strips keep colour 0
    m.Strips(0x40, {{1, 2, 3}});
    m.Words({0x0011, 0x0002});
    m.Color(0x80102030);  // half transparent
    m.Strips(0x40, {{0, 1, 3}});
    m.Words({0x0008, 0x0001});  // a texture chunk, then textured strips with u, v / 255
    m.Words({0x0041, 11, 1, 3, 0, 0, 51, 1, 102, 255, 2, 0, 255});
    m.EndPolygons();
    m.Model(root, list, polygons);
    BodyImage model = m.Finish();
    BodyImage motion = NoMotion();
    const uint8_t texel[4] = {1, 2, 3, 4};
    const ExportScene scene =
        CaptureScene(model.Body(), motion.Body(), qmexport::CaptureOptions{}, qmexport::TextureSource{texel, 1, 1});

    ASSERT_EQ(scene.materials.size(), 3u);
    ASSERT_EQ(scene.primitives.size(), 3u);
    const auto& first = scene.materials[0];
    EXPECT_NEAR(first.color[0], 196 / 255.0, 1e-6);
    EXPECT_NEAR(first.color[1], 149 / 255.0, 1e-6);
    EXPECT_NEAR(first.color[2], 134 / 255.0, 1e-6);
    EXPECT_NEAR(first.color[3], 1.0, 1e-6);
    EXPECT_FALSE(first.blend);
    EXPECT_FALSE(first.textured);
    EXPECT_EQ(scene.primitives[0].indices.size(), 6u);  // both strips before the second colour
    const auto& second = scene.materials[1];
    EXPECT_NEAR(second.color[3], 128 / 255.0, 1e-6);
    EXPECT_TRUE(second.blend);
    EXPECT_FALSE(second.textured);
    const auto& third = scene.materials[2];
    EXPECT_TRUE(third.textured);
    EXPECT_NEAR(third.color[0], 0x10 / 255.0, 1e-6);  // the same chunk's colour, now textured
    const auto& textured = scene.primitives[2].vertices;
    ASSERT_EQ(textured.size(), 3u);
    EXPECT_NEAR(textured[0].uv[0], 0.0, 1e-6);
    EXPECT_NEAR(textured[0].uv[1], 51 / 255.0, 1e-6);
    EXPECT_NEAR(textured[1].uv[0], 102 / 255.0, 1e-6);
    EXPECT_NEAR(textured[1].uv[1], 1.0, 1e-6);
    EXPECT_EQ(scene.textureWidth, 1);
    EXPECT_EQ(scene.texturePixels, std::vector<uint8_t>(texel, texel + 4));
}

TEST(ExportMapping, MotionKeysAreSampledAtEveryFrameOrWrittenAsTheyStand) {
    // Node 0: positions 10 at frame 10 and 20 at frame 20 (x); node 1: angles 28672 and
    // -28672 units about z at frames 0 and 10, which the viewer turns the short way through a
    // half turn (3.14 radians at frame 5).
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t child = m.Node();
    m.Child(root, child);
    BodyImage model = m.Finish();
    BodyImage motion = BuildMotion(kPositionAngle, 2,
                                   {{KeyList{true, {{10, 10, 0, 0}, {20, 20, 0, 0}}}, KeyList{false, {}}},
                                    {KeyList{}, KeyList{false, {{0, 0, 0, 28672}, {10, 0, 0, -28672}}}}},
                                   21);

    const ExportScene every = Capture(model, motion);
    ASSERT_EQ(every.channels.size(), 2u);
    const auto& position = every.channels[0];
    EXPECT_EQ(position.node, 0);
    EXPECT_EQ(position.path, qmexport::ChannelPath::Translation);
    ASSERT_EQ(position.times.size(), 21u);  // frames 0 to 20
    EXPECT_FLOAT_EQ(position.times[15], 0.5f);
    EXPECT_FLOAT_EQ(position.values[3 * 15], 15.0f);
    EXPECT_FLOAT_EQ(position.values[3 * 5], 10.0f);  // before the first key: the first key
    const auto& rotation = every.channels[1];
    EXPECT_EQ(rotation.node, 1);
    EXPECT_EQ(rotation.path, qmexport::ChannelPath::Rotation);
    const float* half = &rotation.values[4 * 5];
    EXPECT_NEAR(std::fabs(half[2]), std::sin(3.14 / 2), 1e-5);
    EXPECT_NEAR(std::fabs(half[3]), std::cos(3.14 / 2), 1e-5);
    // Neighbouring keys stay in one hemisphere.
    for (size_t k = 4; k < rotation.values.size(); k += 4) {
        double dot = 0;
        for (int i = 0; i < 4; ++i) dot += rotation.values[k - 4 + i] * rotation.values[k + i];
        EXPECT_GT(dot, 0.0) << "key " << k / 4;
    }

    const ExportScene keys = Capture(model, motion, true, 24.0f);
    ASSERT_EQ(keys.channels.size(), 2u);
    EXPECT_EQ(keys.channels[0].times, (std::vector<float>{10 / 24.0f, 20 / 24.0f}));
    EXPECT_EQ(keys.channels[0].values, (std::vector<float>{10, 0, 0, 20, 0, 0}));
    ASSERT_EQ(keys.channels[1].values.size(), 8u);
    const double a = 28672 * (6.28 / 65536);
    EXPECT_NEAR(std::fabs(keys.channels[1].values[2]), std::sin(a / 2), 1e-5);
}

}  // namespace
