// Vertex chunks: what each chunk type writes into the work buffer, weighted blends across
// nodes, and chunks that do not fit the buffer or the body.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "tests/model/ModelBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace modeltest;

namespace {

void ExpectNear(const Vector3& v, float x, float y, float z, float tol = 1e-4f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

uint32_t Weight(uint32_t weight, uint32_t target = 0) { return (weight << 16) | target; }

// A one-node model whose vertex list the caller fills between the two calls.
struct OneNode {
    ModelBuilder m;
    uint32_t node;
    uint32_t list;
    // The list comes last in the body, so a list without an end runs into the body end.
    explicit OneNode(const NodeSpec& shape = {}) {
        node = m.Node(shape);
        m.Model(node, m.Raw().Size() + static_cast<uint32_t>(sizeof(ChunkModel)), 0);
        list = m.StartList();
    }
    BodyImage Finish(bool end = true) {
        if (end) m.EndVertices();
        return m.Finish();
    }
};

void Fill(Library& lib, float value) {
    for (auto& e : lib.Entries()) e = VertexWorkEntry{{value, value, value}, {value, value, value}};
}

}  // namespace

TEST(VertexChunks, PositionTypesWriteTransformedPointsAndTheConstantNormal) {
    Library lib;
    NodeSpec shape;
    shape.position[0] = 1;
    shape.rotation[2] = 0x4000;
    OneNode one(shape);
    one.m.VertexChunk(0x24, 0, 4, {{1, 0, 0}, {0, 2, 0}});
    one.m.VertexChunk(0x30, 0, 6, {{1, 0, 0}, {0, 2, 0}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    for (int i = 0; i < 2; ++i) {
        const VertexWorkEntry& a = lib.Entry(4 + i);
        const VertexWorkEntry& b = lib.Entry(6 + i);
        EXPECT_EQ(a.position.x, b.position.x);
        EXPECT_EQ(a.position.y, b.position.y);
        EXPECT_EQ(a.position.z, b.position.z);
        ExpectNear(a.normal, 0, 0, 1, 0);
        ExpectNear(b.normal, 0, 0, 1, 0);
    }
    // A right-handed quarter turn about z (1.57 rad) then the translation.
    ExpectNear(lib.Entry(4).position, 1.0008f, 1.0f, 0, 2e-4f);
    ExpectNear(lib.Entry(5).position, -1.0f, 0.0016f, 0, 4e-4f);
}

TEST(VertexChunks, NormalTypeRotatesAndNormalisesNormals) {
    Library lib;
    NodeSpec shape;
    shape.rotation[1] = 0x4000;
    shape.scale[0] = shape.scale[1] = shape.scale[2] = 4;
    OneNode one(shape);
    one.m.VertexChunk(0x29, 0x80, 0, {{0, 0, 1, 3, 0, 0}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).position, 4.0f, 0, 0.0032f, 2e-3f);
    ExpectNear(lib.Entry(0).normal, 0.0008f, 0, -1.0f, 2e-4f);
    EXPECT_NEAR(std::sqrt(lib.Entry(0).normal.x * lib.Entry(0).normal.x + lib.Entry(0).normal.z * lib.Entry(0).normal.z),
                1.0f, 1e-6f);
}

TEST(VertexChunks, ANormalOfLengthZeroStaysZero) {
    Library lib;
    OneNode one;
    one.m.VertexChunk(0x29, 0, 0, {{1, 2, 3, 0, 0, 0}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).normal, 0, 0, 0, 0);
    EXPECT_FALSE(std::isnan(lib.Entry(0).normal.x));
}

TEST(VertexChunks, LongChunksWriteWhatOneVertexChunksWrite) {
    // Nine vertices in one chunk (transformed several at a time) against nine chunks of one,
    // bit for bit, under a turned, scaled and moved node; zero, huge and non-finite values too.
    const float nan = std::nanf("");
    const std::vector<std::vector<float>> vertices = {
        {1, 2, 3, 0, 0, 1},        {-0.5f, 0.25f, 7, 0.3f, -0.4f, 0.5f}, {0, 0, 0, 0, 0, 0},
        {1e30f, -1e-30f, 5, 1e-30f, 0, 0}, {3, -2, 1, 1e30f, 1e30f, 0},  {nan, 1, 2, 0, nan, 1},
        {INFINITY, 0, 1, 0, INFINITY, 0},  {0.1f, 0.2f, 0.3f, -0.0f, -1, 0}, {9, 8, 7, 2, 3, 4},
    };
    NodeSpec shape;
    shape.position[0] = 0.75f;
    shape.position[2] = -2;
    shape.rotation[0] = 0x1234;
    shape.rotation[1] = -0x2345;
    shape.scale[1] = 1.5f;
    Library lib;
    OneNode one(shape);
    one.m.VertexChunk(0x29, 0, 0, vertices);
    for (size_t i = 0; i < vertices.size(); ++i) one.m.VertexChunk(0x29, 0, static_cast<uint16_t>(20 + i), {vertices[i]});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    for (size_t i = 0; i < vertices.size(); ++i) {
        EXPECT_EQ(std::memcmp(&lib.Entry(i), &lib.Entry(20 + i), sizeof(VertexWorkEntry)), 0) << "vertex " << i;
    }
    EXPECT_EQ(lib.Entry(2).normal.x, 0.0f);  // the zero normal is not divided
    EXPECT_NEAR(lib.Entry(8).normal.x * lib.Entry(8).normal.x + lib.Entry(8).normal.y * lib.Entry(8).normal.y +
                    lib.Entry(8).normal.z * lib.Entry(8).normal.z, 1.0f, 1e-6f);
}

TEST(VertexChunks, WeightedBlendAcrossTwoNodes) {
    Library lib;
    ModelBuilder m;
    NodeSpec a;
    a.position[0] = 2;
    const uint32_t root = m.Node(a);
    const uint32_t rootList = m.StartList();
    m.VertexChunk(0x2C, 0, 10, {{1, 0, 0, 0, 1, 0}}, {Weight(128)});
    m.EndVertices();
    m.Model(root, rootList, 0);
    NodeSpec b;
    b.position[1] = 3;
    b.rotation[2] = 0x4000;
    const uint32_t child = m.Node(b);
    const uint32_t childList = m.StartList();
    m.VertexChunk(0x2C, 2, 0, {{1, 0, 0, 0, 1, 0}}, {Weight(127, 10)});
    m.EndVertices();
    m.Model(child, childList, 0);
    m.Child(root, child);
    BodyImage model = m.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);

    // P1 = (3, 0, 0), N1 = (0, 1, 0); P2 = root + child transform of (1, 0, 0), N2 = the
    // quarter-turned normal, computed independently with the library's matrix stack.
    mdlResetMatrixStack();
    mdlTranslate(2, 0, 0);
    mdlTranslate(0, 3, 0);
    mdlRotateZ(-mdlAngleToRadians(0x4000));
    const Vector3 p2 = mdlTransformPoint(1, 0, 0);
    const Vector3 n2 = mdlTransformNormal(0, 1, 0);
    const float w1 = 128 * 0.003921569f, w2 = 127 * 0.003921569f;
    ExpectNear(lib.Entry(10).position, w1 * 3 + w2 * p2.x, w2 * p2.y, w2 * p2.z);
    const Vector3 n{w2 * n2.x, w1 + w2 * n2.y, w2 * n2.z};
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    ExpectNear(lib.Entry(10).normal, n.x / len, n.y / len, n.z / len);
}

TEST(VertexChunks, WeightedModesZeroWeightAndModeThree) {
    Library lib;
    Fill(lib, 5);
    OneNode one;
    // Mode 0, weight 0: zeroes entry 0. Mode 1, weight 0 onto entry 1: adds nothing.
    one.m.VertexChunk(0x2C, 0, 0, {{1, 1, 1, 1, 0, 0}}, {Weight(0, 99)});
    one.m.VertexChunk(0x2C, 1, 0, {{1, 1, 1, 1, 0, 0}}, {Weight(0, 1)});
    // Mode 1 with weight 255 onto entry 2 adds the point; mode 3 writes nothing anywhere.
    one.m.VertexChunk(0x2C, 0x81, 0, {{1, 2, 3, 1, 0, 0}}, {Weight(255, 2)});
    one.m.VertexChunk(0x2C, 3, 3, {{1, 2, 3, 1, 0, 0}}, {Weight(255, 4)});
    // The weight is the whole upper half-word: 510 stands for 2.0.
    one.m.VertexChunk(0x2C, 1, 0, {{1, 2, 3, 1, 0, 0}}, {Weight(510, 5)});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).position, 0, 0, 0, 0);
    ExpectNear(lib.Entry(0).normal, 0, 0, 0, 0);
    ExpectNear(lib.Entry(99).position, 5, 5, 5, 0);  // mode 0 ignores the target bits
    ExpectNear(lib.Entry(1).position, 5, 5, 5, 0);
    ExpectNear(lib.Entry(2).position, 6, 7, 8);
    ExpectNear(lib.Entry(3).position, 5, 5, 5, 0);
    ExpectNear(lib.Entry(4).position, 5, 5, 5, 0);
    ExpectNear(lib.Entry(5).position, 7, 9, 11);
}

