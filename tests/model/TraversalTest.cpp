// The library's matrix stack, node transforms and the object tree walk, observed through the
// work-buffer entries each node's vertex chunk writes.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "tests/model/ModelBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

using namespace modeltest;

namespace {

void Poke(BodyImage& image, uint32_t offset, uint32_t value) { std::memcpy(image.Data() + offset, &value, 4); }

// A node whose model writes the point (px, py, pz) into work entry `entry`.
uint32_t PointNode(ModelBuilder& m, const NodeSpec& shape, uint16_t entry, float px = 1, float py = 0, float pz = 0) {
    const uint32_t node = m.Node(shape);
    const uint32_t list = m.StartList();
    m.VertexChunk(0x24, 0, entry, {{px, py, pz}});
    m.EndVertices();
    m.Model(node, list, 0);
    return node;
}

void ExpectNear(const Vector3& v, float x, float y, float z, float tol = 1e-3f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

}  // namespace

TEST(LibrarySetup, SecondInitIsRefusedAndBuffersTakeWholeEntries) {
    mdlInit();
    EXPECT_EQ(mdlInit(), 1);
    alignas(16) static float buffer[64 * 16 + 8];
    EXPECT_EQ(mdlSetVertexBuffer(buffer, 24 * 5 + 23), 0);
    EXPECT_EQ(mdlGetState()->vertexCapacity, 5);
    EXPECT_EQ(mdlSetMatrixBuffer(buffer, 64 * 3 + 63), 0);
    EXPECT_EQ(mdlGetState()->matrixCapacity, 3);
    // A negative size holds nothing rather than a negative capacity.
    EXPECT_EQ(mdlSetMatrixBuffer(buffer, -64), 1);
    EXPECT_EQ(mdlGetState()->matrixCapacity, 0);
    EXPECT_EQ(mdlSetVertexBuffer(buffer, -24), 1);
    EXPECT_EQ(mdlGetState()->vertexCapacity, 0);
}

TEST(LibrarySetup, DrawWithoutAMatrixBufferOrRootIsRefused) {
    Library lib;
    ModelBuilder m;
    PointNode(m, {}, 0);
    BodyImage model = m.Finish();
    EXPECT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    EXPECT_EQ(mdlDrawMotion(ChunkBody{}, {}, 0.0f), 1);
    // A body too short for the root node.
    EXPECT_EQ(mdlDrawMotion(ChunkBody{model.Data(), 52}, {}, 0.0f), 1);
    mdlSetMatrixBuffer(nullptr, 0);
    EXPECT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 1);
}

TEST(MatrixStack, PushStopsOneShortOfCapacityAndPopStopsAtZero) {
    Library lib;
    mdlResetMatrixStack();
    for (int i = 0; i < 63; ++i) ASSERT_EQ(mdlPushMatrix(), 0) << i;
    EXPECT_EQ(mdlPushMatrix(), 1);
    EXPECT_EQ(mdlGetState()->matrixDepth, 63);
    for (int i = 0; i < 63; ++i) ASSERT_EQ(mdlPopMatrix(), 0);
    EXPECT_EQ(mdlPopMatrix(), 1);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
}

TEST(MatrixStack, PushCopiesTheTopAndPopRestoresTheParent) {
    Library lib;
    mdlResetMatrixStack();
    mdlTranslate(1, 2, 3);
    mdlPushMatrix();
    mdlScale(2, 2, 2);
    ExpectNear(mdlTransformPoint(1, 1, 1), 3, 4, 5);
    mdlPopMatrix();
    ExpectNear(mdlTransformPoint(1, 1, 1), 2, 3, 4);
}

TEST(MatrixStack, ColumnVectorOrderScalesThenRotatesThenTranslates) {
    Library lib;
    mdlResetMatrixStack();
    mdlTranslate(10, 0, 0);
    mdlRotateZ(-1.5707963f);  // right-handed quarter turn about z
    mdlScale(2, 1, 1);
    ExpectNear(mdlTransformPoint(1, 0, 0), 10, 2, 0);
    Matrix4 loaded;
    MatrixIdentity(&loaded);
    loaded.m[3] = 7;
    mdlLoadMatrix(loaded);
    ExpectNear(mdlTransformPoint(0, 0, 0), 7, 0, 0);
}

