// The read-only walk the inspector and the asset checks use: what it reports for a sound
// model and motion, and the problems it names with their offsets.
#include "model/ModelInspect.h"
#include "tests/model/ModelBuilder.h"

#include <gtest/gtest.h>

using namespace modeltest;

namespace {

void Poke(BodyImage& image, uint32_t offset, uint32_t value) { std::memcpy(image.Data() + offset, &value, 4); }

bool HasProblem(const std::vector<InspectProblem>& problems, uint32_t offset, const std::string& words) {
    for (const InspectProblem& p : problems)
        if (p.offset == offset && p.reason.find(words) != std::string::npos) return true;
    return false;
}

std::string All(const std::vector<InspectProblem>& problems) {
    std::string text;
    for (const InspectProblem& p : problems) text += std::to_string(p.offset) + ": " + p.reason + "\n";
    return text;
}

struct TwoBones {
    BodyImage image;
    uint32_t root, bone, tip, rootModel, tipModel, stripChunk;
};

// Root (caches its list: colour + one strip chunk), bone without model, tip (vertices + call).
TwoBones BuildTwoBones() {
    TwoBones t;
    ModelBuilder m;
    NodeSpec shape;
    shape.flags = 0x2034;
    shape.position[1] = 1.5f;
    shape.rotation[2] = 0x1000;
    t.root = m.Node(shape);
    t.bone = m.Node();
    t.tip = m.Node();
    m.Child(t.root, t.bone);
    m.Child(t.bone, t.tip);
    const uint32_t rootList = m.StartList();
    m.Words({0x0004, 0x2517, 0});
    m.Color(0xFFC49586);
    m.Color(0xFFC49586);
    m.Color(0x09000000);
    t.stripChunk = m.Raw().Size();
    m.Strips(0x40, {{0, 1, 2, 3}, {1, 2, 3}}, 2);
    m.EndPolygons();
    t.rootModel = m.Model(t.root, 0, rootList);
    const uint32_t vertices = m.StartList();
    m.VertexChunk(0x29, 0x80, 0, {{0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}});
    m.EndVertices();
    const uint32_t calls = m.StartList();
    m.Words({0x0005, 0x00FF});
    t.tipModel = m.Model(t.tip, vertices, calls);
    t.image = m.Finish();
    return t;
}

}  // namespace

TEST(InspectModel, SoundModelListsNodesInDrawingOrderWithoutProblems) {
    TwoBones t = BuildTwoBones();
    const ModelReport r = mdlInspectModel(t.image.Body());
    EXPECT_TRUE(r.problems.empty()) << All(r.problems);
    ASSERT_EQ(r.nodes.size(), 3u);
    EXPECT_EQ(r.nodes[0].offset, t.root);
    EXPECT_EQ(r.nodes[0].flags, 0x2034u);
    EXPECT_EQ(r.nodes[0].position[1], 1.5f);
    EXPECT_EQ(r.nodes[0].rotation[2], 0x1000);
    EXPECT_EQ(r.nodes[1].depth, 1);
    EXPECT_EQ(r.nodes[1].model, -1);
    EXPECT_EQ(r.nodes[2].depth, 2);
    EXPECT_EQ(r.maxDepth, 2);
    ASSERT_EQ(r.models.size(), 2u);
    EXPECT_EQ(r.models[1].node, 2);
    ASSERT_EQ(r.models[1].vertexChunks.size(), 1u);
    EXPECT_EQ(r.models[1].vertexChunks[0].type, 0x29);
    EXPECT_EQ(r.models[1].vertexChunks[0].lastEntry, 3u);
    EXPECT_EQ(r.strips, 2u);
    EXPECT_EQ(r.stripVertices, 7u);
    EXPECT_EQ(r.entriesUsed, 4u);
}

TEST(InspectModel, PolygonSummaryShowsCacheMaterialsAndStrips) {
    TwoBones t = BuildTwoBones();
    const ModelReport r = mdlInspectModel(t.image.Body());
    const auto& chunks = r.models[0].polygonChunks;
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].kind, PolygonChunkKind::Cache);
    EXPECT_EQ(chunks[0].slot, 0);
    EXPECT_EQ(chunks[1].kind, PolygonChunkKind::Material);
    EXPECT_EQ(chunks[1].colorMask, 7);
    EXPECT_EQ(chunks[1].colors[0].red, 196);
    EXPECT_EQ(chunks[1].colors[2].alpha, 9);
    EXPECT_EQ(chunks[1].cachedSlot, 0);
    EXPECT_EQ(chunks[2].kind, PolygonChunkKind::Strip);
    EXPECT_EQ(chunks[2].offset, t.stripChunk);
    EXPECT_EQ(chunks[2].strips, 2u);
    EXPECT_EQ(chunks[2].vertices, 7u);
    EXPECT_EQ(chunks[2].userWords, 2u);
    EXPECT_EQ(chunks[3].kind, PolygonChunkKind::End);
    EXPECT_EQ(r.models[1].polygonChunks[0].kind, PolygonChunkKind::Call);
}

