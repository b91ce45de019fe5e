#include "tests/assets/EmbeddedFiles.h"
#include "tools/author/Images.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace assets_test;

struct Bmp {
    std::vector<uint8_t> bytes;
    bool Valid() const { return bytes.size() >= 54 && bytes[0] == 'B' && bytes[1] == 'M'; }
    uint32_t Offset() const { return U32(bytes.data() + 10); }
    int32_t Width() const { return static_cast<int32_t>(U32(bytes.data() + 18)); }
    int32_t Height() const { return static_cast<int32_t>(U32(bytes.data() + 22)); }
    uint16_t Bits() const { return U16(bytes.data() + 28); }
    // Blue, green, red of stored row r (0 = bottom of the picture), column x.
    const uint8_t* Pixel(int r, int x) const {
        const uint32_t stride = (static_cast<uint32_t>(Width()) * 3 + 3) & ~3u;
        return bytes.data() + Offset() + static_cast<uint32_t>(r) * stride + static_cast<uint32_t>(x) * 3;
    }
};

Bmp Colour() { return {ResourceCopy("bmpdata", 138)}; }
Bmp Alpha() { return {ResourceCopy("bmpdata", 140)}; }

void ExpectTextureFormat(const Bmp& b) {
    ASSERT_TRUE(b.Valid());
    EXPECT_EQ(b.Offset(), 54u);
    EXPECT_EQ(U32(b.bytes.data() + 14), 40u);
    EXPECT_EQ(b.Width(), 256);
    EXPECT_EQ(b.Height(), 256);  // positive: bottom row first
    EXPECT_EQ(b.Bits(), 24);
    EXPECT_EQ(U32(b.bytes.data() + 30), 0u);
    EXPECT_EQ(U32(b.bytes.data() + 2), b.bytes.size());
    EXPECT_EQ(b.bytes.size(), 54u + 256u * 256u * 3u);
}

TEST(TextureBitmaps, Are256Square24BitWithPixelsAtByte54) {
    ExpectTextureFormat(Colour());
    ExpectTextureFormat(Alpha());
}

TEST(TextureBitmaps, AlphaIsGreyWithHolesTranslucencyAndOpaqueParts) {
    const Bmp a = Alpha();
    ASSERT_TRUE(a.Valid());
    int holes = 0, opaque = 0, translucent = 0;
    for (int r = 0; r < 256; ++r)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = a.Pixel(r, x);
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            if (p[0] == 0) ++holes;
            else if (p[0] == 255) ++opaque;
            else ++translucent;
        }
    EXPECT_GT(holes, 1000);
    EXPECT_GT(opaque, 20000);
    EXPECT_GT(translucent, 5000);
}

// Point sampling and linear filtering only look different where neighbouring texels differ a
// lot: thin lines and one-pixel checkers.
TEST(TextureBitmaps, ColourHasFineDetailThatFilteringSoftens) {
    const Bmp c = Colour();
    ASSERT_TRUE(c.Valid());
    int sharp = 0;
    for (int r = 0; r < 256; ++r)
        for (int x = 0; x + 1 < 256; ++x) {
            const uint8_t* p = c.Pixel(r, x);
            const uint8_t* q = c.Pixel(r, x + 1);
            const int lp = p[0] + p[1] + p[2], lq = q[0] + q[1] + q[2];
            if (std::abs(lp - lq) > 300) ++sharp;
        }
    EXPECT_GT(sharp, 2000);
}

// The emblem's left eye lies above the bird's centre; stored bottom row first, the eye's row
// comes later in the file than the mirrored row below the centre (red plumage there).
TEST(TextureBitmaps, PictureIsStoredUprightBottomRowFirst) {
    const Bmp c = Colour();
    ASSERT_TRUE(c.Valid());
    auto dark = [&](int pictureRow) {
        const uint8_t* p = c.Pixel(255 - pictureRow, 118);
        return p[0] + p[1] + p[2] < 200;
    };
    EXPECT_TRUE(dark(121));   // eye, 9 pixels above the bird's centre at row 130
    EXPECT_FALSE(dark(139));  // the same distance below it
}

