// What the view shows: golden pictures of the client area, and where the picture sits in it.
#include "platform/d3d/Device.h"
#include "tests/app/ViewHarness.h"
#include "tests/support/Golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace view_harness;

png::Image Picture(CViewerView& view) {
    const SIZE size = view.GetSafeHwnd()->ClientSize();
    const std::vector<uint32_t> pixels = ClientPixels(view);
    png::Image image(size.cx, size.cy, 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        image.pixels[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        image.pixels[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        image.pixels[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
    return image;
}

// Small rounding changes in the device (a channel or two, edge pixels) pass; a missing square,
// a wrong filter, pose or placement changes far more than 600 pixels.
const golden::Tolerance kTolerance{4, 600};

TEST(ViewerPicture, FrameZeroAtAnglesZeroMatchesItsGolden) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Paint(*view);
    EXPECT_TRUE(golden::MatchesGolden(Picture(*view), "tests/app/golden/frame-0.png", kTolerance));
}

TEST(ViewerPicture, AScriptedDragAndDanceMatchesItsGolden) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Press(*view, 320, 240);
    for (int i = 1; i <= 30; ++i) Move(*view, 320 + 2 * i, 240 - i, true);  // 0.6 rad about Y, -0.3 about X
    for (int i = 0; i < 10; ++i) Move(*view, 380, 210);                    // ten more frames, no turn
    ASSERT_EQ(view->m_frame, 40.0f);
    Paint(*view);
    EXPECT_TRUE(golden::MatchesGolden(Picture(*view), "tests/app/golden/drag-frame-40.png", kTolerance));
}

TEST(ViewerPicture, WithoutAModelOnlyTheFloorAndPanelsAreDrawn) {
    ViewerFiles files;
    files.model = std::vector<uint8_t>{};
    auto bare = MakeView(std::move(files));
    ASSERT_TRUE(bare);
    Paint(*bare);
    const png::Image without = Picture(*bare);
    EXPECT_TRUE(golden::MatchesGolden(without, "tests/app/golden/no-model.png", kTolerance));

    auto full = MakeView();
    ASSERT_TRUE(full);
    Paint(*full);
    const png::Image with = Picture(*full);
    // The model stands in the middle: the two pictures differ there, and not in the corners
    // of the panels, which the model does not reach.
    const golden::Comparison c = golden::Compare(with, without, 0);
    EXPECT_GT(c.differing, 1000);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(0, std::memcmp(with.At(x, y), without.At(x, y), 3)) << x << "," << y;
}

bool RowIsBlank(const png::Image& image, int y, int x0, int x1) {
    for (int x = x0; x < x1; ++x)
        if (image.At(x, y)[0] != 255 || image.At(x, y)[1] != 255 || image.At(x, y)[2] != 255) return false;
    return true;
}

bool ColumnIsBlank(const png::Image& image, int x, int y0, int y1) {
    for (int y = y0; y < y1; ++y)
        if (image.At(x, y)[0] != 255 || image.At(x, y)[1] != 255 || image.At(x, y)[2] != 255) return false;
    return true;
}

TEST(ViewerPicture, AtExactly640x480ThePictureIs639x479AtTheTopLeft) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Paint(*view);
    const png::Image p = Picture(*view);
    // The floor reaches the picture's bottom row; the client area's last row stays background.
    EXPECT_FALSE(RowIsBlank(p, 478, 0, 639));
    EXPECT_TRUE(RowIsBlank(p, 479, 0, 640));
    EXPECT_TRUE(ColumnIsBlank(p, 639, 0, 480));
}

TEST(ViewerPicture, ALargerClientAreaShowsThePictureCentred) {
    auto view = MakeView({}, 1000, 700);
    ASSERT_TRUE(view);
    Paint(*view);
    const png::Image p = Picture(*view);
    // Offsets (1000 - 640) / 2 = 180 and (700 - 480) / 2 = 110.
    EXPECT_FALSE(RowIsBlank(p, 110 + 478, 180, 180 + 639));
    EXPECT_TRUE(RowIsBlank(p, 110 + 479, 0, 1000));
    for (int x = 0; x < 180; ++x) ASSERT_TRUE(ColumnIsBlank(p, x, 0, 700)) << x;
    for (int x = 180 + 639; x < 1000; ++x) ASSERT_TRUE(ColumnIsBlank(p, x, 0, 700)) << x;

    auto small = MakeView();
    ASSERT_TRUE(small);
    Paint(*small);
    const png::Image q = Picture(*small);
    for (int y = 0; y < 479; y += 7)
        for (int x = 0; x < 639; x += 5)
            ASSERT_EQ(0, std::memcmp(p.At(180 + x, 110 + y), q.At(x, y), 3)) << x << "," << y;
}

TEST(ViewerPicture, ALargerRenderSizeDrawsTheSameSceneLarger) {
    InstallQuillmoteResources();
    auto viewer = std::make_unique<CHeadlessViewer>();
    viewer->View().SetRenderSize(1280, 960);
    ASSERT_TRUE(viewer->Create(1280, 960));
    AfxPumpMessages();
    ViewPtr large(std::move(viewer));
    Paint(*large);
    const png::Image p = Picture(*large);
    EXPECT_FALSE(RowIsBlank(p, 958, 0, 1279));
    EXPECT_TRUE(RowIsBlank(p, 959, 0, 1280));
    EXPECT_TRUE(ColumnIsBlank(p, 1279, 0, 960));

    auto small = MakeView();
    ASSERT_TRUE(small);
    Paint(*small);
    const png::Image q = Picture(*small);
    // The same camera: each 2 x 2 block averages to about the small picture's pixel, apart from
    // edges and texture detail.
    int far = 0;
    for (int y = 0; y < 479; ++y)
        for (int x = 0; x < 639; ++x)
            for (int c = 0; c < 3; ++c) {
                const int sum = p.At(2 * x, 2 * y)[c] + p.At(2 * x + 1, 2 * y)[c] + p.At(2 * x, 2 * y + 1)[c] +
                                p.At(2 * x + 1, 2 * y + 1)[c];
                if (std::abs(sum / 4 - q.At(x, y)[c]) > 40) ++far;
            }
    EXPECT_LT(far, 639 * 479 * 3 / 50) << "more than 2 % of the channels differ";
}

TEST(ViewerPicture, ASmallClientAreaFitsTheWholeSceneWidth) {
    auto view = MakeView({}, 300, 200);
    ASSERT_TRUE(view);
    Paint(*view);
    const png::Image p = Picture(*view);
    EXPECT_TRUE(golden::MatchesGolden(p, "tests/app/golden/small-300x200.png", kTolerance));
    EXPECT_FALSE(RowIsBlank(p, 199, 0, 300)) << "the picture fills the client area";
}

TEST(ViewerPicture, TheSameFrameGivesTheSamePixelsEveryTime) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Move(*view, 10, 10);
    Paint(*view);
    const std::vector<uint32_t> first = ClientPixels(*view);
    Paint(*view);
    EXPECT_EQ(ClientPixels(*view), first);
    auto other = MakeView();
    ASSERT_TRUE(other);
    Move(*other, 99, 1);
    Paint(*other);
    EXPECT_EQ(ClientPixels(*other), first);
}

