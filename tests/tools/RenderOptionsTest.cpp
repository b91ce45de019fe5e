// The command line of quillmote-render.
#include "tools/render/RenderOptions.h"

#include <gtest/gtest.h>

namespace {

RenderOptions Accept(std::vector<std::string> args) {
    RenderOptions options;
    std::string error;
    EXPECT_TRUE(ParseRenderOptions(args, &options, &error)) << error;
    return options;
}

std::string Refuse(std::vector<std::string> args) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(ParseRenderOptions(args, &options, &error));
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(RenderCommandLine, DefaultsAreTheViewersStartingPicture) {
    const RenderOptions o = Accept({"-o", "out.png"});
    EXPECT_FALSE(o.modelPath);
    EXPECT_FALSE(o.motionPath);
    EXPECT_FALSE(o.frame);
    EXPECT_FALSE(o.angleX);
    EXPECT_FALSE(o.angleY);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 480);
    EXPECT_EQ(*o.output, "out.png");
}

TEST(RenderCommandLine, ReadsEveryInputOption) {
    const RenderOptions o = Accept({"--model", "m.bin", "--motion", "n.bin", "--frame", "12", "--angle-x", "-0.25",
                                    "--angle-y", "1e-1", "--size", "1000x700", "-o", "x.png"});
    EXPECT_EQ(*o.modelPath, "m.bin");
    EXPECT_EQ(*o.motionPath, "n.bin");
    EXPECT_EQ(*o.frame, 12);
    EXPECT_FLOAT_EQ(*o.angleX, -0.25f);
    EXPECT_FLOAT_EQ(*o.angleY, 0.1f);
    EXPECT_EQ(o.width, 1000);
    EXPECT_EQ(o.height, 700);
}

TEST(RenderCommandLine, HelpNeedsNoOutput) { EXPECT_TRUE(Accept({"--help"}).help); }

TEST(RenderCommandLine, AllFramesTakesAPatternOrAnAnimation) {
    EXPECT_TRUE(Accept({"--all-frames", "-o", "d/frame-{frame}.png"}).allFrames);
    EXPECT_EQ(*Accept({"--all-frames", "--animation", "a.png"}).animation, "a.png");
    Refuse({"--all-frames", "-o", "d/frame.png"});            // no {frame}: every frame would overwrite one file
    Refuse({"--all-frames"});                                 // nowhere to write
    Refuse({"--animation", "a.png"});                         // an animation is of all frames
    Refuse({"--all-frames", "--animation", "a.png", "-o", "b-{frame}.png"});
    Refuse({"--all-frames", "--frame", "3", "-o", "{frame}.png"});
}

TEST(RenderCommandLine, ReplayDecidesFrameAndAngles) {
    EXPECT_EQ(*Accept({"--replay", "log", "-o", "x.png"}).replayPath, "log");
    Refuse({"--replay", "log", "--frame", "2", "-o", "x.png"});
    Refuse({"--replay", "log", "--angle-y", "2", "-o", "x.png"});
}

TEST(RenderCommandLine, BenchmarkWritesNothing) {
    EXPECT_EQ(*Accept({"--benchmark", "50"}).benchmarkFrames, 50);
    Refuse({"--benchmark", "50", "-o", "x.png"});
    Refuse({"--benchmark", "0"});
    Refuse({"--benchmark", "many"});
}

TEST(RenderCommandLine, RenderSizeIsForBenchmarksAndSetsTheClientArea) {
    const RenderOptions o = Accept({"--benchmark", "5", "--render-size", "3840x2880"});
    EXPECT_EQ(o.renderSize->width, 3840);
    EXPECT_EQ(o.renderSize->height, 2880);
    EXPECT_EQ(o.width, 3840);
    EXPECT_EQ(o.height, 2880);
    EXPECT_EQ(Accept({"--render-size", "2x2", "--benchmark", "5"}).width, 2);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--render-size", "1280x960", "-o", "x.png"},                       // the viewer's pictures keep their size
             {"--render-size", "1280x960", "--benchmark", "5", "--size", "640x480"},
             {"--render-size", "1x480", "--benchmark", "5"},                     // a picture of nothing
             {"--render-size", "4097x480", "--benchmark", "5"},
             {"--render-size", "640x480", "--render-size", "640x480", "--benchmark", "5"}})
        EXPECT_NE(Refuse(args).find("--render-size"), std::string::npos) << args[1] << " " << args[2];
}

