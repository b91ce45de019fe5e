// Writes the model fuzz target's seed corpus from the sample models: model_fuzz_seeds <dir>.
#include "tests/model/SampleModels.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using modeltest::ModelBuilder;
using modeltest::SampleAsset;

void Write(const std::string& dir, const char* name, const std::vector<uint8_t>& model, const std::vector<uint8_t>& motion) {
    const uint32_t length = static_cast<uint32_t>(model.size());
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&length), 4);
    out.write(reinterpret_cast<const char*>(model.data()), static_cast<std::streamsize>(model.size()));
    out.write(reinterpret_cast<const char*>(motion.data()), static_cast<std::streamsize>(motion.size()));
}

// Weighted chunks in every mode, a texture chunk, sized and null chunks, and calls that reach
// an unfilled slot and a slot's own.
SampleAsset Assorted() {
    ModelBuilder m;
    const uint32_t root = m.Node();
    const uint32_t child = m.Node();
    m.Child(root, child);
    const uint32_t vertices = m.StartList();
    m.VertexChunk(0x2C, 0, 0, {{0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 1, 0}}, {128u << 16, 128u << 16, 255u << 16});
    m.VertexChunk(0x24, 0, 3, {{1, 1, 0}});
    m.EndVertices();
    const uint32_t polygons = m.StartList();
    m.Words({0x0705, 0x0104, 0x0105, 0x0008, 0x0002, 0x0001, 0x0045, 1, 0});
    m.Words({0x0013, 0});
    m.Color(0xFF336699);
    m.Color(0xFF996633);
    m.Strips(0x41, {{0, 1, 2, 3}}, 1);
    m.EndPolygons();
    m.Model(root, vertices, polygons);
    const uint32_t childVertices = m.StartList();
    m.VertexChunk(0x2C, 2, 0, {{0, 0, 1, 0, 0, 1}}, {(127u << 16) | 1u});
    m.VertexChunk(0x30, 0, 4, {{0, 0, 0}});
    m.EndVertices();
    const uint32_t childPolygons = m.StartList();
    m.Words({0x0105, 0x00FF});
    m.Model(child, childVertices, childPolygons);
    SampleAsset asset;
    asset.model = m.Raw();
    asset.motion = modeltest::BuildMotionBody(0x7, 3,
                                              {{modeltest::KeyList{true, {{0, 0, 0, 0}, {5, 1, 1, 1}}},
                                                modeltest::KeyList{false, {{0, 0, 0, 0}, {5, 100, 200, 300}}},
                                                modeltest::KeyList{true, {{0, 1, 1, 1}}}}},
                                              6);
    return asset;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: model_fuzz_seeds <dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const SampleAsset arm = modeltest::TwoBoneArm();
    Write(dir, "arm", arm.ModelFile(), arm.MotionFile());
    Write(dir, "arm-raw-bodies", arm.model.Bytes(), arm.motion.Bytes());
    Write(dir, "arm-no-motion", arm.ModelFile(), {});
    const SampleAsset assorted = Assorted();
    Write(dir, "assorted", assorted.ModelFile(), assorted.MotionFile());
    return 0;
}
