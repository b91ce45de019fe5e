// Blits: colour fills with raw values, copies with format conversion, stretching, and
// presentation into a window through the primary surface's clipper.
#include "tests/ddraw/PlatformTestSupport.h"

#include "platform/d3d/raster/Raster.h"
#include "platform/win/HeadlessWindow.h"

#include <limits>

namespace platform_test {
namespace {

struct FillCase {
    DisplayFormat display;
    DWORD whiteRaw;  // what a fill of 0xFFFFFF leaves
    DWORD redRaw;    // what a fill of (255, 0, 0) packed as 0xFF0000 leaves
};

using ColorFill = PlatformTest;

TEST_F(ColorFill, WhiteAndPackedRedInSixteenTwentyFourAndThirtyTwoBitTargets) {
    const FillCase cases[] = {
        {DisplayFormat::R5G6B5, 0xFFFF, 0x0000},  // the packed red's low 16 bits are zero: black
        {DisplayFormat::X1R5G5B5, 0xFFFF, 0x0000},
        {DisplayFormat::R8G8B8, 0xFFFFFF, 0xFF0000},
        {DisplayFormat::X8R8G8B8, 0xFFFFFF, 0xFF0000},
    };
    for (const FillCase& c : cases) {
        ScopedMachine machine(MachineWithDisplay(c.display));
        IDirectDraw2* dd = OpenDirectDraw();
        IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 5, 3);
        ASSERT_NE(target, nullptr);
        ASSERT_EQ(FillSurface(target, 0xFFFFFF), DD_OK);
        for (uint32_t v : ReadRaw(target)) {
            ASSERT_EQ(v, c.whiteRaw);
        }
        ASSERT_EQ(FillSurface(target, (255 << 16) | (0 << 8) | 0), DD_OK);
        for (uint32_t v : ReadRaw(target)) {
            ASSERT_EQ(v, c.redRaw);
        }
        target->Release();
        dd->Release();
    }
}

TEST_F(ColorFill, RectangleFillStopsBeforeRightAndBottomEdges) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    ASSERT_EQ(FillSurface(target, 0), DD_OK);
    RECT rect{1, 1, 3, 2};
    ASSERT_EQ(FillSurface(target, 0x123456, &rect), DD_OK);
    const std::vector<uint32_t> pixels = ReadRaw(target);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x < 3 && y == 1;
            EXPECT_EQ(pixels[y * 4 + x], inside ? 0x123456u : 0u) << x << "," << y;
        }
    }
    target->Release();
    dd->Release();
}

TEST_F(ColorFill, BadEffectsRecordOrRectangleChangesNothing) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    ASSERT_EQ(FillSurface(target, 0x111111), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = 96;
    fx.dwFillColor = 0x222222;
    EXPECT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
    RECT outside{2, 2, 5, 3};
    EXPECT_EQ(FillSurface(target, 0x222222, &outside), DDERR_INVALIDRECT);
    RECT inverted{3, 0, 1, 2};
    EXPECT_EQ(FillSurface(target, 0x222222, &inverted), DDERR_INVALIDRECT);
    EXPECT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
    for (uint32_t v : ReadRaw(target)) {
        EXPECT_EQ(v, 0x111111u);
    }
    target->Release();
    dd->Release();
}

// ARGB 0x80FF8040 packed into each format a device may list.
struct PackCase {
    DDPIXELFORMAT format;
    uint32_t expected;
};

using FormatPacking = PlatformTest;

