// Every file of the conformance corpus loads, checks out sound and draws whole: what each
// draw must give is worked out here from the file's description, in double precision, with
// the rotations written as plain right-handed matrices.
#include "data/ChunkFile.h"
#include "model/ModelInspect.h"
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "tests/model/DrawScene.h"
#include "tests/model/ModelBuilder.h"
#include "tests/support/ConformanceCorpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>

using namespace modeltest;

namespace {

// --- Independent arithmetic ----------------------------------------------------------------

struct V {
    double x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator*(double k, V a) { return {k * a.x, k * a.y, k * a.z}; }
V Unit(V a) {
    const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return (1.0 / l) * a;
}

double Radians(int32_t units) { return units * 6.28 / 65536.0; }

// Right-handed rotations of a point.
V RotX(double a, V p) { return {p.x, std::cos(a) * p.y - std::sin(a) * p.z, std::sin(a) * p.y + std::cos(a) * p.z}; }
V RotY(double a, V p) { return {std::cos(a) * p.x + std::sin(a) * p.z, p.y, -std::sin(a) * p.x + std::cos(a) * p.z}; }
V RotZ(double a, V p) { return {std::cos(a) * p.x - std::sin(a) * p.y, std::sin(a) * p.x + std::cos(a) * p.y, p.z}; }

// A node's rotation: about x, then y, then z (flag bit 5 clear), or z, x, y (set).
V Rotate(bool zxy, V angles, V p) {
    return zxy ? RotY(angles.y, RotX(angles.x, RotZ(angles.z, p))) : RotZ(angles.z, RotY(angles.y, RotX(angles.x, p)));
}

// The shorter way between two angles, by the file's own half turn of 3.14.
double AngleBetween(double a, double b, double t) {
    if (b - a > 3.14) b -= 6.28;
    else if (b - a < -3.14) b += 6.28;
    return a + (b - a) * t;
}

void ExpectEntry(const VertexWorkEntry& e, V position, V normal, const char* what) {
    EXPECT_NEAR(e.position.x, position.x, 2e-4) << what;
    EXPECT_NEAR(e.position.y, position.y, 2e-4) << what;
    EXPECT_NEAR(e.position.z, position.z, 2e-4) << what;
    EXPECT_NEAR(e.normal.x, normal.x, 2e-4) << what;
    EXPECT_NEAR(e.normal.y, normal.y, 2e-4) << what;
    EXPECT_NEAR(e.normal.z, normal.z, 2e-4) << what;
}

// --- Loading and drawing -------------------------------------------------------------------

struct Loaded {
    std::vector<uint8_t> model, motion;  // the file copies the bodies point into
    ChunkBody texList, object, motionBody;
};

void Load(const corpus::File& file, Loaded* out) {
    out->model = file.model;
    out->motion = file.motion;
    const LoadResult m = mdlLoadModelFile(out->model.data(), static_cast<uint32_t>(out->model.size()), &out->texList,
                                          &out->object);
    ASSERT_TRUE(m.ok()) << file.name << ": " << m.Describe();
    ASSERT_TRUE(out->object) << file.name;
    if (file.motion.empty()) return;
    const LoadResult n = mdlLoadMotionFile(out->motion.data(), static_cast<uint32_t>(out->motion.size()), &out->motionBody);
    ASSERT_TRUE(n.ok()) << file.name << ": " << n.Describe();
}

struct Drawn {
    std::vector<uint32_t> strips;  // vertex count of each strip sent to the device
    int32_t nodes = 0;
};

// What each file must give, given the library's work buffer after a draw at frame 5.
const std::map<std::string, std::function<void(const corpus::File&, const Loaded&, const Drawn&, Library&)>>& Expectations() {
    static const std::map<std::string, std::function<void(const corpus::File&, const Loaded&, const Drawn&, Library&)>> table = {
        {"packed-odd-offsets",
         [](const corpus::File&, const Loaded& l, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 1);
             EXPECT_EQ(d.strips, std::vector<uint32_t>{4});
             // Steps: the node, the vertex chunk and its 4 vertices, 5 polygon chunks, 4 strip
             // vertices.
             EXPECT_EQ(mdlGetState()->workDone, 1u + 5u + 5u + 4u);
             const V square[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
             for (int i = 0; i < 4; ++i) ExpectEntry(lib.Entry(3 + i), square[i] + V{0.5, 0, 0}, {0, 0, 1}, "square");
             EXPECT_EQ(mdlGetState()->textureId, 5);
             const MaterialColor c = mdlGetState()->materialColors[0];
             EXPECT_EQ((std::vector<int>{c.red, c.green, c.blue, c.alpha}), (std::vector<int>{0x33, 0x66, 0x99, 0xFF}));
             // The texture list's name pointer leads to byte 21 of its body.
             ASSERT_TRUE(l.texList);
             uint32_t name = 0;
             ASSERT_TRUE(ReadRecord(l.texList, 8, &name));
             EXPECT_EQ(std::string(reinterpret_cast<const char*>(BodyBytesAt(l.texList, name, 6))), "quill");
         }},
        {"shared-subtree",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 10);
             EXPECT_EQ(d.strips, std::vector<uint32_t>(6, 3));
             // The last visit of S (motion entry 8) is under P3 and moved to y 2 by the motion.
             ExpectEntry(lib.Entry(0), {3, 2, 0}, {0, 0, 1}, "S");
             ExpectEntry(lib.Entry(1), {3, 2, 1}, {0, 0, 1}, "T");
         }},
        {"call-chain-20",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library&) {
             EXPECT_EQ(d.nodes, 21);
             EXPECT_EQ(d.strips, std::vector<uint32_t>(20, 3));
             EXPECT_EQ(mdlGetState()->materialColors[0].blue, 1);  // slot 1, at the chain's end
         }},
        {"reuse-200",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 201);
             EXPECT_EQ(d.strips, std::vector<uint32_t>(200 * 20, 15));
             // Steps: 201 nodes; per model drawn a vertex chunk and its 300 vertices, then the
             // material, strip and end chunks and 300 strip vertices.
             EXPECT_EQ(mdlGetState()->workDone, 201u + 200u * (1 + 300 + 3 + 300));
             for (int entry : {0, 14, 150, 299})
                 ExpectEntry(lib.Entry(entry), {entry % 15 + 1.99, static_cast<double>(entry / 15), 0}, {0, 0, 1}, "grid");
         }},
        {"rotation-orders",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 3);
             const V angles{Radians(0x1000), Radians(0x2000), Radians(0x3000)};
             for (bool zxy : {false, true}) {
                 // Scaled, then rotated, then moved; the normal by the same rotation and scale.
                 const V p = V{4, 5, 6} + Rotate(zxy, angles, {1 * 1, 2 * 2, 3 * 3});
                 const V n = Unit(Rotate(zxy, angles, {0, 0.6 * 2, 0.8 * 3}));
                 ExpectEntry(lib.Entry(zxy ? 1 : 0), p, n, zxy ? "bit 5 set" : "bit 5 clear");
             }
         }},
        {"weighted-offset",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 3);
             EXPECT_EQ(d.strips, std::vector<uint32_t>{3});
             const double w1 = 128 / 255.0, w2 = 127 / 255.0;
             const double turn = Radians(0x4000);
             // W2 and W3 sit at (1, 2, 0), turned about y; W3 another 3 along its own z.
             const V p2 = V{1, 2, 0} + RotY(turn, {0, 0, 1});
             const V n2 = RotY(turn, {0, 0, 1});
             const V p3 = V{1, 2, 0} + RotY(turn, {1, 1, 3});
             const V n3 = RotY(turn, {1, 0, 0});
             ExpectEntry(lib.Entry(10), w1 * V{2, 0, 0} + w2 * p2, w1 * V{1, 0, 0} + w2 * n2, "mode 1 sum");
             ExpectEntry(lib.Entry(11), w1 * V{1, 1, 0} + w2 * p3, Unit(w1 * V{0, 1, 0} + w2 * n3), "mode 2 sum");
             // The index offsets of the mode 1 and 2 chunks name no entry.
             for (int unused : {5, 7}) ExpectEntry(lib.Entry(unused), {0, 0, 0}, {0, 0, 0}, "untouched");
         }},
        {"motion-one-list-scale",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 2);
             ExpectEntry(lib.Entry(0), V{1, 0, 0} + V{2, 3, 4}, {0, 0, 1}, "scale keys at frame 5");
         }},
        {"motion-two-list-angles",
         [](const corpus::File&, const Loaded&, const Drawn& d, Library& lib) {
             EXPECT_EQ(d.nodes, 2);
             const V angles{AngleBetween(Radians(28672), Radians(-28672), 0.5),
                            AngleBetween(0, Radians(32774), 0.5), Radians(0x1000)};
             EXPECT_NEAR(angles.x, 3.14, 1e-6);    // half a turn, not 0
             EXPECT_NEAR(angles.y, -1.5697, 1e-4);  // the other way round than by pi
             ExpectEntry(lib.Entry(0), V{5, 0, 0} + V{1, 0, 0} + Rotate(false, angles, {1, 1, 1}), {0, 0, 1}, "posed");
         }},
    };
    return table;
}