// Two threads draw each picture in two bands of rows: over a dance and a drag through many
// angles every picture is the one thread's, byte for byte.
TEST(ViewerPicture, OneAndTwoThreadsShowTheSamePictures) {
    auto pictures = [](int threads) {
        const int before = platform::DefaultDrawThreads();
        platform::SetDefaultDrawThreads(threads);
        std::vector<std::vector<uint32_t>> shots;
        auto view = MakeView();
        platform::SetDefaultDrawThreads(before);
        if (!view) return shots;
        EXPECT_EQ(static_cast<platform::Device*>(view->m_context.m_device)->DrawThreads(), threads);
        Press(*view, 320, 240);
        for (int i = 1; i <= 48; ++i) {
            Move(*view, 320 + 9 * i, 240 + (i % 12 < 6 ? 5 : -5) * i / 4, i > 8);
            Paint(*view);
            shots.push_back(ClientPixels(*view));
        }
        return shots;
    };
    const auto one = pictures(1);
    const auto two = pictures(2);
    ASSERT_EQ(one.size(), 48u);
    ASSERT_EQ(two.size(), one.size());
    for (size_t i = 0; i < one.size(); ++i) EXPECT_TRUE(one[i] == two[i]) << "picture " << i;
    EXPECT_NE(one[3], one[40]) << "the pictures move";
}

}  // namespace