TEST_F(FormatPacking, CopyConvertsIntoEveryListedTextureFormat) {
    const PackCase cases[] = {
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 0x80FF8040},  // A8R8G8B8
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), 0x00FF8040},              // X8R8G8B8
        {RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0x8F84},          // A4R4G4B4
        {RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 0xFE08},          // A1R5G5B5
        {RgbFormat(16, 0xF800, 0x07E0, 0x001F), 0xFC08},                  // R5G6B5
        {RgbFormat(16, 0x7C00, 0x03E0, 0x001F), 0x7E08},                  // X1R5G5B5
        {RgbFormat(8, 0xE0, 0x1C, 0x03), 0xF1},                           // R3G3B2
        {RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), 0xFF8040},                // R8G8B8
    };
    IDirectDraw2* dd = OpenDirectDraw();
    const DDPIXELFORMAT argb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    IDirectDrawSurface* source = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 2, 1, &argb);
    ASSERT_NE(source, nullptr);
    WriteRaw(source, {0x80FF8040, 0x80FF8040});
    for (const PackCase& c : cases) {
        IDirectDrawSurface* texture = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 2, 1, &c.format);
        ASSERT_NE(texture, nullptr) << c.format.dwRGBBitCount;
        ASSERT_EQ(texture->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        const std::vector<uint32_t> raw = ReadRaw(texture);
        EXPECT_EQ(raw[0], c.expected) << std::hex << c.format.dwRBitMask << " " << c.format.dwRGBAlphaBitMask;
        EXPECT_EQ(raw[1], c.expected);
        texture->Release();
    }
    source->Release();
    dd->Release();
}

TEST_F(FormatPacking, EveryFormatTheDevicesListCanBeCreatedExceptPaletted) {
    IDirectDraw2* dd = OpenDirectDraw();
    for (const DDPIXELFORMAT& format : AlternateTextureFormats()) {
        HRESULT hr = S_OK;
        IDirectDrawSurface* texture = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 4, 4, &format, &hr);
        if ((format.dwFlags & DDPF_PALETTEINDEXED8) != 0) {
            EXPECT_EQ(hr, DDERR_INVALIDPIXELFORMAT);
            continue;
        }
        ASSERT_EQ(hr, DD_OK) << format.dwRGBBitCount;
        texture->Release();
    }
    dd->Release();
}

using SurfaceCopy = PlatformTest;

