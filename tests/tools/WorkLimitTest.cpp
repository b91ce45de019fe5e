// The work a file can make quillmote-render do is bounded per frame and per run, each bound
// named with the option that raises it; and every file of the conformance corpus is sound to
// quillmote-inspect and drawn by quillmote-render.
#include "tests/support/ConformanceCorpus.h"
#include "tests/tools/BadFiles.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

const std::string kRender = QM_RENDER_PROGRAM;
const std::string kInspect = QM_INSPECT_PROGRAM;

// Under 1 KB: a strip of 217 triangles over a quad wider than the picture, cached once and
// replayed by 100 call chunks (about 1.5 billion fragments a frame unbounded).
std::vector<uint8_t> ReplayedQuadModel() {
    modeltest::ModelBuilder m;
    const uint32_t quad = m.Node();
    const uint32_t caller = m.Node();
    m.Sibling(quad, caller);
    const uint32_t vertices = m.StartList();
    m.VertexChunk(0x24, 0, 0, {{-30, 0, -30}, {30, 0, -30}, {-30, 0, 30}, {30, 0, 30}});
    m.EndVertices();
    const uint32_t cached = m.StartList();
    m.Words({0x0004, 0x0011, 2});
    m.Color(0xFF8040C0);
    std::vector<uint16_t> strip;
    for (uint16_t i = 0; i < 217; ++i) strip.push_back(i % 4);
    m.Strips(0x40, {strip});
    m.EndPolygons();
    const uint32_t calls = m.StartList();
    for (int i = 0; i < 100; ++i) m.Words({0x0005});
    m.EndPolygons();
    m.Model(quad, vertices, cached);
    m.Model(caller, 0, calls);
    return ModelFile(m.Raw());
}

// 48 bytes: two still nodes and a frame count of 4 294 967 295.
std::vector<uint8_t> EndlessMotion() {
    modeltest::KeyList none;
    return MotionFile(modeltest::BuildMotionBody(0x3, 1, {{none}, {none}}, 0xFFFFFFFFu));
}

struct Files {
    fs::path dir, model, motion;
};

Files WriteFiles(const std::string& name, const std::vector<uint8_t>& model, const std::vector<uint8_t>& motion) {
    Files f{ScratchDir(name), {}, {}};
    f.model = f.dir / "in.model";
    f.motion = f.dir / "in.motion";
    WriteBytes(f.model, model);
    WriteBytes(f.motion, motion);
    return f;
}

void ExpectOneLineNaming(const RunResult& r, const std::string& what, const std::string& option) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
}

TEST(WorkLimits, ASmallFileReplayingAHugeStripStopsAtTheFragmentLimitAndWritesNothing) {
    const std::vector<uint8_t> model = ReplayedQuadModel();
    ASSERT_LT(model.size(), 1024u);
    const Files f = WriteFiles("replayed-quad", model, EndlessMotion());
    const RunResult r = RunProgram(kRender, {"--model", f.model, "--motion", f.motion, "-o", (f.dir / "out.png").string()}, f.dir);
    ExpectOneLineNaming(r, "19660800 fragments", "--max-fragments");
    EXPECT_FALSE(fs::exists(f.dir / "out.png"));
}

TEST(WorkLimits, TheFragmentLimitOfALargerRenderSizeGrowsWithItsArea) {
    const Files f = WriteFiles("replayed-quad-large", ReplayedQuadModel(), EndlessMotion());
    const RunResult r = RunProgram(kRender, {"--model", f.model, "--motion", f.motion, "--benchmark", "1", "--render-size",
                                             "1280x960"}, f.dir);
    ExpectOneLineNaming(r, " 78643200 fragments", "--max-fragments");
}

TEST(WorkLimits, AMotionClaimingFourBillionFramesIsRefusedBeforeAnyFrame) {
    const std::vector<uint8_t> motion = EndlessMotion();
    ASSERT_EQ(motion.size(), 48u);
    modeltest::ModelBuilder m;
    m.Child(m.Node(), m.Node());
    const Files f = WriteFiles("endless-motion", ModelFile(m.Raw()), motion);
    RunResult r = RunProgram(kRender, {"--model", f.model, "--motion", f.motion, "--all-frames", "--animation",
                                       (f.dir / "anim.png").string()}, f.dir);
    ExpectOneLineNaming(r, "4294967294 pictures, more than the limit of 3600", "--max-frames");
    r = RunProgram(kRender, {"--model", f.model, "--motion", f.motion, "--all-frames", "-o",
                             (f.dir / "f-{frame}.png").string()}, f.dir);
    ExpectOneLineNaming(r, "limit of 3600", "--max-frames");
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator()), 2) << "only the inputs";
}

TEST(WorkLimits, EachLimitIsSetByItsOption) {
    const fs::path dir = ScratchDir("limit-options");
    const std::string out = (dir / "out.png").string();
    ExpectOneLineNaming(RunProgram(kRender, {"--max-model-steps", "1000", "-o", out}, dir), "1000 steps",
                        "--max-model-steps");
    ExpectOneLineNaming(RunProgram(kRender, {"--max-fragments", "5000", "-o", out}, dir), "5000 fragments",
                        "--max-fragments");
    ExpectOneLineNaming(RunProgram(kRender, {"--all-frames", "--max-frames", "88", "--animation", out}, dir),
                        "89 pictures", "--max-frames");
    EXPECT_FALSE(fs::exists(out));
    // The embedded dance is well inside every default, and exactly inside these.
    const RunResult r = RunProgram(kRender, {"--all-frames", "--max-frames", "89", "--max-model-steps", "20000",
                                             "--animation", out}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out));
}

TEST(ConformanceCorpus, EveryFileIsSoundToTheInspectorAndDrawn) {
    for (const corpus::File& file : corpus::ConformanceCorpus()) {
        const Files f =
            WriteFiles("corpus-" + file.name, file.model, file.motion.empty() ? corpus::StillMotion(1024) : file.motion);
        const RunResult inspect = RunProgram(kInspect, {"--model", f.model, "--motion", f.motion}, f.dir);
        EXPECT_EQ(inspect.status, 0) << file.name << ":\n" << inspect.err;
        EXPECT_TRUE(inspect.err.empty()) << file.name;
        const RunResult render =
            RunProgram(kRender, {"--model", f.model, "--motion", f.motion, "-o", (f.dir / "out.png").string()}, f.dir);
        EXPECT_EQ(render.status, 0) << file.name << ":\n" << render.err;
        EXPECT_TRUE(fs::exists(f.dir / "out.png")) << file.name;
    }
}

}  // namespace