class Conformance : public ::testing::TestWithParam<corpus::File> {};

TEST_P(Conformance, LoadsChecksOutSoundAndDrawsWhole) {
    const corpus::File& file = GetParam();
    Loaded l;
    ASSERT_NO_FATAL_FAILURE(Load(file, &l));

    const ModelReport model = mdlInspectModel(l.object);
    EXPECT_TRUE(model.problems.empty()) << file.name << ": " << model.problems[0].reason;
    if (file.name == "reuse-200") {
        EXPECT_EQ(model.models.size(), 1u) << "a shared model is listed once";
    }
    if (l.motionBody) {
        const MotionReport motion = mdlInspectMotion(l.motionBody, static_cast<int32_t>(model.nodes.size()));
        EXPECT_TRUE(motion.problems.empty()) << file.name << ": " << motion.problems[0].reason;
    }

    Library lib;
    Scene scene;
    ASSERT_TRUE(scene.opened);
    Drawn d;
    {
        platform::ScopedCallTrace trace;
        scene.Draw(l.object, l.motionBody, 5.0f);
        d.strips = StripsSent();
    }
    d.nodes = mdlGetState()->nodeIndex;
    EXPECT_FALSE(mdlGetState()->workCut);
    EXPECT_EQ(mdlGetState()->matrixDepth, 0);
    EXPECT_EQ(static_cast<int32_t>(model.nodes.size()), d.nodes) << "the inspector walks the tree as the drawing does";

    const auto& table = Expectations();
    const std::string key = file.name == "padded-lists" ? "packed-odd-offsets" : file.name;
    ASSERT_TRUE(table.count(key)) << file.name;
    table.at(key)(file, l, d, lib);
}

