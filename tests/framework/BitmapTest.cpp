// Toolbar bitmaps: decoding and refusing malformed files.
#include "platform/win/afxwin.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<uint8_t> Bitmap(int w, int h, int bpp, int paletteCount, bool topDown = false) {
    const int stride = ((w * bpp + 31) / 32) * 4;
    const size_t offset = 54 + 4 * static_cast<size_t>(paletteCount);
    std::vector<uint8_t> file(offset + static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, static_cast<uint32_t>(offset));
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(topDown ? -h : h));
    put16(26, 1);
    put16(28, static_cast<uint16_t>(bpp));
    put32(46, static_cast<uint32_t>(paletteCount));
    return file;
}

TEST(BitmapDecoding, TwentyFourBitRowsComeOutTopDownAsRgb) {
    auto file = Bitmap(2, 2, 24, 0);
    // Bottom row first: bottom-left pixel blue 0x11, top-left red 0x22.
    file[54 + 0] = 0x11;
    file[54 + 8 + 2] = 0x22;
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(AfxDecodeBitmap(file.data(), file.size(), px, w, h));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px[0], 0x220000u);
    EXPECT_EQ(px[2], 0x000011u);
}

TEST(BitmapDecoding, PalettedPixelsLookUpTheirColours) {
    auto file = Bitmap(3, 1, 4, 2, true);
    const uint8_t palette[] = {0, 0, 0, 0, 0x30, 0x20, 0x10, 0};
    std::memcpy(&file[54], palette, sizeof palette);
    file[62] = 0x10;  // pixels 1, 0
    file[63] = 0x10;  // pixel 1
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(AfxDecodeBitmap(file.data(), file.size(), px, w, h));
    EXPECT_EQ(px[0], 0x102030u);
    EXPECT_EQ(px[1], 0u);
    EXPECT_EQ(px[2], 0x102030u);
}

TEST(BitmapDecoding, MalformedFilesAreRefusedWithoutReadingPastTheEnd) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    auto good = Bitmap(4, 4, 24, 0);
    auto truncated = good;
    truncated.resize(good.size() - 1);
    EXPECT_FALSE(AfxDecodeBitmap(truncated.data(), truncated.size(), px, w, h));
    EXPECT_TRUE(px.empty());
    auto badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(AfxDecodeBitmap(badMagic.data(), badMagic.size(), px, w, h));
    auto compressed = good;
    compressed[30] = 1;
    EXPECT_FALSE(AfxDecodeBitmap(compressed.data(), compressed.size(), px, w, h));
    auto huge = good;
    const uint32_t big = 0x7FFFFFFF;
    std::memcpy(&huge[18], &big, 4);
    EXPECT_FALSE(AfxDecodeBitmap(huge.data(), huge.size(), px, w, h));
    auto badOffset = good;
    const uint32_t off = 0xFFFFFFF0u;
    std::memcpy(&badOffset[10], &off, 4);
    EXPECT_FALSE(AfxDecodeBitmap(badOffset.data(), badOffset.size(), px, w, h));
    auto badIndex = Bitmap(2, 2, 8, 2);
    badIndex[54 + 8 + 4 + 1] = 5;  // index past the palette, in the second row decoded
    EXPECT_FALSE(AfxDecodeBitmap(badIndex.data(), badIndex.size(), px, w, h));
    EXPECT_TRUE(px.empty());
    EXPECT_EQ(w, 0);
    EXPECT_FALSE(AfxDecodeBitmap(nullptr, 0, px, w, h));
}

}  // namespace
