// Drawing through the device end to end: clear, draw, depth, textures, presentation into a
// window, and hostile vertices.
#include "tests/d3d/DeviceTestSupport.h"

#include "platform/win/HeadlessWindow.h"

#include <limits>

namespace platform_test {
namespace {

class DeviceDrawing : public DeviceTest {
protected:
    uint32_t Pixel(int x, int y) {
        const std::vector<uint32_t> pixels = ReadRaw(target);
        return pixels[static_cast<size_t>(y) * data.dwWidth + static_cast<size_t>(x)];
    }
};

TEST_F(DeviceDrawing, TriangleDrawnAndPresentedReachesTheWindowPixels) {
    for (DisplayFormat display : {DisplayFormat::X8R8G8B8, DisplayFormat::R5G6B5, DisplayFormat::R8G8B8}) {
        ScopedMachine machine(MachineWithDisplay(display));
        Open(32, 24);
        HeadlessWindow window(40, 30, POINT{100, 200}, 0x00000000);
        IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);

        ClearAll(0xFFFFFF);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        // Left half of the target in red.
        ASSERT_EQ(DrawRect(-1.0f, 1.0f, 0.0f, -1.0f, 0.5f, 0xFFFF0000), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);

        RECT screen{104, 203, 136, 227};
        RECT whole{0, 0, 32, 24};
        ASSERT_EQ(primary->Blt(&screen, target, &whole, 0, nullptr), DD_OK);
        EXPECT_EQ(window.Pixel(4, 3), 0xFF0000u);
        EXPECT_EQ(window.Pixel(4 + 15, 3 + 23), 0xFF0000u);
        EXPECT_EQ(window.Pixel(4 + 16, 3), 0xFFFFFFu);
        EXPECT_EQ(window.Pixel(4 + 31, 3 + 23), 0xFFFFFFu);
        EXPECT_EQ(window.Pixel(3, 3), 0u);
        EXPECT_EQ(window.Pixel(36, 3), 0u);

        clipper->Release();
        primary->Release();
        Close();
    }
}

TEST_F(DeviceDrawing, NearerSurfaceWinsTheDepthTestAndDepthIsStored) {
    Open(8, 8);
    ClearAll();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 0.0f, -1.0f, 0.25f, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.75f, 0xFF0000FF), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(Pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(Pixel(6, 1), 0x0000FFu);
    const std::vector<uint32_t> depth = ReadRaw(z);
    EXPECT_NEAR(static_cast<double>(depth[1 * 8 + 1]), 0.25 * 65535.0, 1.0);
    EXPECT_NEAR(static_cast<double>(depth[1 * 8 + 6]), 0.75 * 65535.0, 1.0);
}

TEST_F(DeviceDrawing, DetachedZBufferIsNoLongerUsed) {
    Open(8, 8);
    ClearAll();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    // Drawn through the Z-buffer first, so the device holds it as its depth target when it goes.
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.25f, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.75f, 0xFF0000FF), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(Pixel(3, 3), 0x0000FFu);  // no depth test: the later surface covers
    for (uint32_t v : ReadRaw(z)) {
        ASSERT_NEAR(static_cast<double>(v), 0.25 * 65535.0, 1.0);  // nothing written after it went
    }
}

TEST_F(DeviceDrawing, TextureHandleSelectsTheTexturePixelsAndUnknownHandlesDrawUntextured) {
    Open(4, 4);
    const DDPIXELFORMAT argb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    IDirectDrawSurface* surface = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 2, 2, &argb);
    WriteRaw(surface, {0xFF110000, 0xFF002200, 0xFF000033, 0xFF444444});
    IDirect3DTexture2* texture = nullptr;
    ASSERT_EQ(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)), S_OK);
    D3DTEXTUREHANDLE handle = 0;
    ASSERT_EQ(texture->GetHandle(device, &handle), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL), D3D_OK);

    // A quad from pixel -0.5 to 3.5 puts texel centres away from pixel centres: each texel
    // covers a 2 x 2 block with nearest filtering.
    const std::vector<D3DLVERTEX> quad = {LVertex(-1.25f, 1.25f, 0.5f, 0xFF808080, 0.0f, 0.0f),
                                          LVertex(0.75f, 1.25f, 0.5f, 0xFF808080, 1.0f, 0.0f),
                                          LVertex(-1.25f, -0.75f, 0.5f, 0xFF808080, 0.0f, 1.0f),
                                          LVertex(0.75f, -0.75f, 0.5f, 0xFF808080, 1.0f, 1.0f)};
    for (DWORD bound : {handle, DWORD{0}, DWORD{99}}) {
        ClearAll();
        ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, bound), D3D_OK);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, quad), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
        if (bound == handle) {
            EXPECT_EQ(Pixel(0, 0), 0x110000u);
            EXPECT_EQ(Pixel(3, 0), 0x002200u);
            EXPECT_EQ(Pixel(0, 3), 0x000033u);
            EXPECT_EQ(Pixel(2, 2), 0x444444u);
        } else {
            EXPECT_EQ(Pixel(0, 0), 0x808080u) << bound;
            EXPECT_EQ(Pixel(3, 3), 0x808080u) << bound;
        }
    }
    texture->Release();
    surface->Release();
}

TEST_F(DeviceDrawing, HostileVerticesAreDroppedWithoutHarm) {
    Open(8, 8);
    ClearAll();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(Draw(D3DPT_TRIANGLELIST, {LVertex(nan, 0, 0.5f, 0xFF000000), LVertex(1, 1, 0.5f, 0xFF000000), LVertex(-1, -1, 0.5f, 0xFF000000)}), D3D_OK);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, {LVertex(inf, -inf, 0.5f, 0xFF000000), LVertex(1e30f, 1, 0.5f, 0xFF000000), LVertex(-1, -1e30f, 0.5f, 0xFF000000)}), D3D_OK);
    D3DMATRIX broken = IdentityMatrix();
    broken._44 = nan;
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &broken), D3D_OK);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    for (uint32_t v : ReadRaw(target)) {
        ASSERT_EQ(v, 0xFFFFFFu);
    }
}

TEST_F(DeviceDrawing, SoftwareDeviceDrawsIntoSixteenBitTargets) {
    UseMachine(MachineWithDisplay(DisplayFormat::X1R5G5B5));
    Open(8, 8, IID_IDirect3DRGBDevice);
    ClearAll(0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF00FF00), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0x03E0u);
}

}  // namespace
}  // namespace platform_test