TEST(VertexChunks, ModeTwoLeavesAZeroSumNormalZero) {
    Library lib;
    OneNode one;
    one.m.VertexChunk(0x2C, 0, 7, {{1, 0, 0, 0, 0, 0}}, {Weight(255)});
    one.m.VertexChunk(0x2C, 2, 0, {{1, 0, 0, 0, 0, 0}}, {Weight(255, 7)});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(7).position, 2, 0, 0);
    ExpectNear(lib.Entry(7).normal, 0, 0, 0, 0);
    EXPECT_FALSE(std::isnan(lib.Entry(7).normal.x));
}

TEST(VertexChunkList, SkipsSpareWordsAndUnknownTypesBySize) {
    Library lib;
    Fill(lib, -1);
    OneNode one;
    one.m.VertexChunk(0x24, 0, 0, {{1, 1, 1}}, {}, 3);
    // An unknown type whose words would be garbage as vertices.
    one.m.Raw().AppendU16(0x0027);
    one.m.Raw().AppendU16(2);
    one.m.Raw().AppendU32(0x00010005);
    one.m.Raw().AppendU32(0x7FC00000);
    one.m.VertexChunk(0x24, 0, 1, {{2, 2, 2}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).position, 1, 1, 1, 0);
    ExpectNear(lib.Entry(1).position, 2, 2, 2, 0);
    ExpectNear(lib.Entry(5).position, -1, -1, -1, 0);
}

