// quillmote-export run as a user runs it, and its files checked by programs we did not write:
// the Khronos glTF validator, assimp, and f3d drawing the export beside quillmote-render's
// picture. A test whose outside program is not installed says so and skips
// (scripts/install-deps installs them all).
#include "data/ChunkFile.h"
#include "model/ModelInspect.h"
#include "tests/support/ConformanceCorpus.h"
#include "tests/support/Golden.h"
#include "tests/tools/BadFiles.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

const std::string kExport = QM_EXPORT_PROGRAM;
const std::string kRender = QM_RENDER_PROGRAM;

class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override { fs::remove_all(ScratchRoot()); }
};
const ::testing::Environment* const kCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

// The full path of a program on PATH, or empty.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const fs::path candidate = fs::path(dir) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string SourcePath(const std::string& relative) { return golden::ResolveSourcePath(relative); }

std::vector<uint8_t> EmbeddedModel() { return ReadBytes(SourcePath("resources/assets/quillmote.model")); }
std::vector<uint8_t> EmbeddedMotion() { return ReadBytes(SourcePath("resources/assets/quillmote.motion")); }

// A file loaded as the tools load it, in word-aligned storage of its own.
struct LoadedFile {
    explicit LoadedFile(const std::vector<uint8_t>& bytes, bool model) : image(bytes) {
        ChunkBody texList;
        const LoadResult r = model ? mdlLoadModelFile(image.Data(), image.Size(), &texList, &body)
                                   : mdlLoadMotionFile(image.Data(), image.Size(), &body);
        EXPECT_TRUE(static_cast<bool>(r)) << r.Message();
    }
    modeltest::BodyImage image;
    ChunkBody body;
};

size_t NodeCount(const std::vector<uint8_t>& modelFile) {
    LoadedFile model(modelFile, true);
    return mdlInspectModel(model.body).nodes.size();
}

// A motion without keys for a tree of `nodes` nodes: the stored pose.
std::vector<uint8_t> StillMotion(size_t nodes) {
    const std::vector<std::vector<modeltest::KeyList>> none(nodes, {modeltest::KeyList{}, modeltest::KeyList{false, {}}});
    return MotionFile(modeltest::BuildMotionBody(kMotionPositionKeys | kMotionAngleKeys, 2, none, 1));
}

// Exports `model` / `motion` (empty: the embedded one) to `out`; the exit status.
RunResult Export(const fs::path& dir, const std::vector<uint8_t>& model, const std::vector<uint8_t>& motion,
                 const fs::path& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args;
    if (!model.empty()) {
        WriteBytes(dir / "in.model", model);
        args.insert(args.end(), {"--model", (dir / "in.model").string()});
    }
    if (!motion.empty()) {
        WriteBytes(dir / "in.motion", motion);
        args.insert(args.end(), {"--motion", (dir / "in.motion").string()});
    }
    args.insert(args.end(), {"-o", out.string()});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(kExport, args, dir);
}

// --- the program ----------------------------------------------------------------------------

TEST(ExportProgram, TheSameInputsGiveTheSameBytesInBothForms) {
    const fs::path dir = ScratchDir("export-bytes");
    ASSERT_EQ(Export(dir, {}, {}, dir / "a.glb").status, 0);
    ASSERT_EQ(Export(dir, {}, {}, dir / "b.glb").status, 0);
    EXPECT_EQ(ReadBytes(dir / "a.glb"), ReadBytes(dir / "b.glb"));
    const std::vector<uint8_t> glb = ReadBytes(dir / "a.glb");
    ASSERT_GT(glb.size(), 20u);
    EXPECT_EQ(std::string(glb.begin(), glb.begin() + 4), "glTF");

    // A .gltf names its buffer beside it; the buffer is the .glb's binary chunk.
    const RunResult r = Export(dir, {}, {}, dir / "my scene.gltf");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string json = ReadText(dir / "my scene.gltf");
    EXPECT_NE(json.find("\"uri\": \"my%20scene.bin\""), std::string::npos);
    const std::vector<uint8_t> bin = ReadBytes(dir / "my scene.bin");
    const uint32_t jsonBytes = glb[12] | (glb[13] << 8) | (glb[14] << 16) | (static_cast<uint32_t>(glb[15]) << 24);
    EXPECT_EQ(std::vector<uint8_t>(glb.begin() + 20 + jsonBytes + 8, glb.end()), bin);
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"a.glb", "b.glb", "my scene.bin", "my scene.gltf"}));
}