TEST(MatrixStack, RotationsMultiplyOnTheRightWithTheirOwnElements) {
    Library lib;
    const float a = 0.7f, c = std::cos(a), s = std::sin(a);
    // Element k of each rotation's matrix (identity elsewhere), as the library defines them.
    struct Case {
        int (*rotate)(float);
        std::vector<std::pair<int, float>> elements;
    };
    const Case cases[] = {{mdlRotateX, {{5, c}, {6, s}, {9, -s}, {10, c}}},
                          {mdlRotateY, {{0, c}, {2, -s}, {8, s}, {10, c}}},
                          {mdlRotateZ, {{0, c}, {1, s}, {4, -s}, {5, c}}}};
    Matrix4 top;
    for (int k = 0; k < 16; ++k) top.m[k] = k < 12 ? 0.5f + static_cast<float>(k * k % 7) : (k == 15 ? 1.0f : 0.0f);
    for (const Case& t : cases) {
        Matrix4 r;
        MatrixIdentity(&r);
        for (auto [k, v] : t.elements) r.m[k] = v;
        mdlResetMatrixStack();
        mdlLoadMatrix(top);
        t.rotate(a);
        const Matrix4* got = mdlTopMatrix();
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col) {
                float want = 0;
                for (int k = 0; k < 4; ++k) want += top.m[4 * row + k] * r.m[4 * k + col];
                EXPECT_NEAR(got->m[4 * row + col], want, 1e-5f) << "row " << row << " col " << col;
            }
    }
}

TEST(MatrixStack, NormalsComeOutUnitLengthAndAZeroNormalStaysZero) {
    Library lib;
    mdlResetMatrixStack();
    mdlScale(3, 3, 3);
    ExpectNear(mdlTransformNormal(0, 2, 0), 0, 1, 0, 1e-6f);
    const Vector3 zero = mdlTransformNormal(0, 0, 0);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    mdlScale(0, 0, 0);
    const Vector3 collapsed = mdlTransformNormal(1, 1, 1);
    EXPECT_FALSE(std::isnan(collapsed.x));
    EXPECT_EQ(collapsed.x, 0.0f);
}

TEST(NodeTransform, AngleUnitIsSixPointTwoEightPerTurn) {
    EXPECT_FLOAT_EQ(mdlAngleToRadians(0x4000), 0x4000 * ((1.0f / 65536.0f) * 6.28f));
    EXPECT_NEAR(mdlAngleToRadians(0x4000), 1.57f, 1e-6f);
    EXPECT_NEAR(mdlAngleToRadians(-0x8000), -3.14f, 1e-6f);
}

TEST(NodeTransform, QuarterTurnAboutYTakesXToMinusZ) {
    Library lib;
    ModelBuilder m;
    NodeSpec shape;
    shape.rotation[1] = 0x4000;
    PointNode(m, shape, 0);
    BodyImage model = m.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    ExpectNear(lib.Entry(0).position, 0.0008f, 0.0f, -1.0f, 2e-4f);
    // Types 0x24 and 0x30 carry the constant normal, whatever the rotation.
    ExpectNear(lib.Entry(0).normal, 0, 0, 1, 0);
}

TEST(NodeTransform, RotationOrderFollowsFlagBitFive) {
    Library lib;
    for (uint32_t flags : {0u, 0x20u}) {
        ModelBuilder m;
        NodeSpec shape;
        shape.flags = flags;
        shape.rotation[0] = 0x4000;
        shape.rotation[2] = 0x4000;
        PointNode(m, shape, 0, 0, 1, 0);
        BodyImage model = m.Finish();
        ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
        if (flags == 0)
            ExpectNear(lib.Entry(0).position, -0.0008f, 0.0f, 1.0f, 2e-4f);
        else
            ExpectNear(lib.Entry(0).position, -1.0f, 0.0f, 0.0008f, 2e-4f);
    }
}

TEST(NodeTransform, ChildrenInheritAndSiblingsDrawUnderTheParent) {
    Library lib;
    ModelBuilder m;
    NodeSpec rootSpec;
    rootSpec.position[0] = 10;
    const uint32_t root = PointNode(m, rootSpec, 0, 0, 0, 0);
    NodeSpec a;
    a.position[1] = 1;
    a.scale[0] = 3;
    const uint32_t child = PointNode(m, a, 1);
    NodeSpec b;
    b.position[2] = 2;
    const uint32_t sibling = PointNode(m, b, 2);
    m.Child(root, child);
    m.Sibling(child, sibling);
    BodyImage model = m.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    ExpectNear(lib.Entry(0).position, 10, 0, 0);
    ExpectNear(lib.Entry(1).position, 13, 1, 0);
    // The sibling does not pick up the child's translation or scale.
    ExpectNear(lib.Entry(2).position, 11, 0, 2);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
    EXPECT_EQ(mdlGetState()->nodeIndex, 3);
}

