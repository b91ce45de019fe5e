// Files of quillmote-render are whole or absent: written aside, then renamed into place.
#include "tools/render/FrameOutput.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

png::Image Gradient(int width, int height) {
    png::Image image(width, height, 3);
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i * 7);
    return image;
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PictureFiles, APictureLandsUnderItsOwnNameWithNothingBeside) {
    const fs::path dir = ScratchDir("picture");
    std::string error;
    ASSERT_TRUE(WritePictureFile((dir / "a.png").string(), Gradient(5, 3), &error)) << error;
    EXPECT_EQ(Names(dir), std::vector<std::string>{"a.png"});
    png::Image back;
    ASSERT_TRUE(png::ReadPng((dir / "a.png").string(), back));
    EXPECT_EQ(back.pixels, Gradient(5, 3).pixels);
    fs::remove_all(dir);
}

TEST(PictureFiles, AnUnwritablePlaceFailsAndLeavesNoFile) {
    const fs::path dir = ScratchDir("unwritable");
    std::string error;
    EXPECT_FALSE(WritePictureFile((dir / "missing" / "a.png").string(), Gradient(2, 2), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(Names(dir).empty());
    fs::remove_all(dir);
}

TEST(PictureFiles, FramesAppearOnlyWhenAllAreCommitted) {
    const fs::path dir = ScratchDir("frames");
    std::string error;
    {
        FrameFiles frames;
        ASSERT_TRUE(frames.Add((dir / "f-0.png").string(), Gradient(4, 4), &error));
        ASSERT_TRUE(frames.Add((dir / "f-1.png").string(), Gradient(4, 4), &error));
        for (const std::string& name : Names(dir)) EXPECT_EQ(name.rfind(".qm-", 0), 0u) << name;
        ASSERT_TRUE(frames.Commit(&error)) << error;
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"f-0.png", "f-1.png"}));
    fs::remove_all(dir);
}

TEST(PictureFiles, FramesNotCommittedAreRemoved) {
    const fs::path dir = ScratchDir("abandoned");
    std::string error;
    {
        FrameFiles frames;
        ASSERT_TRUE(frames.Add((dir / "f-0.png").string(), Gradient(4, 4), &error));
        EXPECT_FALSE(frames.Add((dir / "gone" / "f-1.png").string(), Gradient(4, 4), &error));
        EXPECT_NE(error.find("f-1.png"), std::string::npos);
    }
    EXPECT_TRUE(Names(dir).empty());
    fs::remove_all(dir);
}

}  // namespace