INSTANTIATE_TEST_SUITE_P(Corpus, Conformance, ::testing::ValuesIn(corpus::ConformanceCorpus()),
                         [](const ::testing::TestParamInfo<corpus::File>& param) {
                             std::string name;
                             for (char c : param.param.name) name += c == '-' ? '_' : c;
                             return name;
                         });

TEST(ConformanceLayout, PackedFileReallyPutsTheModelBodyOnAnOddAddress) {
    const corpus::File& file = corpus::CorpusFile("packed-odd-offsets");
    std::vector<ChunkInfo> chunks;
    ASSERT_TRUE(ListChunks(file.model.data(), static_cast<uint32_t>(file.model.size()), &chunks).ok());
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[1].size, 3u);     // a relocation list of 3 bytes
    EXPECT_EQ(chunks[2].offset, 47u);  // so the model's body starts at 55
    EXPECT_EQ(chunks[2].size % 4, 2u);
}

TEST(ConformanceLayout, TheSamePictureFromPackedAndPaddedFiles) {
    std::vector<uint32_t> pixels[2];
    int k = 0;
    for (const char* name : {"packed-odd-offsets", "padded-lists"}) {
        Loaded l;
        ASSERT_NO_FATAL_FAILURE(Load(corpus::CorpusFile(name), &l));
        Library lib;
        Scene scene;
        scene.Draw(l.object, {}, 0.0f);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) pixels[k].push_back(scene.window.Pixel(x, y) & 0xFFFFFFu);
        ++k;
    }
    EXPECT_EQ(pixels[0], pixels[1]);
    EXPECT_GT(std::count(pixels[0].begin(), pixels[0].end(), 0x336699u), 5000) << "the square in its colour";
}

}  // namespace