TEST(ExportProgram, BadInputIsOneLinePerProblemAndNoFile) {
    for (const BadFile& bad : BadFiles(EmbeddedModel())) {
        SCOPED_TRACE(bad.name);
        const fs::path dir = ScratchDir("export-bad-" + bad.name);
        const fs::path out = dir / "out.glb";
        const RunResult r = bad.isModel ? Export(dir, bad.bytes, {}, out) : Export(dir, {}, bad.bytes, out);
        EXPECT_EQ(r.status, 1);
        const std::vector<std::string> lines = Lines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        const std::string file = (dir / (bad.isModel ? "in.model" : "in.motion")).string();
        EXPECT_EQ(lines[0].rfind("quillmote-export: " + file + ": offset " + std::to_string(bad.offset) + ": ", 0), 0u)
            << lines[0];
        EXPECT_NE(lines[0].find(bad.reason), std::string::npos) << lines[0];
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{bad.isModel ? "in.model" : "in.motion"}));
    }
}

TEST(ExportProgram, AMotionOfBillionsOfFramesIsRefusedUnlessKeysOnly) {
    const fs::path dir = ScratchDir("export-long-motion");
    std::vector<uint8_t> motion = EmbeddedMotion();
    for (int i = 0; i < 4; ++i) motion[12 + i] = 0xFF;  // the frame count, body offset 4
    const RunResult r = Export(dir, {}, motion, dir / "out.glb");
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("quillmote-export: " + (dir / "in.motion").string() + ": offset 12: ", 0), 0u) << lines[0];
    EXPECT_FALSE(fs::exists(dir / "out.glb"));
    EXPECT_EQ(Export(dir, {}, motion, dir / "out.glb", {"--keys-only"}).status, 0);
}

