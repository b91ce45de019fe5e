// A first corpus: the two sample assets of the model tests (the arm also without a motion) and a
// small file with weighted vertex chunks, a texture chunk, textured strips and scale keys.
#include "tests/support/ConformanceCorpus.h"

#include "tests/model/ModelBuilder.h"
#include "tests/model/SampleModels.h"

namespace corpus {

namespace {

using namespace modeltest;

// Root, a lower node writing entries 0-3 in weighted mode 0 (the top two at half weight) and an
// upper node at (0, 1, 0) blending the other half into entries 2-3 (mode 2) and writing 4-5; the
// upper node draws one textured strip over all six. Its motion bends and scales the upper node.
File WeightedTexturedFile() {
    ModelBuilder m;
    NodeSpec spec;
    spec.flags = 0x20;
    const uint32_t root = m.Node(spec);
    const uint32_t lower = m.Node(spec);
    spec.position[1] = 1.0f;
    const uint32_t upper = m.Node(spec);
    m.Child(root, lower);
    m.Child(lower, upper);

    const uint32_t lowerList = m.StartList();
    m.VertexChunk(0x2C, 0x00, 0,
                  {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1}, {-0.5f, 1, 0, 0, 0, 1}, {0.5f, 1, 0, 0, 0, 1}},
                  {255u << 16, 255u << 16, 128u << 16, 128u << 16});
    m.EndVertices();
    m.Model(lower, lowerList, 0);

    const uint32_t upperList = m.StartList();
    m.VertexChunk(0x2C, 0x02, 0, {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1}}, {(127u << 16) | 2u, (127u << 16) | 3u});
    m.VertexChunk(0x29, 0x00, 4, {{-0.5f, 1, 0, 0, 0, 1}, {0.5f, 1, 0, 0, 0, 1}});
    m.EndVertices();
    const uint32_t upperPolygons = m.StartList();
    m.Words({0x0008, 0x0001});  // texture 1
    m.Words({0x0011, 0x0002});
    m.Color(0xFF3080C0);
    m.Strips(0x41, {{0, 1, 2, 3, 4, 5}});
    m.EndPolygons();
    m.Model(upper, upperList, upperPolygons);

    const ChunkBodyBuilder motion = BuildMotionBody(
        kMotionPositionKeys | kMotionAngleKeys | kMotionScaleKeys, 3,
        {{KeyList{}, KeyList{false, {}}, KeyList{}},
         {KeyList{}, KeyList{false, {}}, KeyList{}},
         {KeyList{}, KeyList{false, {{0, 0, 0, 0}, {15, 0, 0, 0x2000}, {29, 0, 0, 0}}},
          KeyList{true, {{0, 1, 1, 1}, {29, 1.5f, 1, 1}}}}},
        30);
    ChunkFileWriter modelFile;
    modelFile.AddDataChunk("NJCM", m.Raw());
    ChunkFileWriter motionFile;
    motionFile.AddDataChunk("NMDM", motion);
    return File{"weighted-textured", modelFile.Bytes(), motionFile.Bytes()};
}

}  // namespace

const std::vector<File>& ConformanceCorpus() {
    static const std::vector<File> files = [] {
        std::vector<File> out;
        const SampleAsset arm = TwoBoneArm();
        out.push_back(File{"two-bone-arm", arm.ModelFile(), arm.MotionFile()});
        out.push_back(File{"two-bone-arm-no-motion", arm.ModelFile(), {}});
        const SampleAsset figure = Figure();
        out.push_back(File{"figure", figure.ModelFile(), figure.MotionFile()});
        out.push_back(WeightedTexturedFile());
        return out;
    }();
    return files;
}

}  // namespace corpus
