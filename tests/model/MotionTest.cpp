// Motion keys: interpolation, the key search, which lists a motion's layout provides, and
// motions that do not fit the tree or their body.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "tests/model/ModelBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace modeltest;

namespace {

void ExpectNear(const Vector3& v, float x, float y, float z, float tol = 1e-4f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

VectorKey VKey(uint32_t frame, float x, float y, float z) { return VectorKey{frame, x, y, z}; }
AngleKey AKey(uint32_t frame, int32_t x, int32_t y, int32_t z) { return AngleKey{frame, x, y, z}; }

// Samples `keys` at `frame` into an output that starts at 777.
std::vector<float> Sample(const std::vector<VectorKey>& keys, int32_t count, float frame) {
    float out[3] = {777, 777, 777};
    mdlSampleVectorKeys(keys.empty() ? nullptr : reinterpret_cast<const uint8_t*>(keys.data()), count, frame, out);
    return {out[0], out[1], out[2]};
}

// A one-node model whose vertex chunk writes (1, 0, 0) and (0, 0, 0) into entries 0 and 1.
BodyImage ProbeModel(const NodeSpec& shape = {}) {
    ModelBuilder m;
    const uint32_t node = m.Node(shape);
    const uint32_t list = m.StartList();
    m.VertexChunk(0x24, 0, 0, {{1, 0, 0}, {0, 0, 0}});
    m.EndVertices();
    m.Model(node, list, 0);
    return m.Finish();
}

KeyList Pos(std::vector<std::vector<float>> keys) { return KeyList{true, std::move(keys)}; }
KeyList Ang(std::vector<std::vector<float>> keys) { return KeyList{false, std::move(keys)}; }

}  // namespace

TEST(KeyInterpolation, ExactKeyFramesGiveTheKeyValues) {
    const std::vector<VectorKey> keys = {VKey(0, 1, 2, 3), VKey(10, 4, 5, 6), VKey(20, -1, -2, -3)};
    EXPECT_EQ(Sample(keys, 3, 0), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(Sample(keys, 3, 10), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(Sample(keys, 3, 20), (std::vector<float>{-1, -2, -3}));
    const AngleKey angles[2] = {AKey(0, 0x4000, 0, -0x4000), AKey(8, 0, 0, 0)};
    float out[3] = {};
    mdlSampleAngleKeys(reinterpret_cast<const uint8_t*>(angles), 2, 0.0f, out);
    EXPECT_FLOAT_EQ(out[0], mdlAngleToRadians(0x4000));
    EXPECT_FLOAT_EQ(out[2], mdlAngleToRadians(-0x4000));
}

TEST(KeyInterpolation, HalfwayBetweenKeysIsTheMean) {
    const std::vector<VectorKey> keys = {VKey(0, 0, 0, 0), VKey(10, 2, 4, 6), VKey(20, 4, 0, 10)};
    const auto mid = Sample(keys, 3, 15);
    EXPECT_FLOAT_EQ(mid[0], 3);
    EXPECT_FLOAT_EQ(mid[1], 2);
    EXPECT_FLOAT_EQ(mid[2], 8);
    const auto quarter = Sample(keys, 3, 2.5f);
    EXPECT_FLOAT_EQ(quarter[0], 0.5f);
}

TEST(KeyInterpolation, AnglesTurnTheShortWayByThreePointOneFour) {
    // 28672 units = 2.7475 rad and -28672 = -2.7475: the way through 3.14, not through 0.
    const AngleKey across[2] = {AKey(0, 28672, 0, 0), AKey(10, -28672, 0, 0)};
    float out[3] = {};
    mdlSampleAngleKeys(reinterpret_cast<const uint8_t*>(across), 2, 5.0f, out);
    EXPECT_NEAR(out[0], 3.14f, 1e-5f);
    mdlSampleAngleKeys(reinterpret_cast<const uint8_t*>(across), 2, 2.0f, out);
    EXPECT_NEAR(out[0], 2.7475f + 0.2 * 0.785f, 1e-4f);
    const AngleKey quarter[2] = {AKey(0, 0, 0, 0), AKey(10, 0x4000, 0, 0)};
    mdlSampleAngleKeys(reinterpret_cast<const uint8_t*>(quarter), 2, 5.0f, out);
    EXPECT_NEAR(out[0], 0.785f, 1e-6f);
    mdlSampleAngleKeys(reinterpret_cast<const uint8_t*>(quarter), 2, 10.0f, out);
    EXPECT_NEAR(out[0], 1.57f, 1e-6f);
}

TEST(KeyInterpolation, AngleDifferenceOfExactlyThreePointOneFourIsKept) {
    EXPECT_FLOAT_EQ(mdlInterpolateAngle(0.0f, 3.14f, 0, 10, 10), 3.14f);
    EXPECT_FLOAT_EQ(mdlInterpolateAngle(0.0f, -3.14f, 0, 10, 10), -3.14f);
    EXPECT_NEAR(mdlInterpolateAngle(0.0f, 3.2f, 0, 10, 10), 3.2f - 6.28f, 1e-6f);
    // Between 3.14 and pi the file's half turn already goes the other way.
    EXPECT_NEAR(mdlInterpolateAngle(0.0f, 3.1405f, 0, 10, 10), 3.1405f - 6.28f, 1e-6f);
    EXPECT_NEAR(mdlInterpolateAngle(0.0f, -3.1405f, 0, 10, 10), 6.28f - 3.1405f, 1e-6f);
    EXPECT_EQ(mdlInterpolateAngle(1.0f, 2.0f, 4, 4, 9), 1.0f);
    // The result is not wrapped into one turn.
    EXPECT_NEAR(mdlInterpolateAngle(6.0f, 9.0f, 0, 1, 1), 9.0f, 1e-6f);
}

TEST(KeySearch, EveryFrameOfALongListFindsItsEnclosingKeys) {
    std::vector<VectorKey> keys;
    for (uint32_t i = 0; i < 77; ++i) keys.push_back(VKey(3 * i, static_cast<float>(i * i), 0, 0));
    for (int tenth = 0; tenth < 3 * 76 * 10; ++tenth) {
        const float f = static_cast<float>(tenth) / 10.0f;
        const uint32_t k = static_cast<uint32_t>(tenth / 30);
        const float t = (f - static_cast<float>(3 * k)) / 3.0f;
        const float expected = static_cast<float>(k * k) + (static_cast<float>(2 * k + 1)) * t;
        ASSERT_NEAR(Sample(keys, 77, f)[0], expected, 1e-3f) << f;
    }
}

TEST(KeySearch, FramesOutsideTheListHoldTheEndKeys) {
    const std::vector<VectorKey> keys = {VKey(5, 1, 1, 1), VKey(9, 2, 2, 2), VKey(12, 3, 3, 3)};
    EXPECT_EQ(Sample(keys, 3, 0)[0], 1);
    EXPECT_EQ(Sample(keys, 3, -50)[0], 1);
    EXPECT_EQ(Sample(keys, 3, 12.5f)[0], 3);
    EXPECT_EQ(Sample(keys, 3, 1e30f)[0], 3);
    EXPECT_EQ(Sample(keys, 3, INFINITY)[0], 3);
    EXPECT_EQ(Sample(keys, 3, std::nanf(""))[0], 1);
}

TEST(KeySearch, OneKeyHoldsAndEmptyListsWriteNothing) {
    const std::vector<VectorKey> one = {VKey(7, 4, 5, 6)};
    EXPECT_EQ(Sample(one, 1, 0), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(Sample(one, 1, 100), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(Sample(one, 0, 7)[0], 777);
    EXPECT_EQ(Sample(one, -3, 7)[0], 777);
    EXPECT_EQ(Sample({}, 4, 7)[0], 777);
}

TEST(KeySearch, KeysOutOfOrderStayInsideTheList) {
    // Under ASan a read before or after the array would be caught.
    std::vector<VectorKey> keys = {VKey(50, 1, 0, 0), VKey(10, 2, 0, 0), VKey(60, 3, 0, 0), VKey(0, 4, 0, 0),
                                   VKey(90, 5, 0, 0)};
    for (float f = -5; f < 100; f += 0.5f) {
        const float v = Sample(keys, 5, f)[0];
        EXPECT_FALSE(std::isnan(v));
    }
}

TEST(MotionLayout, OneListServesPositionAndAngles) {
    Library lib;
    BodyImage model = ProbeModel();
    // List 0 read as VectorKey for position and as AngleKey for angles: keep both readable by
    // using integer bit patterns that are small floats... instead use the angle-only flag.
    BodyImage motion = BuildMotion(kMotionAngleKeys, 1, {{Ang({{0, 0, 0x4000, 0}})}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 0.0008f, 0, -1, 2e-4f);
    BodyImage moving = BuildMotion(kMotionPositionKeys, 1, {{Pos({{0, 1, 2, 3}})}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), moving.Body(), 0), 0);
    ExpectNear(lib.Entry(1).position, 1, 2, 3);
}

TEST(MotionLayout, TwoListsNeverReadScaleKeys) {
    Library lib;
    BodyImage model = ProbeModel();
    BodyImage motion = BuildMotion(kMotionPositionKeys | kMotionAngleKeys | kMotionScaleKeys, 2,
                                   {{Pos({{0, 4, 0, 0}}), Ang({{0, 0, 0x4000, 0}})}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0), 0);
    ExpectNear(lib.Entry(1).position, 4, 0, 0);
    ExpectNear(lib.Entry(0).position, 4.0008f, 0, -1, 2e-4f);
}

TEST(MotionLayout, ThreeListsReadScaleOnlyWithItsFlag) {
    Library lib;
    BodyImage model = ProbeModel();
    const std::vector<std::vector<KeyList>> nodes = {{Pos({}), Ang({}), Pos({{0, 3, 3, 3}})}};
    BodyImage withFlag = BuildMotion(kMotionScaleKeys, 3, nodes);
    ASSERT_EQ(mdlDrawMotion(model.Body(), withFlag.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 3, 0, 0);
    BodyImage withoutFlag = BuildMotion(kMotionPositionKeys | kMotionAngleKeys, 3, nodes);
    ASSERT_EQ(mdlDrawMotion(model.Body(), withoutFlag.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 1, 0, 0);
}

TEST(MotionLayout, ListCountsZeroAndFourReadNoKeys) {
    Library lib;
    NodeSpec stored;
    stored.position[0] = 8;
    BodyImage model = ProbeModel(stored);
    // Only bits 0-3 count: 0x11 is a one-list motion.
    for (uint16_t count : {0, 4, 0x11}) {
        // The same table as a valid one-list motion, with the count field changed.
        BodyImage motion = BuildMotion(kMotionPositionKeys, 1, {{Pos({{0, 1, 1, 1}})}});
        std::memcpy(motion.Data() + 10, &count, 2);
        ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0), 0);
        if (count == 0x11)
            ExpectNear(lib.Entry(1).position, 1, 1, 1);
        else
            ExpectNear(lib.Entry(1).position, 8, 0, 0);
    }
}

TEST(MotionLayout, NullListsAndNullMotionDrawTheStoredPose) {
    Library lib;
    NodeSpec stored;
    stored.position[2] = 2;
    stored.rotation[1] = 0x4000;
    BodyImage model = ProbeModel(stored);
    BodyImage nulls = BuildMotion(kMotionPositionKeys | kMotionAngleKeys, 2, {{Pos({}), Ang({})}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), nulls.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 0.0008f, 0, 1, 2e-4f);
    ASSERT_EQ(mdlDrawMotion(model.Body(), ChunkBody{}, 0), 0);
    ExpectNear(lib.Entry(0).position, 0.0008f, 0, 1, 2e-4f);
}

TEST(MotionBounds, ANodeTableOffAWordIsNotRead) {
    Library lib;
    NodeSpec stored;
    stored.position[0] = 8;
    BodyImage model = ProbeModel(stored);
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1, {{Pos({{0, 1, 1, 1}})}});
    MotionData header;
    std::memcpy(&header, motion.Data(), sizeof header);
    // The same entry two bytes further on: its pointer fields would stand off words, where no
    // relocation list can name them.
    std::vector<uint8_t> bytes(motion.Data(), motion.Data() + motion.Size());
    bytes.insert(bytes.begin() + header.nodeTable, 2, 0);
    const uint32_t shifted = header.nodeTable + 2;
    std::memcpy(bytes.data(), &shifted, 4);
    BodyImage moved(bytes);
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 2, 1, 1);
    ASSERT_EQ(mdlDrawMotion(model.Body(), moved.Body(), 0), 0);
    ExpectNear(lib.Entry(0).position, 9, 0, 0);
}

TEST(MotionBounds, NodesPastTheTableKeepTheirStoredPose) {
    Library lib;
    ModelBuilder m;
    NodeSpec shape;
    shape.position[0] = 1;
    uint32_t previous = 0;
    for (int i = 0; i < 3; ++i) {
        const uint32_t node = m.Node(shape);
        const uint32_t list = m.StartList();
        m.VertexChunk(0x24, 0, static_cast<uint16_t>(i), {{0, 0, 0}});
        m.EndVertices();
        m.Model(node, list, 0);
        if (i > 0) m.Sibling(previous, node);
        previous = node;
    }
    BodyImage model = m.Finish();
    // Two table entries for three nodes; the table is the last thing in the body.
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1, {{Pos({{0, 5, 0, 0}})}, {Pos({{0, 6, 0, 0}})}});
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 0), 0);
    EXPECT_FLOAT_EQ(lib.Entry(0).position.x, 5);
    EXPECT_FLOAT_EQ(lib.Entry(1).position.x, 6);
    EXPECT_FLOAT_EQ(lib.Entry(2).position.x, 1);
}