TEST(ExportProgram, UsageErrorsHelpAndVersion) {
    const fs::path dir = ScratchDir("export-usage");
    const std::vector<std::vector<std::string>> usage = {
        {},                                  // no output
        {"-o", "out.png"},                   // not a glTF name
        {"-o"},                              // missing value
        {"-o", "out.glb", "--fps", "0"},     // no frames a second
        {"-o", "out.glb", "--fps", "x"},
        {"-o", "out.glb", "--frame", "3"},   // unknown option
    };
    for (const auto& args : usage) {
        const RunResult r = RunProgram(kExport, args, dir);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(r.err.find("usage: quillmote-export"), std::string::npos);
    }
    const RunResult help = RunProgram(kExport, {"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--model", "--motion", "-o OUT.glb", "-o OUT.gltf", "--keys-only", "--fps", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const RunResult version = RunProgram(kExport, {"--version"}, dir);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("quillmote-export ") + QM_VERSION + "\n");
}

TEST(ExportProgram, AnUnwritableOutputLeavesNothing) {
    const fs::path dir = ScratchDir("export-unwritable");
    const RunResult r = Export(dir, {}, {}, dir / "missing" / "out.gltf");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_TRUE(FilesIn(dir).empty());
}

// --- the Khronos glTF validator -------------------------------------------------------------

TEST(ExportChecks, TheValidatorFindsNoErrorOrWarning) {
    const std::string node = FindProgram("node");
    if (node.empty()) GTEST_SKIP() << "skipped: node is not installed (scripts/install-deps installs it)";
    const fs::path dir = ScratchDir("export-validate");
    std::vector<std::string> args = {SourcePath("scripts/gltf-validate.mjs")};
    auto add = [&](const std::string& name, const std::vector<uint8_t>& model, const std::vector<uint8_t>& motion,
                   std::vector<std::string> extra = {}) {
        const fs::path sub = dir / name;
        fs::create_directories(sub);
        const RunResult r = Export(sub, model, motion, sub / (name + ".glb"), extra);
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        args.push_back((sub / (name + ".glb")).string());
    };
    add("embedded", {}, {});
    add("embedded-keys", {}, {}, {"--keys-only", "--fps", "24"});
    ASSERT_EQ(Export(dir, {}, {}, dir / "embedded.gltf").status, 0);
    args.push_back((dir / "embedded.gltf").string());
    // A corpus file without a motion is exported in its stored pose.
    for (const corpus::File& f : corpus::ConformanceCorpus())
        add("corpus-" + f.name, f.model, f.motion.empty() ? StillMotion(NodeCount(f.model)) : f.motion);

    const RunResult r = RunProgram(node, args, dir);
    if (r.status == 3) GTEST_SKIP() << "skipped: " << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // Every file was looked at with no error and no warning. The only hint allowed is an empty
    // node: the file's whole node tree is exported, leaves that carry no vertices included.
    size_t summaries = 0;
    for (const std::string& line : Lines(r.out)) {
        if (line.find(": errors ") != std::string::npos) {
            ++summaries;
            EXPECT_NE(line.find("errors 0 warnings 0 "), std::string::npos) << line;
        } else {
            EXPECT_NE(line.find("info NODE_EMPTY "), std::string::npos) << line;
        }
    }
    EXPECT_EQ(summaries, args.size() - 1) << r.out;
}

// --- assimp ---------------------------------------------------------------------------------

TEST(ExportChecks, AssimpReadsTheTreeTheMeshItsBonesAndTheMotion) {
    const std::string assimp = FindProgram("assimp");
    if (assimp.empty()) GTEST_SKIP() << "skipped: assimp is not installed (Debian assimp-utils)";
    const fs::path dir = ScratchDir("export-assimp");
    ASSERT_EQ(Export(dir, {}, {}, dir / "out.glb").status, 0);

    // What to expect, read from the files themselves.
    LoadedFile model(EmbeddedModel(), true);
    const ModelReport report = mdlInspectModel(model.body);
    LoadedFile motion(EmbeddedMotion(), false);
    const MotionReport motionReport = mdlInspectMotion(motion.body, static_cast<int32_t>(report.nodes.size()));
    size_t animatedNodes = 0;
    for (const InspectMotionNode& n : motionReport.nodes)
        animatedNodes += (n.lists[0].count > 0 || n.lists[1].count > 0 || n.lists[2].count > 0) ? 1 : 0;

    const RunResult info = RunProgram(assimp, {"info", (dir / "out.glb").string()}, dir);
    ASSERT_EQ(info.status, 0) << info.err;
    // "Name:   123" at the start of a line.
    auto field = [&](const std::string& name) {
        const size_t at = ("\n" + info.out).find("\n" + name + ":");
        if (at == std::string::npos) return -1L;
        return std::strtol(info.out.c_str() + at + name.size() + 1, nullptr, 10);
    };
    // assimp adds a root above the tree and the mesh node.
    EXPECT_EQ(field("Nodes"), static_cast<long>(report.nodes.size()) + 2);
    EXPECT_EQ(field("Animations"), 1);
    EXPECT_EQ(field("Animation Channels"), static_cast<long>(animatedNodes));
    EXPECT_GE(field("Meshes"), 1);  // one per material
    EXPECT_GT(field("Bones"), 0);
    EXPECT_NE(info.out.find("node_00"), std::string::npos);

    // The animation runs from frame 0 to the motion's last frame at 30 frames a second.
    const RunResult dump = RunProgram(assimp, {"dump", (dir / "out.glb").string(), (dir / "out.xml").string()}, dir);
    ASSERT_EQ(dump.status, 0) << dump.err;
    const std::string xml = ReadText(dir / "out.xml");
    const size_t animation = xml.find("<Animation name=\"motion\"");
    ASSERT_NE(animation, std::string::npos);
    auto attribute = [&](const std::string& name) {
        const size_t at = xml.find(name + "=\"", animation);
        return at == std::string::npos ? 0.0 : std::strtod(xml.c_str() + at + name.size() + 2, nullptr);
    };
    const double seconds = attribute("duration") / attribute("tick_cnt");
    EXPECT_NEAR(seconds, (motionReport.frameCount - 1) / 30.0, 1e-3);
}

// --- an independent renderer ----------------------------------------------------------------

// Pixels that belong to the character: in quillmote's picture those that differ from the same
// scene without the model; in the renderer's, those that are not its white background.
std::vector<bool> QuillmoteSilhouette(const png::Image& withModel, const png::Image& without, int w, int h) {
    std::vector<bool> mask(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* a = withModel.At(x, y);
            const uint8_t* b = without.At(x, y);
            bool differs = false;
            for (int c = 0; c < 3; ++c) differs |= std::abs(a[c] - b[c]) > 8;
            mask[static_cast<size_t>(y) * w + x] = differs;
        }
    return mask;
}

std::vector<bool> RendererSilhouette(const png::Image& picture, int w, int h) {
    std::vector<bool> mask(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = picture.At(x, y);
            mask[static_cast<size_t>(y) * w + x] = p[0] < 250 || p[1] < 250 || p[2] < 250;
        }
    return mask;
}

double IntersectionOverUnion(const std::vector<bool>& a, const std::vector<bool>& b) {
    size_t both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        both += (a[i] && b[i]) ? 1 : 0;
        either += (a[i] || b[i]) ? 1 : 0;
    }
    return either == 0 ? 0.0 : static_cast<double>(both) / static_cast<double>(either);
}