TEST_F(SurfaceCopy, StretchedCopyTakesTheNearestSourcePixel) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* source = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 2);
    IDirectDrawSurface* wide = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 8, 4);
    IDirectDrawSurface* narrow = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 2, 1);
    WriteRaw(source, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(wide->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const std::vector<uint32_t> doubled = ReadRaw(wide);
    const std::vector<uint32_t> expected = {1, 1, 2, 2, 3, 3, 4, 4, 1, 1, 2, 2, 3, 3, 4, 4,
                                            5, 5, 6, 6, 7, 7, 8, 8, 5, 5, 6, 6, 7, 7, 8, 8};
    EXPECT_EQ(doubled, expected);
    // Shrinking samples at destination pixel centres: columns 1 and 3 of the top or bottom row.
    ASSERT_EQ(narrow->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ReadRaw(narrow), (std::vector<uint32_t>{6, 8}));
    wide->Release();
    narrow->Release();
    source->Release();
    dd->Release();
}

TEST_F(SurfaceCopy, OneToOneCopyOfARectangleLeavesTheRestAlone) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* source = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 3, 3);
    IDirectDrawSurface* dest = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 3, 3);
    WriteRaw(source, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(FillSurface(dest, 0), DD_OK);
    RECT from{1, 1, 3, 3};
    RECT to{0, 0, 2, 2};
    ASSERT_EQ(dest->Blt(&to, source, &from, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ReadRaw(dest), (std::vector<uint32_t>{5, 6, 0, 8, 9, 0, 0, 0, 0}));
    // Overlapping copy within one surface reads the source as it was.
    ASSERT_EQ(source->Blt(&to, source, &from, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ReadRaw(source), (std::vector<uint32_t>{5, 6, 3, 8, 9, 6, 7, 8, 9}));
    RECT bad{2, 2, 4, 4};
    EXPECT_EQ(dest->Blt(&to, source, &bad, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    source->Release();
    dest->Release();
    dd->Release();
}

TEST_F(SurfaceCopy, ZBufferAndColourSurfacesDoNotMix) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* colour = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 4, 4);
    EXPECT_EQ(colour->Blt(nullptr, z, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(FillSurface(z, 0), DDERR_INVALIDPARAMS);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillDepth = 0xFFFF;
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
    for (uint32_t v : ReadRaw(z)) {
        EXPECT_EQ(v, 0xFFFFu);
    }
    EXPECT_EQ(colour->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DDERR_INVALIDPARAMS);
    z->Release();
    colour->Release();
    dd->Release();
}

// ---- Presentation -----------------------------------------------------------------------------

class WindowBlit : public PlatformTest {
protected:
    void Open(DisplayFormat display, HeadlessWindow& window) {
        UseMachine(MachineWithDisplay(display));
        dd = OpenDirectDraw();
        primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    }
    void TearDown() override {
        if (clipper != nullptr) clipper->Release();
        if (primary != nullptr) primary->Release();
        if (dd != nullptr) dd->Release();
        PlatformTest::TearDown();
    }
    IDirectDraw2* dd = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawClipper* clipper = nullptr;
};

TEST_F(WindowBlit, CopyIsClippedToTheClientAreaAtItsScreenPosition) {
    HeadlessWindow window(100, 80, POINT{50, 40}, 0x00ABCDEF);
    Open(DisplayFormat::X8R8G8B8, window);
    IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 64, 48);
    std::vector<uint32_t> pattern(64 * 48);
    for (uint32_t y = 0; y < 48; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            pattern[y * 64 + x] = 0xFF000000u | (x << 16) | (y << 8) | 0x5A;
        }
    }
    WriteRaw(picture, pattern);
    // Screen (30, 20) is client (-20, -20): only the picture's lower right part lands.
    RECT screen{30, 20, 94, 68};
    RECT whole{0, 0, 64, 48};
    ASSERT_EQ(primary->Blt(&screen, picture, &whole, 0, nullptr), DD_OK);
    EXPECT_EQ(window.Pixel(0, 0), (20u << 16) | (20u << 8) | 0x5A);  // the alpha byte is dropped
    EXPECT_EQ(window.Pixel(43, 27), (63u << 16) | (47u << 8) | 0x5A);
    EXPECT_EQ(window.Pixel(44, 0), 0x00ABCDEFu);
    EXPECT_EQ(window.Pixel(0, 28), 0x00ABCDEFu);
    ASSERT_EQ(window.ChangeCount(), 1);
    const RECT changed = window.ChangedRect();
    EXPECT_EQ(changed.left, 0);
    EXPECT_EQ(changed.top, 0);
    EXPECT_EQ(changed.right, 44);
    EXPECT_EQ(changed.bottom, 28);

    // A rectangle entirely beside the window writes nothing.
    RECT away{400, 400, 464, 448};
    ASSERT_EQ(primary->Blt(&away, picture, &whole, 0, nullptr), DD_OK);
    EXPECT_EQ(window.ChangeCount(), 1);
    picture->Release();
}

TEST_F(WindowBlit, SixteenBitPicturesArriveAsEightBitChannels) {
    HeadlessWindow window(4, 1, POINT{0, 0}, 0);
    Open(DisplayFormat::R5G6B5, window);
    IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 4, 1);
    WriteRaw(picture, {0xFFFF, 0xF800, 0x07E0, 0x001F});
    RECT rect{0, 0, 4, 1};
    ASSERT_EQ(primary->Blt(&rect, picture, &rect, 0, nullptr), DD_OK);
    EXPECT_EQ(window.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(window.Pixel(1, 0), 0xFF0000u);
    EXPECT_EQ(window.Pixel(2, 0), 0x00FF00u);
    EXPECT_EQ(window.Pixel(3, 0), 0x0000FFu);
    picture->Release();
}

TEST_F(WindowBlit, StretchedCopyAndFillReachTheWindow) {
    HeadlessWindow window(4, 2, POINT{10, 10}, 0);
    Open(DisplayFormat::X8R8G8B8, window);
    IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 2, 1);
    WriteRaw(picture, {0x111111, 0x222222});
    RECT screen{10, 10, 14, 12};
    ASSERT_EQ(primary->Blt(&screen, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(window.Pixels(), (std::vector<uint32_t>{0x111111, 0x111111, 0x222222, 0x222222,
                                                      0x111111, 0x111111, 0x222222, 0x222222}));
    ASSERT_EQ(FillSurface(primary, 0x00FF00), DD_OK);  // null rectangle: the whole screen
    for (uint32_t v : window.Pixels()) {
        EXPECT_EQ(v, 0x00FF00u);
    }
    picture->Release();
}

using PrimaryWithoutClipper = PlatformTest;

TEST_F(PrimaryWithoutClipper, BlitHasNoVisibleRegionAndWritesNothing) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
    IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 8, 8);
    RECT rect{0, 0, 8, 8};
    EXPECT_EQ(primary->Blt(&rect, picture, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(picture->Blt(nullptr, primary, nullptr, 0, nullptr), DDERR_UNSUPPORTED);
    picture->Release();
    primary->Release();
    dd->Release();
}

}  // namespace
}  // namespace platform_test

namespace platform_test {
namespace {

using HostileRectangles = PlatformTest;

TEST_F(HostileRectangles, ExtremeRectanglesAreRefusedOrClippedWithoutTouchingOtherMemory) {
    const LONG values[] = {std::numeric_limits<LONG>::min(), -100000, -1, 0, 1, 3, 7, 8, 9, 100000, std::numeric_limits<LONG>::max()};
    HeadlessWindow window(6, 5, POINT{2, 3}, 0x00123456);
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 8, 8);
    IDirectDrawSurface* other = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 8, 8);
    ASSERT_EQ(FillSurface(picture, 0x00FF00), DD_OK);
    int accepted = 0;
    for (LONG a : values) {
        for (LONG b : values) {
            RECT rect{a, b, b, a};
            RECT flipped{b, a, a, b};
            for (RECT* r : {&rect, &flipped}) {
                if (SUCCEEDED(primary->Blt(r, picture, nullptr, 0, nullptr))) ++accepted;
                if (SUCCEEDED(primary->Blt(nullptr, picture, r, 0, nullptr))) ++accepted;
                if (SUCCEEDED(other->Blt(r, picture, nullptr, DDBLT_WAIT, nullptr))) ++accepted;
                if (SUCCEEDED(FillSurface(other, 0x0000FF, r))) ++accepted;
                DDSURFACEDESC desc{};
                desc.dwSize = sizeof(desc);
                if (SUCCEEDED(other->Lock(r, &desc, DDLOCK_WAIT, nullptr))) {
                    ++accepted;
                    other->Unlock(nullptr);
                }
            }
        }
    }
    EXPECT_GT(accepted, 0);
    // Whatever reached the window is the picture's colour; nothing else was written.
    for (uint32_t v : window.Pixels()) {
        EXPECT_TRUE(v == 0x00123456u || v == 0x0000FF00u) << std::hex << v;
    }
    other->Release();
    picture->Release();
    clipper->Release();
    primary->Release();
    dd->Release();
}

}  // namespace
}  // namespace platform_test

