// The texture image built from a colour bitmap and an alpha bitmap.
#include "render/TextureImage.h"
#include "tests/render/BitmapBuilder.h"

#include <gtest/gtest.h>

namespace {

using rendertest::Bgr;
using rendertest::MakeBitmap;
using rendertest::Put32;

Bgr Coded(int32_t col, int32_t row) {
    return {static_cast<uint8_t>(10 * col + row), static_cast<uint8_t>(100 + col), static_cast<uint8_t>(200 + row)};
}

Bgr Grey(int32_t col, int32_t row) {
    const auto v = static_cast<uint8_t>(col * 16 + row);
    return {v, v, v};
}

void ExpectEmpty(const CTextureImage& image) {
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.m_pixels, nullptr);
    EXPECT_EQ(image.m_width, 0);
    EXPECT_EQ(image.m_height, 0);
}

TEST(TextureImage, FirstPixelIsTheBottomLeftOfThePictureWithItsAlpha) {
    // A bottom-up bitmap stores the picture's bottom row first.
    auto color = MakeBitmap(4, 3, 24, Coded);
    auto alpha = MakeBitmap(4, 3, 24, Grey);
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ASSERT_FALSE(image.IsEmpty());
    EXPECT_EQ(image.m_width, 4);
    EXPECT_EQ(image.m_height, 3);
    for (int32_t row = 0; row < 3; ++row) {
        for (int32_t col = 0; col < 4; ++col) {
            const uint8_t* p = image.m_pixels + 4 * (row * 4 + col);
            const Bgr c = Coded(col, row);
            EXPECT_EQ(p[0], c.r);
            EXPECT_EQ(p[1], c.g);
            EXPECT_EQ(p[2], c.b);
            EXPECT_EQ(p[3], Grey(col, row).b);
        }
    }
}

TEST(TextureImage, AlphaIsTheFirstByteOfEachAlphaBitmapPixel) {
    // An alpha bitmap whose three bytes differ: the first (blue) byte is the alpha.
    auto color = MakeBitmap(3, 2, 24, Coded);
    auto alpha = MakeBitmap(3, 2, 24, Coded);
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ASSERT_FALSE(image.IsEmpty());
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(image.m_pixels[4 * i + 3], Coded(i % 3, i / 3).b) << i;
    }
}

TEST(TextureImage, RowPaddingOfNarrowBitmapsIsSkipped) {
    // 3 pixels of 3 bytes: 9 bytes padded to a stride of 12.
    auto color = MakeBitmap(3, 2, 24, Coded);
    auto alpha = MakeBitmap(3, 2, 24, Grey);
    ASSERT_EQ(color.size(), 54u + 24u);
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ASSERT_FALSE(image.IsEmpty());
    // Second stored row, first pixel: read from offset 54 + 12, not 54 + 9.
    const uint8_t* p = image.m_pixels + 4 * 3;
    EXPECT_EQ(p[0], Coded(0, 1).r);
    EXPECT_EQ(p[1], Coded(0, 1).g);
    EXPECT_EQ(p[2], Coded(0, 1).b);
    EXPECT_EQ(p[3], Grey(0, 1).b);
    for (int32_t i = 0; i < 6 * 4; ++i) EXPECT_NE(image.m_pixels[i], 0x5A) << i;
}

TEST(TextureImage, ThirtyTwoBitColourIgnoresItsFourthByte) {
    auto color = MakeBitmap(2, 2, 32, Coded);
    auto alpha = MakeBitmap(2, 2, 32, Grey);
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ASSERT_FALSE(image.IsEmpty());
    const uint8_t* p = image.m_pixels + 4 * 3;  // column 1, row 1
    EXPECT_EQ(p[0], Coded(1, 1).r);
    EXPECT_EQ(p[1], Coded(1, 1).g);
    EXPECT_EQ(p[2], Coded(1, 1).b);
    EXPECT_EQ(p[3], Grey(1, 1).b);
}

TEST(TextureImage, UnsizedFormReadsWithinTheDeclaredFileSize) {
    auto color = MakeBitmap(2, 2, 24, Coded);
    auto alpha = MakeBitmap(2, 2, 24, Grey);
    CTextureImage image(color.data(), alpha.data());
    ASSERT_FALSE(image.IsEmpty());
    EXPECT_EQ(image.m_pixels[0], Coded(0, 0).r);

    // A declared size too small for the pixels it claims is refused.
    Put32(color, 2, 60);
    CTextureImage refused(color.data(), alpha.data());
    ExpectEmpty(refused);
}

TEST(TextureImage, ColourBitmapWithAColourTableIsRefused) {
    auto color = MakeBitmap(2, 2, 24, Coded);
    auto alpha = MakeBitmap(2, 2, 24, Grey);
    Put32(color, 10, 54 + 1024);
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ExpectEmpty(image);
}

TEST(TextureImage, BitmapsBelowTwentyFourBitsAreRefused) {
    auto color = MakeBitmap(4, 2, 24, Coded);
    auto alpha = MakeBitmap(4, 2, 24, Grey);
    color[28] = 16;
    CTextureImage image(color.data(), color.size(), alpha.data(), alpha.size());
    ExpectEmpty(image);
    color[28] = 8;
    CTextureImage eight(color.data(), color.size(), alpha.data(), alpha.size());
    ExpectEmpty(eight);
}

TEST(TextureImage, MismatchedPairIsRefused) {
    auto color = MakeBitmap(4, 4, 24, Coded);
    auto smaller = MakeBitmap(2, 2, 24, Grey);
    CTextureImage bySize(color.data(), color.size(), smaller.data(), smaller.size());
    ExpectEmpty(bySize);

    auto deeper = MakeBitmap(4, 4, 32, Grey);
    CTextureImage byDepth(color.data(), color.size(), deeper.data(), deeper.size());
    ExpectEmpty(byDepth);

    auto header = MakeBitmap(4, 4, 24, Grey);
    Put32(header, 10, 58);
    CTextureImage byHeader(color.data(), color.size(), header.data(), header.size());
    ExpectEmpty(byHeader);
}

TEST(TextureImage, TruncatedFilesAreRefused) {
    auto color = MakeBitmap(4, 4, 24, Coded);
    auto alpha = MakeBitmap(4, 4, 24, Grey);
    CTextureImage shortColor(color.data(), color.size() - 1, alpha.data(), alpha.size());
    ExpectEmpty(shortColor);
    CTextureImage shortAlpha(color.data(), color.size(), alpha.data(), alpha.size() - 1);
    ExpectEmpty(shortAlpha);
    CTextureImage headerOnly(color.data(), 20, alpha.data(), alpha.size());
    ExpectEmpty(headerOnly);
    CTextureImage nullFiles(nullptr, 0, nullptr, 0);
    ExpectEmpty(nullFiles);
}

TEST(TextureImage, NonPositiveOrHugeDimensionsAreRefused) {
    auto color = MakeBitmap(2, 2, 24, Coded);
    auto alpha = MakeBitmap(2, 2, 24, Grey);
    for (uint32_t bad : {0u, 0xFFFFFFFEu /* -2: a top-down bitmap */, 0x7FFFFFFFu}) {
        auto c = color;
        auto a = alpha;
        Put32(c, 22, bad);
        Put32(a, 22, bad);
        CTextureImage byHeight(c.data(), c.size(), a.data(), a.size());
        ExpectEmpty(byHeight);
        c = color;
        a = alpha;
        Put32(c, 18, bad);
        Put32(a, 18, bad);
        CTextureImage byWidth(c.data(), c.size(), a.data(), a.size());
        ExpectEmpty(byWidth);
    }
}

}  // namespace