TEST(RenderCommandLine, ThreadsAreOneOrTwo) {
    EXPECT_FALSE(Accept({"--benchmark", "5"}).threads.has_value());
    EXPECT_EQ(*Accept({"--threads", "1", "--benchmark", "5"}).threads, 1);
    EXPECT_EQ(*Accept({"--threads", "2", "-o", "x.png"}).threads, 2);
    for (const char* bad : {"0", "3", "two", ""}) Refuse({"--threads", bad, "-o", "x.png"});
    Refuse({"--threads", "1", "--threads", "2", "-o", "x.png"});
}

TEST(RenderCommandLine, RefusesBadValues) {
    Refuse({"--frame", "-1", "-o", "x.png"});
    Refuse({"--frame", "1.5", "-o", "x.png"});
    Refuse({"--angle-x", "nan", "-o", "x.png"});
    Refuse({"--angle-y", "inf", "-o", "x.png"});
    Refuse({"--angle-y", "0.5rad", "-o", "x.png"});
    Refuse({"--size", "0x480", "-o", "x.png"});
    Refuse({"--size", "640", "-o", "x.png"});
    Refuse({"--size", "9000x10", "-o", "x.png"});
    Refuse({"--size", "-640x480", "-o", "x.png"});
}

TEST(RenderCommandLine, RefusesUnknownRepeatedAndIncompleteOptions) {
    EXPECT_NE(Refuse({"--colour", "red", "-o", "x.png"}).find("--colour"), std::string::npos);
    Refuse({"-o", "a.png", "-o", "b.png"});
    Refuse({"--model"});
    Refuse({});  // no output at all
}

TEST(FrameFileNames, PadTheFrameToTheLastFramesDigits) {
    EXPECT_EQ(FramePath("out/frame-{frame}.png", 7, 88), "out/frame-07.png");
    EXPECT_EQ(FramePath("out/frame-{frame}.png", 88, 88), "out/frame-88.png");
    EXPECT_EQ(FramePath("{frame}/{frame}.png", 3, 120), "003/003.png");
    EXPECT_EQ(FramePath("f{frame}.png", 0, 0), "f0.png");
}

TEST(FrameFileNames, SizeParsingKeepsBothSides) {
    int32_t w = 0;
    int32_t h = 0;
    ASSERT_TRUE(ParseSize("300x200", &w, &h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);
    EXPECT_TRUE(ParseSize("1x4096", &w, &h));
    EXPECT_FALSE(ParseSize("1x4097", &w, &h));
    EXPECT_FALSE(ParseSize("300x", &w, &h));
    EXPECT_FALSE(ParseSize("x200", &w, &h));
}

}  // namespace

namespace {

TEST(RenderCommandLine, WorkLimitsTakeWholeNumbersFromOne) {
    const RenderOptions o = Accept({"--max-model-steps", "7", "--max-fragments", "8", "--max-frames", "9", "-o", "x"});
    EXPECT_EQ(*o.maxModelSteps, 7u);
    EXPECT_EQ(*o.maxFragments, 8u);
    EXPECT_EQ(*o.maxFrames, 9u);
    EXPECT_FALSE(Accept({"-o", "x"}).maxFrames);
    for (const char* option : {"--max-model-steps", "--max-fragments", "--max-frames"}) {
        for (const char* bad : {"0", "-3", "1e6", "many"}) EXPECT_NE(Refuse({option, bad, "-o", "x"}).find(option), std::string::npos);
        Refuse({option, "5", option, "6", "-o", "x"});
    }
}

}  // namespace