TEST(InspectModel, CyclesAndBadPointersAreNamedWithTheirOffset) {
    TwoBones t = BuildTwoBones();
    Poke(t.image, t.tip + 44, t.bone);                 // child back to its parent
    Poke(t.image, t.bone + 48, t.image.Size() + 8);    // sibling past the end
    Poke(t.image, t.tipModel, t.image.Size() + 2);     // vertex list past the end
    const ModelReport r = mdlInspectModel(t.image.Body());
    EXPECT_TRUE(HasProblem(r.problems, t.tip, "cycle")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, t.bone, "sibling pointer")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, t.tipModel, "vertex list pointer")) << All(r.problems);
    EXPECT_EQ(r.nodes.size(), 3u);
}

TEST(InspectModel, IndicesPastCapacityAndTooDeepTreesAreReported) {
    TwoBones t = BuildTwoBones();
    const ModelReport r = mdlInspectModel(t.image.Body(), 3, 3);
    EXPECT_TRUE(HasProblem(r.problems, t.stripChunk, "strip entry 3 is past")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, t.tip, "1 node is deeper than a matrix stack of 3")) << All(r.problems);
    EXPECT_FALSE(HasProblem(r.problems, t.bone, "deeper")) << All(r.problems);
}

TEST(InspectModel, UnknownChunksMissingEndsAndStrayCallsAreReported) {
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t list = m.StartList();
    m.Words({0x0305, 0x0004, 0x0005, 0x0031});
    m.Model(root, 0, list);
    const uint32_t vertexList = m.Raw().Size() + 8;
    const uint32_t child = m.Node();
    m.Child(root, child);
    m.Model(child, m.Raw().Size() + 24, 0);
    m.StartList();
    m.VertexChunk(0x25, 0, 0, {{1, 1, 1}});
    BodyImage image = m.Finish();
    (void)vertexList;
    const ModelReport r = mdlInspectModel(image.Body());
    EXPECT_TRUE(HasProblem(r.problems, list, "no earlier cache chunk")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, list + 4, "calls its own slot")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, list + 6, "unknown polygon chunk type 0x31")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, image.Size() - 20, "unknown vertex chunk type 0x25")) << All(r.problems);
    // The builder writes no spare word for an unknown type: its size word overshoots the body.
    EXPECT_TRUE(HasProblem(r.problems, image.Size() - 20, "runs past the end of the body")) << All(r.problems);
}

TEST(InspectModel, EmptyOrShortBodiesReportNoRoot) {
    EXPECT_FALSE(mdlInspectModel(ChunkBody{}).problems.empty());
    uint32_t words[13] = {};
    EXPECT_TRUE(HasProblem(mdlInspectModel(ChunkBody{reinterpret_cast<uint8_t*>(words), 52}).problems, 0, "no root"));
}

TEST(InspectMotion, KeyCountsAndFrameRangesPerNode) {
    BodyImage motion = BuildMotion(kMotionPositionKeys | kMotionAngleKeys, 2,
                                   {{KeyList{true, {{0, 1, 1, 1}, {89, 2, 2, 2}}}, KeyList{false, {}}},
                                    {KeyList{true, {}}, KeyList{false, {{3, 0, 0, 0}, {5, 0, 0, 0}, {40, 0, 0, 0}}}}});
    const MotionReport r = mdlInspectMotion(motion.Body(), 2);
    EXPECT_TRUE(r.problems.empty()) << All(r.problems);
    EXPECT_EQ(r.frameCount, 90u);
    EXPECT_EQ(r.listCount, 2);
    ASSERT_EQ(r.nodes.size(), 2u);
    EXPECT_EQ(r.nodes[0].lists[0].count, 2);
    EXPECT_EQ(r.nodes[0].lists[0].lastFrame, 89u);
    EXPECT_EQ(r.nodes[0].lists[1].offset, 0u);
    EXPECT_EQ(r.nodes[1].lists[1].count, 3);
    EXPECT_EQ(r.nodes[1].lists[1].firstFrame, 3u);
    EXPECT_EQ(r.nodes[1].lists[1].lastFrame, 40u);
}

TEST(InspectMotion, ShortTablesBadListsAndDisorderAreReported) {
    BodyImage motion = BuildMotion(kMotionPositionKeys, 1,
                                   {{KeyList{true, {{0, 1, 1, 1}, {9, 2, 2, 2}, {4, 0, 0, 0}}}},
                                    {KeyList{true, {{0, 1, 1, 1}}}}});
    MotionData header;
    std::memcpy(&header, motion.Data(), sizeof header);
    Poke(motion, header.nodeTable + 8 + 4, 1000);  // node 1: a count far past the body
    const MotionReport r = mdlInspectMotion(motion.Body(), 3);
    EXPECT_TRUE(HasProblem(r.problems, 12 + 32, "out of frame order")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, header.nodeTable + 8, "not inside the body")) << All(r.problems);
    EXPECT_TRUE(HasProblem(r.problems, header.nodeTable + 16, "too short for the tree")) << All(r.problems);
    uint16_t four = 4;
    std::memcpy(motion.Data() + 10, &four, 2);
    EXPECT_TRUE(HasProblem(mdlInspectMotion(motion.Body(), 1).problems, 10, "not 1 to 3"));
}