png::Image Picture(const fs::path& path) {
    png::Image image;
    std::string error;
    EXPECT_TRUE(png::ReadPng(path.string(), image, &error)) << error;
    return image;
}

TEST(ExportChecks, AnIndependentRendererDrawsQuillmotesFrames) {
    const std::string f3d = FindProgram("f3d");
    const std::string node = FindProgram("node");
    if (f3d.empty() || node.empty()) GTEST_SKIP() << "skipped: f3d or node is not installed (scripts/install-deps)";
    const bool display = std::getenv("DISPLAY") != nullptr;
    const std::string xvfb = FindProgram("xvfb-run");
    if (!display && xvfb.empty()) GTEST_SKIP() << "skipped: no display and no xvfb-run for f3d";

    const fs::path dir = ScratchDir("export-f3d");
    ASSERT_EQ(Export(dir, {}, {}, dir / "dance.gltf").status, 0);
    // The scene without the model: a tree of one node that draws nothing.
    modeltest::ModelBuilder empty;
    empty.Node();
    WriteBytes(dir / "empty.model", ModelFile(empty.Raw()));

    // The viewer's camera in the model's space: the model stands 2.5 units from the eye along
    // the view direction, turned 1.5707965 radians about y; the eye is 0.6 above its origin.
    // The picture is 639 x 479 pixels whose horizontal field of view is 60 degrees.
    const double turn = static_cast<double>(1.5707965f);
    const double eye[3] = {2.5 * std::sin(turn), 0.6, 2.5 * std::cos(turn)};
    const double focal[3] = {eye[0] - std::sin(turn), 0.6, eye[2] - std::cos(turn)};
    const int w = 639, h = 479;
    const double pi = std::acos(-1.0);
    const double verticalDegrees = 2.0 * std::atan(static_cast<double>(h) / w * std::tan(pi / 6.0)) * 180.0 / pi;
    auto triple = [](const double v[3]) {
        char text[96];
        std::snprintf(text, sizeof text, "%.9g,%.9g,%.9g", v[0], v[1], v[2]);
        return std::string(text);
    };

    LoadedFile motion(EmbeddedMotion(), false);
    const MotionReport motionReport = mdlInspectMotion(motion.body, 0);
    for (int frame : {0, 30, 60}) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        if (motionReport.frameCount < 2 || static_cast<uint32_t>(frame) > motionReport.frameCount - 2) continue;
        const std::string f = std::to_string(frame);
        const fs::path posed = dir / ("posed-" + f + ".gltf");
        ASSERT_EQ(RunProgram(node, {SourcePath("tests/tools/gltf-pose.mjs"), (dir / "dance.gltf").string(),
                                    std::to_string(frame / 30.0), posed.string()}, dir).status, 0);
        std::vector<std::string> args = {"-a", "-s", "-screen 0 1024x768x24", f3d};
        if (display) args.clear();
        const std::vector<std::string> f3dArgs = {
            posed.string(), "--camera-position", triple(eye), "--camera-focal-point", triple(focal),
            "--camera-view-up", "0,1,0", "--camera-view-angle", std::to_string(verticalDegrees), "--resolution",
            std::to_string(w) + "," + std::to_string(h), "--bg-color", "1,1,1", "--output",
            (dir / ("f3d-" + f + ".png")).string()};
        args.insert(args.end(), f3dArgs.begin(), f3dArgs.end());
        const RunResult drawn = RunProgram(display ? f3d : xvfb, args, dir);
        ASSERT_EQ(drawn.status, 0) << drawn.err;

        ASSERT_EQ(RunProgram(kRender, {"--frame", f, "-o", (dir / ("ours-" + f + ".png")).string()}, dir).status, 0);
        ASSERT_EQ(RunProgram(kRender, {"--model", (dir / "empty.model").string(), "--frame", f, "-o",
                                       (dir / ("scene-" + f + ".png")).string()}, dir).status, 0);
        const png::Image theirs = Picture(dir / ("f3d-" + f + ".png"));
        const png::Image ours = Picture(dir / ("ours-" + f + ".png"));
        const png::Image scene = Picture(dir / ("scene-" + f + ".png"));
        ASSERT_EQ(theirs.width, w);
        ASSERT_EQ(theirs.height, h);
        const double iou = IntersectionOverUnion(QuillmoteSilhouette(ours, scene, w, h), RendererSilhouette(theirs, w, h));
        EXPECT_GE(iou, 0.97);
        std::printf("frame %d: silhouette intersection over union %.4f\n", frame, iou);
    }
}

}  // namespace