namespace platform_test {
namespace {

using WindowConversion = PlatformTest;

TEST_F(WindowConversion, EverySixteenBitValueWidensLikeTheRasterizerUnpacksIt) {
    for (DisplayFormat display : {DisplayFormat::R5G6B5, DisplayFormat::X1R5G5B5}) {
        ScopedMachine machine(MachineWithDisplay(display));
        HeadlessWindow window(256, 256, POINT{0, 0}, 0);
        IDirectDraw2* dd = OpenDirectDraw();
        IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
        IDirectDrawSurface* picture = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 256, 256);
        std::vector<uint32_t> all(65536);
        for (uint32_t i = 0; i < 65536; ++i) {
            all[i] = i;
        }
        WriteRaw(picture, all);
        RECT rect{0, 0, 256, 256};
        ASSERT_EQ(primary->Blt(&rect, picture, &rect, 0, nullptr), DD_OK);
        const DDPIXELFORMAT format = PixelFormatOf(display);
        const raster::PixelLayout layout{16, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask, 0};
        int wrong = 0;
        for (uint32_t i = 0; i < 65536; ++i) {
            wrong += window.Pixels()[i] != (raster::UnpackColor(layout, i) & 0xFFFFFFu) ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0);
        picture->Release();
        clipper->Release();
        primary->Release();
        dd->Release();
    }
}

}  // namespace
}  // namespace platform_test
