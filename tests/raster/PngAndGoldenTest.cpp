// PNG files and the golden-image helper.
#include "tests/support/Golden.h"
#include "tools/png/Png.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

fs::path TempDir()
{
    const fs::path dir = fs::temp_directory_path() /
                         ("qm_png_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                          "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

png::Image Pattern(int w, int h, int channels, int seed)
{
    png::Image img(w, h, channels);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        img.pixels[i] = uint8_t((i * 31 + size_t(seed) * 7) ^ (i >> 3));
    }
    return img;
}

std::vector<uint8_t> Bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

TEST(PngFiles, RgbAndRgbaImagesSurviveARoundTrip)
{
    const fs::path dir = TempDir();
    for (int channels : {3, 4}) {
        const png::Image img = Pattern(13, 7, channels, channels);
        const std::string path = (dir / ("rt" + std::to_string(channels) + ".png")).string();
        std::string error;
        ASSERT_TRUE(png::WritePng(path, img, &error)) << error;
        png::Image back;
        ASSERT_TRUE(png::ReadPng(path, back, &error)) << error;
        EXPECT_EQ(back.width, 13);
        EXPECT_EQ(back.height, 7);
        EXPECT_EQ(back.channels, channels);
        EXPECT_EQ(back.pixels, img.pixels);
    }
    fs::remove_all(dir);
}

TEST(PngFiles, WritingTheSameImageTwiceGivesTheSameBytes)
{
    const fs::path dir = TempDir();
    const png::Image img = Pattern(32, 9, 4, 1);
    ASSERT_TRUE(png::WritePng((dir / "a.png").string(), img));
    ASSERT_TRUE(png::WritePng((dir / "b.png").string(), img));
    EXPECT_EQ(Bytes(dir / "a.png"), Bytes(dir / "b.png"));
    fs::remove_all(dir);
}

TEST(PngFiles, BadImagesAndBadFilesAreReportedNotWritten)
{
    const fs::path dir = TempDir();
    png::Image bad = Pattern(4, 4, 4, 0);
    bad.pixels.resize(10);
    std::string error;
    EXPECT_FALSE(png::WritePng((dir / "bad.png").string(), bad, &error));
    EXPECT_FALSE(error.empty());
    std::ofstream((dir / "junk.png").string()) << "not a png at all";
    png::Image out;
    error.clear();
    EXPECT_FALSE(png::ReadPng((dir / "junk.png").string(), out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(png::ReadPng((dir / "missing.png").string(), out, &error));
    fs::remove_all(dir);
}

TEST(AnimatedPng, RecordsEveryFrameAndShowsTheFirstToPlainReaders)
{
    const fs::path dir = TempDir();
    const std::string path = (dir / "anim.png").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png::ApngWriter w;
    ASSERT_TRUE(w.Open(file, 8, 6, 4));
    const png::Image f0 = Pattern(8, 6, 4, 0), f1 = Pattern(8, 6, 4, 1), f2 = Pattern(8, 6, 4, 2);
    ASSERT_TRUE(w.AddFrame(f0.pixels.data()));
    ASSERT_TRUE(w.AddFrame(f1.pixels.data()));
    ASSERT_TRUE(w.AddFrame(f2.pixels.data()));
    ASSERT_TRUE(w.Finish());
    ASSERT_EQ(std::fclose(file), 0);
    const std::vector<uint8_t> b = Bytes(path);
    ASSERT_GT(b.size(), 8u);
    int fctl = 0, fdat = 0, idat = 0;
    uint32_t declared = 0, delayNum = 0, delayDen = 0;
    for (size_t pos = 8; pos + 12 <= b.size();) {
        const uint32_t len = BE32(&b[pos]);
        const std::string type(reinterpret_cast<const char*>(&b[pos + 4]), 4);
        ASSERT_LE(pos + 12 + len, b.size());
        if (type == "acTL") declared = BE32(&b[pos + 8]);
        if (type == "fcTL") {
            ++fctl;
            delayNum = uint32_t(b[pos + 8 + 20]) << 8 | b[pos + 8 + 21];
            delayDen = uint32_t(b[pos + 8 + 22]) << 8 | b[pos + 8 + 23];
        }
        if (type == "fdAT") ++fdat;
        if (type == "IDAT") ++idat;
        pos += 12 + len;
    }
    EXPECT_EQ(declared, 3u);
    EXPECT_EQ(fctl, 3);
    EXPECT_EQ(idat, 1);
    EXPECT_EQ(fdat, 2);
    EXPECT_EQ(delayNum, 1u);
    EXPECT_EQ(delayDen, 30u);
    png::Image first;
    ASSERT_TRUE(png::ReadPng(path, first));  // CRCs valid, first frame is the default image
    EXPECT_EQ(first.pixels, f0.pixels);
    fs::remove_all(dir);
}

TEST(AnimatedPng, AnAnimationWithoutFramesOrSizeIsRefused)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    png::ApngWriter w;
    ASSERT_TRUE(w.Open(file, 4, 4, 3));
    EXPECT_FALSE(w.Finish());
    png::ApngWriter bad;
    EXPECT_FALSE(bad.Open(file, 0, 4, 3));
    std::fclose(file);
}

// A full disk is one reason naming it, and the PNG library adds nothing of its own.
TEST(PngWrites, AFullDiskIsReportedByItsCause)
{
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) GTEST_SKIP() << "no /dev/full";
    const png::Image image = Pattern(64, 64, 3, 0);
    std::string error;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(png::WritePng(full, image, &error));
    png::ApngWriter animation;
    std::string animationError;
    const bool animated = animation.Open(full, 64, 64, 3, &animationError) &&
                          animation.AddFrame(image.pixels.data(), &animationError) && animation.Finish(&animationError);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::fclose(full);
    EXPECT_EQ(error, "cannot write: No space left on device");
    EXPECT_FALSE(animated);
    EXPECT_EQ(animationError, "cannot write: No space left on device");
}

TEST(GoldenImages, DifferencesWithinTheChannelToleranceAreAccepted)
{
    png::Image a = Pattern(10, 10, 3, 0);
    png::Image b = a;
    b.At(3, 3)[1] = uint8_t(b.At(3, 3)[1] ^ 2);  // differs by 2
    b.At(5, 5)[0] = uint8_t(b.At(5, 5)[0] + 100);
    png::Image diff;
    golden::Comparison c = golden::Compare(b, a, 2, &diff);
    EXPECT_TRUE(c.sameShape);
    EXPECT_EQ(c.differing, 1);
    EXPECT_EQ(diff.At(5, 5)[0], 255);
    EXPECT_EQ(diff.At(5, 5)[1], 0);
    EXPECT_EQ(golden::Compare(b, a, 1).differing, 2);
    EXPECT_FALSE(golden::Compare(Pattern(10, 9, 3, 0), a, 2).sameShape);
}

TEST(GoldenImages, MismatchFailsAndLeavesActualAndDiffImages)
{
    const fs::path dir = TempDir();
    const std::string goldenPath = (dir / "scene.png").string();
    png::Image ref = Pattern(6, 6, 4, 0);
    ASSERT_TRUE(png::WritePng(goldenPath, ref));
    EXPECT_TRUE(golden::MatchesGolden(ref, goldenPath));
    png::Image changed = ref;
    changed.At(1, 1)[2] = uint8_t(changed.At(1, 1)[2] + 50);
    EXPECT_FALSE(golden::MatchesGolden(changed, goldenPath));
    EXPECT_TRUE(golden::MatchesGolden(changed, goldenPath, golden::Tolerance{2, 1}));
    const fs::path out = golden::FailureDirectory();
    EXPECT_TRUE(fs::exists(out / "scene.actual.png"));
    EXPECT_TRUE(fs::exists(out / "scene.diff.png"));
    fs::remove(out / "scene.actual.png");
    fs::remove(out / "scene.diff.png");
    fs::remove_all(dir);
}

TEST(GoldenImages, UpdateModeRewritesTheGoldenOnPurpose)
{
    const fs::path dir = TempDir();
    const std::string goldenPath = (dir / "sub" / "new.png").string();
    png::Image img = Pattern(5, 4, 3, 3);
    EXPECT_FALSE(golden::MatchesGolden(img, goldenPath));  // missing golden fails
    ::setenv("QM_UPDATE_GOLDEN", "1", 1);
    const bool updated = golden::MatchesGolden(img, goldenPath);
    ::unsetenv("QM_UPDATE_GOLDEN");
    EXPECT_TRUE(updated);
    png::Image back;
    ASSERT_TRUE(png::ReadPng(goldenPath, back));
    EXPECT_EQ(back.pixels, img.pixels);
    EXPECT_TRUE(golden::MatchesGolden(img, goldenPath));
    fs::remove(fs::path(golden::FailureDirectory()) / "new.actual.png");
    fs::remove_all(dir);
}