TEST(MotionBounds, KeyCountsPastTheBodyAndBadPointersAreIgnored) {
    Library lib;
    NodeSpec stored;
    stored.position[0] = 8;
    BodyImage model = ProbeModel(stored);
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1, {{Pos({{0, 1, 1, 1}, {10, 2, 2, 2}})}});
    MotionData header;
    std::memcpy(&header, motion.Data(), sizeof header);
    // Count far past the body.
    const int32_t huge = 1 << 28;
    std::memcpy(motion.Data() + header.nodeTable + 4, &huge, 4);
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 5), 0);
    ExpectNear(lib.Entry(1).position, 8, 0, 0);
    // Two keys that would end past the body.
    const int32_t two = 2;
    const uint32_t nearEnd = motion.Size() - 20;
    std::memcpy(motion.Data() + header.nodeTable + 4, &two, 4);
    std::memcpy(motion.Data() + header.nodeTable, &nearEnd, 4);
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 5), 0);
    ExpectNear(lib.Entry(1).position, 8, 0, 0);
    // A node table pointer outside the body, and a body too short for the header.
    const uint32_t outside = motion.Size() + 16;
    std::memcpy(motion.Data(), &outside, 4);
    ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), 5), 0);
    ExpectNear(lib.Entry(1).position, 8, 0, 0);
    ASSERT_EQ(mdlDrawMotion(model.Body(), ChunkBody{motion.Data(), 8}, 5), 0);
    ExpectNear(lib.Entry(1).position, 8, 0, 0);
}

TEST(MotionBounds, NonFiniteKeysAndFramesNeverStopTheDraw) {
    Library lib;
    BodyImage model = ProbeModel();
    BodyImage motion = BuildMotion(kMotionPositionKeys | kMotionAngleKeys, 2,
                                   {{Pos({{0, INFINITY, std::nanf(""), 0}, {4, 1, 1, 1}}),
                                     Ang({{0, 2147483392.0f, -2147483648.0f, 0}, {4, 0, 0, 0}})}});
    for (float frame : {0.0f, 2.0f, std::nanf(""), INFINITY, -INFINITY})
        ASSERT_EQ(mdlDrawMotion(model.Body(), motion.Body(), frame), 0);
}