TEST(TreeWalk, NodeWithoutModelStillTakesItsMotionEntry) {
    Library lib;
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t child = PointNode(m, {}, 0, 0, 0, 0);
    m.Child(root, child);
    BodyImage model = m.Finish();
    // Entry 0 (the root) moves by 100, entry 1 (the child) by 5.
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1,
                                   {{KeyList{true, {{0, 100, 0, 0}}}}, {KeyList{true, {{0, 5, 0, 0}, {10, 5, 0, 0}}}}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 3.0f), 0);
    ExpectNear(lib.Entry(0).position, 105, 0, 0);
}

TEST(TreeWalk, RootAndSixtyTwoNestedLevelsFitTheViewersStack) {
    Library lib;
    ModelBuilder m;
    NodeSpec step;
    step.position[0] = 1;
    uint32_t parent = PointNode(m, step, 0, 0, 0, 0);
    for (int level = 1; level <= 63; ++level) {
        const uint32_t node = PointNode(m, step, static_cast<uint16_t>(level), 0, 0, 0);
        m.Child(parent, node);
        parent = node;
    }
    BodyImage model = m.Finish();
    for (auto& e : lib.Entries()) e.position = Vector3{-1, -1, -1};
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    ExpectNear(lib.Entry(62).position, 63, 0, 0);
    // The 64th level would overrun the stack: it is neither transformed nor drawn.
    ExpectNear(lib.Entry(63).position, -1, -1, -1);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
    EXPECT_EQ(mdlGetState()->nodeIndex, 64);
}

TEST(TreeWalk, NodesAfterATooDeepBranchKeepTheirPlaceAndMotionEntry) {
    Library lib;
    ModelBuilder m;
    const uint32_t root = PointNode(m, {}, 0, 0, 0, 0);
    uint32_t parent = root;
    for (int level = 1; level <= 70; ++level) {
        const uint32_t node = m.Node();
        m.Child(parent, node);
        parent = node;
    }
    const uint32_t late = PointNode(m, {}, 1, 0, 0, 0);
    m.Sibling(root, late);
    BodyImage model = m.Finish();
    std::vector<std::vector<KeyList>> nodes(72);
    nodes[71] = {KeyList{true, {{0, 0, 9, 0}}}};
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1, nodes);
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0.0f), 0);
    ExpectNear(lib.Entry(1).position, 0, 9, 0);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
}

TEST(TreeWalk, CyclesThroughChildOrSiblingEnd) {
    Library lib;
    for (int which = 0; which < 3; ++which) {
        ModelBuilder m;
        const uint32_t root = PointNode(m, {}, 0);
        const uint32_t child = PointNode(m, {}, 1);
        m.Child(root, child);
        if (which == 0) m.Child(child, root);
        if (which == 1) m.Sibling(child, child);
        if (which == 2) m.Sibling(root, root);
        BodyImage model = m.Finish();
        ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0) << which;
        EXPECT_EQ(mdlGetState()->matrixDepth, 0);
        // Each node once: the link back onto the path is not followed.
        EXPECT_EQ(mdlGetState()->nodeIndex, 2);
        EXPECT_FALSE(mdlGetState()->workCut);
    }
}

TEST(TreeWalk, SharedSubtreesAreDrawnPerParentUntilTheWorkLimit) {
    Library lib;
    // Node k's child and sibling are both node k + 1: node k is visited 2^k times.
    ModelBuilder m;
    std::vector<uint32_t> nodes;
    for (int k = 0; k < 30; ++k) nodes.push_back(m.Node());
    for (int k = 0; k + 1 < 30; ++k) {
        m.Child(nodes[k], nodes[k + 1]);
        m.Sibling(nodes[k], nodes[k + 1]);
    }
    BodyImage model = m.Finish();
    mdlSetWorkLimit(1000);
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    EXPECT_TRUE(mdlGetState()->workCut);
    EXPECT_EQ(mdlGetState()->nodeIndex, 1000);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
    // Eight levels unfold into 255 visits, all drawn.
    BodyImage small(std::vector<uint8_t>(model.Data(), model.Data() + model.Size()));
    std::memset(small.Data() + nodes[7] + 44, 0, 8);
    ASSERT_EQ(mdlDrawMotion(small.Body(), {}, 0.0f), 0);
    EXPECT_FALSE(mdlGetState()->workCut);
    EXPECT_EQ(mdlGetState()->nodeIndex, 255);
    mdlSetWorkLimit(0);
    EXPECT_EQ(mdlGetState()->workLimit, kDefaultWorkLimit);
}

