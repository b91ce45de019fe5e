// quillmote-thumbnail run as a file manager runs it: the picture, the motion beside the model,
// bad input and usage errors.
#include "tests/support/Golden.h"
#include "tests/tools/BadFiles.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

const std::string kThumbnail = QM_THUMBNAIL_PROGRAM;

std::vector<uint8_t> Asset(const char* name) { return ReadBytes(golden::ResolveSourcePath(std::string("resources/assets/") + name)); }

png::Image Thumbnail(const fs::path& model, const fs::path& dir, int size) {
    const fs::path out = dir / "thumb.png";
    const RunResult r = RunProgram(kThumbnail, {"-s", std::to_string(size), model.string(), out.string()}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    png::Image image;
    std::string error;
    EXPECT_TRUE(png::ReadPng(out.string(), image, &error)) << error;
    return image;
}

// The rectangle of pixels with any coverage: left, top, right, bottom (inclusive).
std::array<int, 4> Covered(const png::Image& p) {
    std::array<int, 4> box{p.width, p.height, -1, -1};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.At(x, y)[3] != 0) box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box;
}

// The character, and a flat arm that the viewer's own turn shows edge-on.
TEST(Thumbnail, TheModelFillsATransparentSquareCentred) {
    const fs::path dir = ScratchDir("thumbnail-framed");
    WriteBytes(dir / "dancer.model", Asset("quillmote.model"));
    WriteBytes(dir / "arm.model", modeltest::TwoBoneArm().ModelFile());
    for (const char* name : {"dancer.model", "arm.model"}) {
        const png::Image p = Thumbnail(dir / name, dir, 128);
        ASSERT_EQ(p.width, 128);
        ASSERT_EQ(p.height, 128);
        ASSERT_EQ(p.channels, 4);
        const auto [left, top, right, bottom] = Covered(p);
        // The longer direction spans 92 % of the side, with equal margins; the other is centred.
        const int width = right - left + 1, height = bottom - top + 1;
        EXPECT_NEAR(std::max(width, height), 118, 2) << name;
        EXPECT_NEAR(left, 127 - right, 2) << name;
        EXPECT_NEAR(top, 127 - bottom, 2) << name;
        int opaque = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) opaque += p.At(x, y)[3] == 255;
        EXPECT_GT(opaque, 128 * 128 / 4) << name << ": the model itself is opaque";
        EXPECT_EQ(p.At(0, 0)[3], 0) << name;
    }
}

TEST(Thumbnail, AMotionBesideTheModelPosesIt) {
    const fs::path dir = ScratchDir("thumbnail-posed");
    WriteBytes(dir / "still.model", Asset("quillmote.model"));
    WriteBytes(dir / "dancer.model", Asset("quillmote.model"));
    WriteBytes(dir / "dancer.motion", Asset("quillmote.motion"));
    const png::Image still = Thumbnail(dir / "still.model", dir, 64);
    const png::Image posed = Thumbnail(dir / "dancer.model", dir, 64);
    EXPECT_NE(still.pixels, posed.pixels);
    fs::remove(dir / "dancer.motion");
    EXPECT_EQ(Thumbnail(dir / "dancer.model", dir, 64).pixels, still.pixels) << "without the motion: the stored pose";
}

TEST(Thumbnail, BadModelsAndMotionsAreRefusedWithFileOffsetAndReason) {
    const fs::path dir = ScratchDir("thumbnail-bad");
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    for (const BadFile& bad : BadFiles(Asset("quillmote.model"))) {
        const fs::path badPath = dir / (bad.name + (bad.isModel ? ".model" : ".motion"));
        WriteBytes(dir / (bad.name + ".model"), bad.isModel ? bad.bytes : arm.ModelFile());
        WriteBytes(dir / (bad.name + ".motion"), bad.isModel ? arm.MotionFile() : bad.bytes);
        const RunResult r = RunProgram(kThumbnail, {(dir / (bad.name + ".model")).string(), (dir / "out.png").string()}, dir);
        EXPECT_EQ(r.status, 1) << bad.name;
        const std::string expected = "quillmote-thumbnail: " + badPath.string() + ": offset " + std::to_string(bad.offset) + ": ";
        EXPECT_EQ(r.err.rfind(expected, 0), 0u) << bad.name << ": " << r.err;
        EXPECT_NE(r.err.find(bad.reason), std::string::npos) << bad.name << ": " << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.png")) << bad.name;
    }
    // A name with control bytes is echoed escaped, as the other tools echo it.
    const RunResult escaped = RunProgram(kThumbnail, {(dir / "no\x1b[2Jfile.model").string(), (dir / "out.png").string()}, dir);
    EXPECT_EQ(escaped.status, 1);
    EXPECT_NE(escaped.err.find("no\\x1B[2Jfile.model: cannot read"), std::string::npos) << escaped.err;

    // No triangles at all, and one strip of triangles without area.
    modeltest::ModelBuilder empty;
    empty.Node();
    WriteBytes(dir / "empty.model", ModelFile(empty.Raw()));
    modeltest::ModelBuilder flat;
    const uint32_t root = flat.Node();
    const uint32_t vertices = flat.StartList();
    flat.VertexChunk(0x29, 0x80, 0, {{0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {2, 0, 0, 0, 0, 1}, {3, 0, 0, 0, 0, 1}});
    flat.EndVertices();
    const uint32_t polygons = flat.StartList();
    flat.Strips(0x40, {{0, 1, 2, 3}});
    flat.EndPolygons();
    flat.Model(root, vertices, polygons);
    WriteBytes(dir / "flat.model", ModelFile(flat.Raw()));
    for (const char* name : {"empty.model", "flat.model"}) {
        const RunResult r = RunProgram(kThumbnail, {(dir / name).string(), (dir / "out.png").string()}, dir);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(std::string(name) + ": the model draws nothing"), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunProgram(kThumbnail, {(dir / "absent.model").string(), (dir / "out.png").string()}, dir).status, 1);
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

TEST(Thumbnail, UsageErrorsExitWithStatusTwo) {
    const fs::path dir = ScratchDir("thumbnail-usage");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"in.model"}, {"in.model", "out.png", "extra"}, {"-s"}, {"-s", "0", "in.model", "out.png"},
             {"-s", "1025", "in.model", "out.png"}, {"-s", "12x", "in.model", "out.png"}, {"--bogus", "in.model", "out.png"},
             {"-s", "64", "-s", "64", "in.model", "out.png"}}) {
        const RunResult r = RunProgram(kThumbnail, args, dir);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(no arguments)" : args[0]);
        EXPECT_NE(r.err.find("usage: quillmote-thumbnail"), std::string::npos);
    }
}

}  // namespace
