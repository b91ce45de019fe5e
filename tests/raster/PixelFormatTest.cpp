// Packing and unpacking in every format the device lists, and drawing into 16/24-bit targets.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

using namespace rastertest;
using namespace raster;

namespace {

const PixelLayout kR5G6B5{16, 0xF800, 0x07E0, 0x001F, 0};
const PixelLayout kX1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0};
const PixelLayout kA1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0x8000};
const PixelLayout kA4R4G4B4{16, 0x0F00, 0x00F0, 0x000F, 0xF000};
const PixelLayout kR8G8B8{24, 0xFF0000, 0xFF00, 0xFF, 0};
const PixelLayout kX8R8G8B8{32, 0xFF0000, 0xFF00, 0xFF, 0};
const PixelLayout kA8R8G8B8{32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
const PixelLayout kR3G3B2{8, 0xE0, 0x1C, 0x03, 0};

}  // namespace

TEST(PixelFormats, WhiteAndRedPackToTheFormatsRawValues)
{
    EXPECT_EQ(PackColor(kR5G6B5, 0xFFFFFFFFu), 0xFFFFu);
    EXPECT_EQ(PackColor(kR5G6B5, 0xFFFF0000u), 0xF800u);
    EXPECT_EQ(PackColor(kX1R5G5B5, 0xFFFF0000u), 0x7C00u);
    EXPECT_EQ(PackColor(kA1R5G5B5, 0xFFFF0000u), 0xFC00u);
    EXPECT_EQ(PackColor(kA1R5G5B5, 0x7FFF0000u), 0x7C00u);  // alpha below half: bit clear
    EXPECT_EQ(PackColor(kA4R4G4B4, 0xFFFF8000u), 0xFF80u);
    EXPECT_EQ(PackColor(kR8G8B8, 0xFF123456u), 0x123456u);
    EXPECT_EQ(PackColor(kX8R8G8B8, 0x80123456u), 0x123456u);
    EXPECT_EQ(PackColor(kA8R8G8B8, 0x80123456u), 0x80123456u);
    EXPECT_EQ(PackColor(kR3G3B2, 0xFFFF0000u), 0xE0u);
}

TEST(PixelFormats, NarrowChannelsTruncateAndWidenByReplication)
{
    EXPECT_EQ(PackColor(kR5G6B5, 0xFF0F0F0Fu), (1u << 11) | (3u << 5) | 1u);  // 15>>3, 15>>2, 15>>3
    EXPECT_EQ(UnpackColor(kR5G6B5, 0xFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(UnpackColor(kR5G6B5, 0x0000u), 0xFF000000u);
    EXPECT_EQ(UnpackColor(kA4R4G4B4, 0x8421u), 0x88442211u);
    EXPECT_EQ(UnpackColor(kA1R5G5B5, 0x7C00u), 0x00FF0000u);
    EXPECT_EQ(UnpackColor(kR3G3B2, 0xFFu), 0xFFFFFFFFu);
    // Round trip is exact for colours already on the format's grid.
    for (uint32_t raw = 0; raw < 0x10000; raw += 97) {
        EXPECT_EQ(PackColor(kR5G6B5, UnpackColor(kR5G6B5, raw)), raw);
        EXPECT_EQ(PackColor(kA4R4G4B4, UnpackColor(kA4R4G4B4, raw)), raw);
    }
}

TEST(PixelFormats, OddLayoutsAreRejected)
{
    EXPECT_TRUE(IsSupportedLayout(kR5G6B5));
    EXPECT_TRUE(IsSupportedLayout(kR3G3B2));
    EXPECT_FALSE(IsSupportedLayout(PixelLayout{12, 0xF00, 0xF0, 0xF, 0}));       // bit count
    EXPECT_FALSE(IsSupportedLayout(PixelLayout{16, 0x1F800, 0x07E0, 0x001F, 0}));  // too wide
    EXPECT_FALSE(IsSupportedLayout(PixelLayout{16, 0xF800, 0x0FE0, 0x001F, 0}));  // overlap
    EXPECT_FALSE(IsSupportedLayout(PixelLayout{16, 0xA800, 0x07E0, 0x001F, 0}));  // gap in mask
    EXPECT_FALSE(IsSupportedLayout(PixelLayout{32, 0, 0xFF00, 0xFF, 0}));         // no red
}

TEST(PixelFormats, TrianglesDrawIntoSixteenAndTwentyFourBitTargets)
{
    for (const PixelLayout& l : {kR5G6B5, kX1R5G5B5, kR8G8B8, kX8R8G8B8}) {
        Canvas c(8, 8, l);
        c.Draw(NoCull(), kPrimTriangleList,
               {AtPixel(-1, -1, 8, 8, 0xFFFF0000u), AtPixel(20, -1, 8, 8, 0xFFFF0000u),
                AtPixel(-1, 20, 8, 8, 0xFFFF0000u)});
        EXPECT_EQ(c.Raw(3, 3), PackColor(l, 0xFFFF0000u)) << l.bitsPerPixel;
        EXPECT_EQ(c.Raw(7, 7), PackColor(l, 0xFFFF0000u));
        EXPECT_TRUE(c.GuardsIntact());
    }
}

TEST(PixelFormats, SixteenBitTexturesAreReadThroughTheirMasks)
{
    const uint16_t texel = uint16_t(PackColor(kA4R4G4B4, 0xFF00FF00u));
    raster::TextureImage img{reinterpret_cast<const uint8_t*>(&texel), 2, 1, 1, kA4R4G4B4};
    States st = NoCull();
    st.texture = &img;
    st.textureMapBlend = kTBlendDecal;
    Canvas c(8, 8);
    c.Draw(st, kPrimTriangleList,
           {AtPixel(-1, -1, 8, 8), AtPixel(20, -1, 8, 8), AtPixel(-1, 20, 8, 8)});
    EXPECT_EQ(c.Argb(2, 2) & 0xFFFFFF, 0x00FF00u);
}

TEST(Fills, ColourAndDepthFillsStayInsideTheTarget)
{
    Canvas c(8, 8, kR8G8B8);
    FillColor(c.Target(), -5, 2, 100, 4, 0xFFFFFF);
    EXPECT_EQ(c.Raw(0, 2), 0xFFFFFFu);
    EXPECT_EQ(c.Raw(7, 3), 0xFFFFFFu);
    EXPECT_EQ(c.Raw(7, 4), 0u);
    EXPECT_TRUE(c.GuardsIntact());
    FillDepth(c.Depth(), 2, 2, 3, 3, 7);
    EXPECT_EQ(c.Z(2, 2), 7);
    EXPECT_EQ(c.Z(3, 2), 0xFFFF);
}