TEST(VertexChunkList, EndChunkFirstWritesNothing) {
    Library lib;
    Fill(lib, -1);
    OneNode one;
    one.m.EndVertices();
    one.m.VertexChunk(0x24, 0, 0, {{1, 1, 1}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).position, -1, -1, -1, 0);
}

TEST(VertexChunkBounds, IndicesPastCapacityAreClipped) {
    Library lib;
    // A 10-entry work buffer inside 12 entries: the two spare ones must stay untouched.
    std::vector<VertexWorkEntry> buffer(12, VertexWorkEntry{{-1, -1, -1}, {-1, -1, -1}});
    mdlSetVertexBuffer(buffer.data(), 10 * 24);
    OneNode one;
    one.m.VertexChunk(0x24, 0, 8, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    one.m.VertexChunk(0x29, 0, 9, {{5, 0, 0, 0, 0, 1}, {6, 0, 0, 0, 0, 1}});
    one.m.VertexChunk(0x2C, 0, 9, {{7, 0, 0, 0, 0, 1}, {8, 0, 0, 0, 0, 1}}, {Weight(255), Weight(255)});
    one.m.VertexChunk(0x2C, 1, 0, {{9, 0, 0, 0, 0, 1}}, {Weight(255, 10)});
    one.m.VertexChunk(0x24, 0, 0xFFFF, {{1, 0, 0}});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(buffer[8].position.x, 1);
    EXPECT_EQ(buffer[9].position.x, 7);
    for (int i = 10; i < 12; ++i) ExpectNear(buffer[i].position, -1, -1, -1, 0);
}

TEST(VertexChunkBounds, VerticesBeyondTheChunkOrBodyAreNotRead) {
    Library lib;
    Fill(lib, -1);
    OneNode one;
    // Declares 3 vertices but its size word covers one: only one is read, and the next chunk
    // starts where the size word says.
    one.m.Raw().AppendU16(0x0024);
    one.m.Raw().AppendU16(1 + 4);
    one.m.Raw().AppendU16(0);
    one.m.Raw().AppendU16(3);
    for (float f : {1.0f, 1.0f, 1.0f, 0.0f}) one.m.Raw().AppendF32(f);
    one.m.VertexChunk(0x24, 0, 1, {{2, 2, 2}});
    // A last chunk whose size runs past the body end, and no end chunk.
    one.m.Raw().AppendU16(0x0024);
    one.m.Raw().AppendU16(0xFFFF);
    one.m.Raw().AppendU16(2);
    one.m.Raw().AppendU16(100);
    for (float f : {3.0f, 3.0f, 3.0f, 0.0f}) one.m.Raw().AppendF32(f);
    BodyImage model = one.Finish(false);
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(0).position, 1, 1, 1, 0);
    ExpectNear(lib.Entry(1).position, 2, 2, 2, 0);
    ExpectNear(lib.Entry(2).position, 3, 3, 3, 0);
    ExpectNear(lib.Entry(2 + 1).position, -1, -1, -1, 0);
}

TEST(VertexChunkBounds, ListWithoutEndChunkStopsAtTheBodyEnd) {
    Library lib;
    ModelBuilder m;
    const uint32_t node = m.Node();
    const uint32_t model = m.StartList();
    m.Raw().AppendRecord(ChunkModel{});
    m.Raw().PutPointer(node + 4, model);
    const uint32_t list = m.StartList();
    m.Raw().PutPointer(model, list);
    for (int i = 0; i < 4; ++i) m.VertexChunk(0x24, 0, static_cast<uint16_t>(i), {{1, 1, 1}});
    BodyImage body = m.Finish();
    ASSERT_EQ(mdlDrawMotion(body.Body(), {}, 0), 0);
    ExpectNear(lib.Entry(3).position, 1, 1, 1, 0);
}

TEST(VertexChunkBounds, NonFinitePositionsAreCarriedNotConverted) {
    Library lib;
    OneNode one;
    one.m.VertexChunk(0x29, 0, 0, {{INFINITY, std::nanf(""), 1, std::nanf(""), INFINITY, 0}});
    one.m.VertexChunk(0x2C, 2, 0, {{INFINITY, 1, 1, INFINITY, 0, 0}}, {Weight(255, 0)});
    BodyImage model = one.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_TRUE(std::isnan(lib.Entry(0).position.y));
}