TEST(ShellImages, ToolbarHoldsFiveDrawn16By15Buttons) {
    HRSRC r = FindResourceA(QuillmoteResources(), MAKEINTRESOURCEA(128), RT_BITMAP);
    ASSERT_NE(r, nullptr);
    const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(QuillmoteResources(), r)));
    const Bmp b{std::vector<uint8_t>(p, p + SizeofResource(QuillmoteResources(), r))};
    ASSERT_TRUE(b.Valid());
    EXPECT_EQ(b.Offset(), 54u);
    EXPECT_EQ(b.Width(), 80);
    EXPECT_EQ(b.Height(), 15);
    EXPECT_EQ(b.Bits(), 24);
    ASSERT_EQ(b.bytes.size(), 54u + 15u * 240u);
    for (int button = 0; button < 5; ++button) {
        int drawn = 0;
        for (int row = 0; row < 15; ++row)
            for (int x = 0; x < 16; ++x) {
                const uint8_t* px = b.Pixel(row, button * 16 + x);
                drawn += !(px[0] == 0xC0 && px[1] == 0xC0 && px[2] == 0xC0);
            }
        EXPECT_GT(drawn, 25) << "button " << button;
    }
}

TEST(ShellImages, IconIsA32By32PngWithATransparentBackground) {
    HRSRC r = FindResourceA(QuillmoteResources(), MAKEINTRESOURCEA(128), RT_GROUP_ICON);
    ASSERT_NE(r, nullptr);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, LockResource(LoadResource(QuillmoteResources(), r)),
                                                 SizeofResource(QuillmoteResources(), r)));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 32u);
    EXPECT_EQ(image.height, 32u);
    auto alpha = [&](int x, int y) { return pixels[static_cast<size_t>(y * 32 + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(31, 31), 0);
    EXPECT_EQ(alpha(16, 16), 255);
}

// The icon is drawn afresh for every size: each is square, transparent in the corners, opaque
// in the middle, and shows the bird's eyes above its centre as really dark pixels.
TEST(ShellImages, IconIsDrawnSharpAtEverySize) {
    for (int size : {16, 32, 48, 256}) {
        const author::Picture p = author::IconPicture(size);
        ASSERT_EQ(p.width, size);
        ASSERT_EQ(p.height, size);
        ASSERT_EQ(p.alpha.size(), static_cast<size_t>(size * size));
        auto at = [&](int x, int y) { return static_cast<size_t>(y * size + x); };
        EXPECT_EQ(p.alpha[at(0, 0)], 0) << size;
        EXPECT_EQ(p.alpha[at(size - 1, size - 1)], 0) << size;
        EXPECT_EQ(p.alpha[at(size / 2, size / 2)], 255) << size;
        uint32_t darkest = 765;
        for (int y = 0; y < size / 2; ++y)
            for (int x = 0; x < size; ++x) {
                const uint32_t c = p.rgb[at(x, y)];
                if (p.alpha[at(x, y)] == 255) darkest = std::min(darkest, ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF));
            }
        EXPECT_LT(darkest, 150u) << size;  // an eye, not a grey smudge
    }
}

// The desktop's icons are the same face at their sizes: each, averaged down to 16 pixels,
// matches the 32-pixel icon averaged down the same way (coverage-weighted colour and alpha).
// The 16-pixel icon is drawn on purpose with bolder eyes; the test above covers it.
TEST(ShellImages, TheIconAtEveryDesktopSizeIsTheSameFace) {
    auto down = [](const author::Picture& p) {
        const int k = p.width / 16;
        std::vector<double> out(16 * 16 * 4, 0.0);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const size_t i = static_cast<size_t>(y * p.width + x);
                double* o = &out[static_cast<size_t>((y / k) * 16 + x / k) * 4];
                const double a = p.alpha[i] / 255.0 / (k * k);
                for (int c = 0; c < 3; ++c) o[c] += ((p.rgb[i] >> (16 - 8 * c)) & 0xFF) * a;
                o[3] += a * 255.0;
            }
        return out;
    };
    const std::vector<double> reference = down(author::IconPicture(32));
    for (int size : {48, 64, 128, 256}) {
        const author::Picture icon = author::IconPicture(size);
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        const std::vector<double> scaled = down(icon);
        double worst = 0.0;
        for (size_t i = 0; i < scaled.size(); ++i) worst = std::max(worst, std::fabs(scaled[i] - reference[i]));
        EXPECT_LT(worst, 24.0) << size;
    }
}

}  // namespace