TEST(TreeWalk, LongSiblingChainDoesNotExhaustTheCallStack) {
    Library lib;
    ModelBuilder m;
    uint32_t previous = m.Node();
    const int kNodes = 100000;
    for (int i = 1; i < kNodes; ++i) {
        const uint32_t node = m.Node();
        m.Sibling(previous, node);
        previous = node;
    }
    BodyImage model = m.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    EXPECT_EQ(mdlGetState()->nodeIndex, kNodes);
}

TEST(TreeWalk, BadPointersEndOnlyTheirBranch) {
    Library lib;
    ModelBuilder m;
    const uint32_t root = PointNode(m, {}, 0);
    const uint32_t a = PointNode(m, {}, 1);
    const uint32_t b = PointNode(m, {}, 2);
    const uint32_t c = m.Node();
    m.Child(root, a);
    m.Sibling(a, b);
    m.Sibling(b, c);
    BodyImage model = m.Finish();
    Poke(model, a + 44, model.Size() + 64);   // child past the end
    Poke(model, b + 44, 6);                   // misaligned child
    Poke(model, c + 4, model.Size() - 8);     // model record cut by the body end
    Poke(model, c + 48, 0xFFFFFFF0u);          // sibling far outside
    for (auto& e : lib.Entries()) e.position = Vector3{-1, -1, -1};
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    ExpectNear(lib.Entry(1).position, 1, 0, 0);
    ExpectNear(lib.Entry(2).position, 1, 0, 0);
    EXPECT_EQ(mdlGetState()->nodeIndex, 4);
}

TEST(TreeWalk, OnlyPolygonListDrawsWithWhatEarlierNodesLeft) {
    Library lib;
    ModelBuilder m;
    const uint32_t root = PointNode(m, {}, 0, 4, 5, 6);
    const uint32_t child = m.Node();
    const uint32_t list = m.StartList();
    m.Words({0x0011, 2});  // material colour 0
    m.Color(0xFF102030);
    m.EndPolygons();
    m.Model(child, 0, list);
    m.Child(root, child);
    BodyImage model = m.Finish();
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0.0f), 0);
    ExpectNear(lib.Entry(0).position, 4, 5, 6);
    EXPECT_EQ(mdlGetState()->materialColors[0].red, 0x10);
}

TEST(FrameStep, AdvancesAndWrapsAtCountMinusOne) {
    EXPECT_EQ(mdlNextFrame(0.0f, 90), 1.0f);
    EXPECT_EQ(mdlNextFrame(87.0f, 90), 88.0f);
    EXPECT_EQ(mdlNextFrame(88.0f, 90), 0.0f);
    EXPECT_EQ(mdlNextFrame(87.5f, 90), 88.5f);
    EXPECT_EQ(mdlNextFrame(86.5f, 90), 87.5f);
}

TEST(FrameStep, CountsZeroAndOneStayAtFrameZero) {
    float frame = 0.0f;
    for (int i = 0; i < 5; ++i) frame = mdlNextFrame(frame, 0);
    EXPECT_EQ(frame, 0.0f);
    for (int i = 0; i < 5; ++i) frame = mdlNextFrame(frame, 1);
    EXPECT_EQ(frame, 0.0f);
    EXPECT_EQ(mdlNextFrame(0.0f, 2), 0.0f);
}

TEST(FrameStep, UnusableFramesRestartWithoutIntegerConversion) {
    EXPECT_EQ(mdlNextFrame(std::nanf(""), 90), 0.0f);
    EXPECT_EQ(mdlNextFrame(INFINITY, 90), 0.0f);
    EXPECT_EQ(mdlNextFrame(-INFINITY, 90), 0.0f);
    EXPECT_EQ(mdlNextFrame(1e20f, 90), 0.0f);
    EXPECT_EQ(mdlNextFrame(-5.0f, 90), 0.0f);
    // -0.5 truncates to 0: below the wrap, kept.
    EXPECT_EQ(mdlNextFrame(-1.5f, 90), -0.5f);
    EXPECT_EQ(mdlNextFrame(-0.5f, 90), 0.5f);
}
