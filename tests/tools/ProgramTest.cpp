// quillmote-render and quillmote-inspect run as a user runs them: pictures, files, exit
// statuses and messages.
#include "tests/support/Golden.h"
#include "tests/tools/BadFiles.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

// Removes the scratch directories when the program ends.
class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override { fs::remove_all(ScratchRoot()); }
};
const ::testing::Environment* const kCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

const std::string kRender = QM_RENDER_PROGRAM;
const std::string kInspect = QM_INSPECT_PROGRAM;

png::Image ReadPicture(const fs::path& path) {
    png::Image image;
    std::string error;
    EXPECT_TRUE(png::ReadPng(path.string(), image, &error)) << path << ": " << error;
    return image;
}

std::vector<uint8_t> EmbeddedModel() { return ReadBytes(golden::ResolveSourcePath("resources/assets/quillmote.model")); }

// Files in a directory other than the runner's own output.
std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// As the view's picture tests: rounding passes, a wrong picture does not.
const golden::Tolerance kTolerance{4, 600};

// --- quillmote-render: pictures ----------------------------------------------------------

TEST(RenderPictures, TheDefaultPictureIsTheViewersFirstFrame) {
    const fs::path dir = ScratchDir("default");
    const RunResult r = RunProgram(kRender, {"-o", (dir / "out.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const png::Image p = ReadPicture(dir / "out.png");
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    EXPECT_TRUE(golden::MatchesGolden(p, "tests/app/golden/frame-0.png", kTolerance));
}

TEST(RenderPictures, AFrameAndAnglesGiveTheirOwnPicture) {
    const fs::path dir = ScratchDir("posed");
    const RunResult r = RunProgram(kRender, {"--frame", "30", "--angle-y", "0.8", "--angle-x", "-0.3", "-o",
                                      (dir / "out.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(golden::MatchesGolden(ReadPicture(dir / "out.png"), "tests/tools/golden/frame-30-turned.png", kTolerance));
}

TEST(RenderPictures, AReplayedDragGivesTheSamePictureAsTheViewDragged) {
    const fs::path dir = ScratchDir("replay");
    std::string log = "# press, drag 60 px right and 30 px up, then ten plain moves\ndown 320 240\n";
    for (int i = 1; i <= 30; ++i) log += "move " + std::to_string(320 + 2 * i) + " " + std::to_string(240 - i) + " lbutton\n";
    for (int i = 0; i < 10; ++i) log += "move 380 210\n";
    WriteBytes(dir / "drag.log", std::vector<uint8_t>(log.begin(), log.end()));
    const RunResult r = RunProgram(kRender, {"--replay", (dir / "drag.log").string(), "-o", (dir / "out.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(golden::MatchesGolden(ReadPicture(dir / "out.png"), "tests/app/golden/drag-frame-40.png", kTolerance));
}

TEST(RenderPictures, ALargerClientAreaCentresThePictureOnTheBackground) {
    const fs::path dir = ScratchDir("size");
    ASSERT_EQ(RunProgram(kRender, {"--size", "1000x700", "-o", (dir / "big.png").string()}, dir).status, 0);
    ASSERT_EQ(RunProgram(kRender, {"-o", (dir / "small.png").string()}, dir).status, 0);
    const png::Image big = ReadPicture(dir / "big.png");
    const png::Image small = ReadPicture(dir / "small.png");
    ASSERT_EQ(big.width, 1000);
    ASSERT_EQ(big.height, 700);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(0, std::memcmp(big.At(180, 110 + y), small.At(0, y), 640 * 3)) << "row " << y;
    for (int x = 0; x < 180; ++x) ASSERT_EQ(big.At(x, 300)[0], 255);
}

TEST(RenderPictures, TheSameInputsGiveTheSameBytesAtOneAndTwoThreads) {
    const fs::path dir = ScratchDir("bytes");
    ASSERT_EQ(RunProgram(kRender, {"--frame", "7", "--angle-y", "0.8", "--threads", "1", "-o", (dir / "a.png").string()}, dir).status, 0);
    ASSERT_EQ(RunProgram(kRender, {"--frame", "7", "--angle-y", "0.8", "--threads", "2", "-o", (dir / "b.png").string()}, dir).status, 0);
    EXPECT_EQ(ReadBytes(dir / "a.png"), ReadBytes(dir / "b.png"));
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"a.png", "b.png"})) << "no temporary file left";
}

TEST(RenderPictures, AWrittenModelAndMotionAreShown) {
    const fs::path dir = ScratchDir("arm");
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    WriteBytes(dir / "arm.model", arm.ModelFile());
    WriteBytes(dir / "arm.motion", arm.MotionFile());
    const RunResult r = RunProgram(kRender, {"--model", (dir / "arm.model").string(), "--motion", (dir / "arm.motion").string(),
                                      "--frame", "10", "--angle-y", "-1.2", "--angle-x", "-0.3", "-o", (dir / "arm.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(golden::MatchesGolden(ReadPicture(dir / "arm.png"), "tests/tools/golden/arm-frame-10.png", kTolerance));
    // Frame 19 is the arm's last shown frame (count 21); 20 is not shown.
    EXPECT_EQ(RunProgram(kRender, {"--model", (dir / "arm.model").string(), "--motion", (dir / "arm.motion").string(),
                            "--frame", "20", "-o", (dir / "x.png").string()}, dir).status, 2);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
}

// --- quillmote-render: every frame ---------------------------------------------------------

TEST(RenderAllFrames, WritesOneNumberedPictureForEveryFrameShown) {
    const fs::path dir = ScratchDir("all");
    const RunResult r = RunProgram(kRender, {"--all-frames", "--size", "160x120", "-o", (dir / "frame-{frame}.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "no progress when standard error is not a terminal";
    const std::vector<std::string> names = FilesIn(dir);
    ASSERT_EQ(names.size(), 89u);  // frames 0 to 88
    EXPECT_EQ(names.front(), "frame-00.png");
    EXPECT_EQ(names[7], "frame-07.png");
    EXPECT_EQ(names.back(), "frame-88.png");
    // Each is that frame: frame 12 of the sequence is the picture of --frame 12.
    ASSERT_EQ(RunProgram(kRender, {"--frame", "12", "--size", "160x120", "-o", (dir / "single.png").string()}, dir).status, 0);
    EXPECT_EQ(ReadBytes(dir / "frame-12.png"), ReadBytes(dir / "single.png"));
}

uint32_t ApngFrameCount(const std::vector<uint8_t>& bytes) {
    // acTL: num_frames, big-endian, right after the chunk type.
    for (size_t i = 8; i + 12 <= bytes.size();) {
        const uint32_t length = uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 | uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
        if (std::memcmp(&bytes[i + 4], "acTL", 4) == 0)
            return uint32_t(bytes[i + 8]) << 24 | uint32_t(bytes[i + 9]) << 16 | uint32_t(bytes[i + 10]) << 8 | bytes[i + 11];
        i += 12 + length;
    }
    return 0;
}

TEST(RenderAllFrames, AnAnimationHoldsEveryFrameAtThirtyFramesASecond) {
    const fs::path dir = ScratchDir("apng");
    const RunResult r = RunProgram(kRender, {"--all-frames", "--size", "96x72", "--animation", (dir / "dance.png").string()}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> bytes = ReadBytes(dir / "dance.png");
    EXPECT_EQ(ApngFrameCount(bytes), 89u);
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"dance.png"});
    // fcTL delay 1/30 s: delay_num 1, delay_den 30 at offsets 20 and 22 of the chunk data.
    bool sawDelay = false;
    for (size_t i = 8; i + 12 <= bytes.size();) {
        const uint32_t length = uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 | uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
        if (std::memcmp(&bytes[i + 4], "fcTL", 4) == 0) {
            const uint8_t* d = &bytes[i + 8];
            EXPECT_EQ((d[20] << 8 | d[21]), 1);
            EXPECT_EQ((d[22] << 8 | d[23]), 30);
            sawDelay = true;
            break;
        }
        i += 12 + length;
    }
    EXPECT_TRUE(sawDelay);
}

TEST(RenderBenchmark, PrintsOneLineOfFigures) {
    const fs::path dir = ScratchDir("bench");
    const RunResult r = RunProgram(kRender, {"--benchmark", "5"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    int frames = 0;
    double median = -1;
    double p95 = -1;
    unsigned long long fragments = 0;
    double cpu = -1;
    int consumed = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "frames %d median_ms %lf p95_ms %lf fragments %llu cpu_median_ms %lf\n%n",
                          &frames, &median, &p95, &fragments, &cpu, &consumed),
              5)
        << r.out;
    EXPECT_EQ(static_cast<size_t>(consumed), r.out.size()) << "one line and nothing else: " << r.out;
    EXPECT_EQ(frames, 5);
    EXPECT_GT(median, 0.0);
    EXPECT_GE(p95, median);
    EXPECT_GT(cpu, 0.0);
    EXPECT_GT(fragments, 5u * 100000u) << "each frame shades the floor and panels at least";
    EXPECT_EQ(FilesIn(dir).size(), 0u);
}

// --- quillmote-render: usage -----------------------------------------------------------------

TEST(RenderUsage, HelpExplainsEveryOption) {
    const fs::path dir = ScratchDir("help");
    const RunResult r = RunProgram(kRender, {"--help"}, dir);
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--model", "--motion", "--frame", "--angle-x", "--angle-y", "--size", "--replay", "-o",
                               "--all-frames", "--animation", "--benchmark", "--threads", "--help", "--version"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(RenderUsage, UsageErrorsExitWithStatusTwoAndAShortUsage) {
    const fs::path dir = ScratchDir("usage");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--frame"}, {"--bogus", "-o", "x.png"}, {"--size", "0x0", "-o", "x.png"},
             {"--all-frames", "-o", "x.png"}, {"--frame", "89", "-o", "x.png"}, {"--angle-x", "nan", "-o", "x.png"}}) {
        const RunResult r = RunProgram(kRender, args, dir);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(no arguments)" : args[0]);
        EXPECT_NE(r.err.find("usage: quillmote-render"), std::string::npos);
    }
    EXPECT_EQ(FilesIn(dir).size(), 0u);
}

// --- bad input, both programs -----------------------------------------------------------------

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
        WriteBytes(dir / "arm.model", arm.ModelFile());
        WriteBytes(dir / "arm.motion", arm.MotionFile());
    }
    // Arguments that load `bad` in its place and the arm for the other file.
    std::vector<std::string> Inputs(const BadFile& bad) {
        const fs::path path = dir / (bad.name + ".bin");
        WriteBytes(path, bad.bytes);
        if (bad.isModel) return {"--model", path.string(), "--motion", (dir / "arm.motion").string()};
        return {"--model", (dir / "arm.model").string(), "--motion", path.string()};
    }
    fs::path dir;
};

TEST_F(BadInput, RenderRefusesEachWithFileOffsetAndReasonAndWritesNothing) {
    for (const BadFile& bad : BadFiles(EmbeddedModel())) {
        std::vector<std::string> args = Inputs(bad);
        args.insert(args.end(), {"-o", (dir / "out.png").string()});
        const RunResult r = RunProgram(kRender, args, dir);
        EXPECT_EQ(r.status, 1) << bad.name;
        const std::string expected = "quillmote-render: " + (dir / (bad.name + ".bin")).string() + ": offset " +
                                     std::to_string(bad.offset) + ": ";
        EXPECT_EQ(r.err.rfind(expected, 0), 0u) << bad.name << ": " << r.err;
        EXPECT_NE(r.err.find(bad.reason), std::string::npos) << bad.name << ": " << r.err;
        for (const std::string& line : Lines(r.err)) EXPECT_NE(line.find(": offset "), std::string::npos) << line;
        EXPECT_FALSE(fs::exists(dir / "out.png")) << bad.name;
    }
    EXPECT_EQ(FilesIn(dir).size(), 9u) << "only the inputs remain";
}

TEST_F(BadInput, RenderRefusesThemForEveryFrameAndAnimationToo) {
    const BadFile bad = BadFiles(EmbeddedModel())[4];  // the cycle
    std::vector<std::string> args = Inputs(bad);
    args.insert(args.end(), {"--all-frames", "--animation", (dir / "anim.png").string()});
    EXPECT_EQ(RunProgram(kRender, args, dir).status, 1);
    EXPECT_FALSE(fs::exists(dir / "anim.png"));
}

TEST_F(BadInput, InspectNamesEachProblemAndExitsWithStatusOne) {
    for (const BadFile& bad : BadFiles(EmbeddedModel())) {
        for (bool json : {false, true}) {
            std::vector<std::string> args = Inputs(bad);
            if (json) args.push_back("--json");
            const RunResult r = RunProgram(kInspect, args, dir);
            EXPECT_EQ(r.status, 1) << bad.name;
            const std::string expected = "quillmote-inspect: " + (dir / (bad.name + ".bin")).string() + ": offset " +
                                         std::to_string(bad.offset) + ": ";
            EXPECT_EQ(r.err.rfind(expected, 0), 0u) << bad.name << ": " << r.err;
            EXPECT_NE(r.err.find(bad.reason), std::string::npos) << bad.name;
            if (json) {
                EXPECT_NE(r.out.find("\"problems\": ["), std::string::npos);
            }
        }
    }
}

TEST_F(BadInput, AnOutputThatCannotBeWrittenIsReportedWithStatusOne) {
    const RunResult r = RunProgram(kRender, {"-o", (dir / "no-such-dir" / "out.png").string()}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("out.png"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "no-such-dir"));
}

TEST_F(BadInput, AMissingFileOrMouseLogIsReportedWithStatusOne) {
    const RunResult r = RunProgram(kRender, {"--model", (dir / "absent.model").string(), "-o", (dir / "o.png").string()}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("absent.model: cannot read"), std::string::npos) << r.err;
    EXPECT_EQ(RunProgram(kInspect, {"--motion", (dir / "absent.motion").string()}, dir).status, 1);
    WriteBytes(dir / "bad.log", std::vector<uint8_t>{'m', 'o', 'v', 'e', ' ', '1', '\n', 'x', '\n'});
    const RunResult log = RunProgram(kRender, {"--replay", (dir / "bad.log").string(), "-o", (dir / "o.png").string()}, dir);
    EXPECT_EQ(log.status, 1);
    EXPECT_NE(log.err.find("bad.log: line 1:"), std::string::npos) << log.err;
    EXPECT_FALSE(fs::exists(dir / "o.png"));
}

// --- quillmote-inspect ----------------------------------------------------------------------

TEST(Inspect, DescribesTheEmbeddedModelAndDance) {
    const fs::path dir = ScratchDir("inspect-embedded");
    const RunResult r = RunProgram(kInspect, {}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_NE(r.out.find("model: embedded model ("), std::string::npos);
    EXPECT_NE(r.out.find(" NJCM "), std::string::npos);
    EXPECT_NE(r.out.find(" POF0 "), std::string::npos);
    EXPECT_NE(r.out.find("nodes: 33, 7 levels"), std::string::npos);
    EXPECT_NE(r.out.find("frames: 90, flags 0x0003, lists per node: 2, nodes: 33"), std::string::npos);
    // The root's position keys, as many as the dance needs, from frame 0 to 89.
    EXPECT_NE(r.out.find("    0     position "), std::string::npos);
    EXPECT_NE(r.out.find(" (0-89)      -"), std::string::npos);

    const RunResult j = RunProgram(kInspect, {"--json"}, dir);
    ASSERT_EQ(j.status, 0);
    EXPECT_NE(j.out.find("\"frameCount\": 90"), std::string::npos);
    EXPECT_NE(j.out.find("\"problems\": []"), std::string::npos);
    EXPECT_EQ(j.out.front(), '{');
    EXPECT_EQ(j.out.substr(j.out.size() - 2), "}\n");
}

TEST(Inspect, DescribesASmallWrittenModelNodeByNode) {
    const fs::path dir = ScratchDir("inspect-arm");
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    WriteBytes(dir / "arm.model", arm.ModelFile());
    WriteBytes(dir / "arm.motion", arm.MotionFile());
    const std::vector<std::string> args = {"--model", (dir / "arm.model").string(), "--motion", (dir / "arm.motion").string()};
    const RunResult r = RunProgram(kInspect, args, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& t = r.out;
    EXPECT_NE(t.find("nodes: 3, 3 levels, 2 strips, 8 strip vertices, work entries used: 6"), std::string::npos) << t;
    EXPECT_NE(t.find("vertex chunk type 0x29 flags 0x80: 2 vertices, entries 0-1"), std::string::npos) << t;
    EXPECT_NE(t.find("vertex chunk type 0x29 flags 0x80: 4 vertices, entries 2-5"), std::string::npos) << t;
    EXPECT_NE(t.find("1 materials, 2 strip chunks, 2 strips, 8 vertices, cache slots 0, call slots none"), std::string::npos) << t;
    EXPECT_NE(t.find("call slots 0"), std::string::npos) << t;
    EXPECT_NE(t.find("colours: 0xFFC04020"), std::string::npos) << t;
    EXPECT_NE(t.find("frames: 21, flags 0x0003, lists per node: 2, nodes: 3"), std::string::npos) << t;
    EXPECT_NE(t.find("angle 3 (0-20)"), std::string::npos) << t;
    // The upper bone stands one unit up.
    EXPECT_NE(t.find("    2     2     0x00000020 0 1 0 "), std::string::npos) << t;

    std::vector<std::string> jsonArgs = args;
    jsonArgs.push_back("--json");
    const RunResult j = RunProgram(kInspect, jsonArgs, dir);
    ASSERT_EQ(j.status, 0);
    EXPECT_NE(j.out.find("\"position\": [\n          0,\n          1,\n          0\n        ]"), std::string::npos) << j.out;
    EXPECT_NE(j.out.find("\"colours\": [\n            \"0xFFC04020\""), std::string::npos) << j.out;
}

TEST(Inspect, UsageErrorsExitWithStatusTwo) {
    const fs::path dir = ScratchDir("inspect-usage");
    EXPECT_EQ(RunProgram(kInspect, {"--model"}, dir).status, 2);
    EXPECT_EQ(RunProgram(kInspect, {"--verbose"}, dir).status, 2);
    const RunResult help = RunProgram(kInspect, {"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--model", "--motion", "--json", "--help"}) EXPECT_NE(help.out.find(option), std::string::npos);
}

}  // namespace
