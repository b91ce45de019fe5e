// Viewports: SetViewport2 rules, GetViewport2, Clear of depth and colour, lifetime.
#include "tests/d3d/DeviceTestSupport.h"

#include <limits>

namespace platform_test {
namespace {

class ViewportRules : public DeviceTest {};

TEST_F(ViewportRules, SizeFieldMustBe44) {
    Open(16, 8);
    D3DVIEWPORT2 bad = data;
    bad.dwSize = 0;
    EXPECT_EQ(viewport->SetViewport2(&bad), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->SetViewport2(nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(ViewportRules, ViewportNotAddedToADeviceHasNoDevice) {
    Open(16, 8);
    IDirect3DViewport2* loose = nullptr;
    ASSERT_EQ(d3d->CreateViewport(&loose, nullptr), D3D_OK);
    EXPECT_EQ(loose->SetViewport2(&data), D3DERR_VIEWPORTHASNODEVICE);
    D3DVIEWPORT2 out{};
    out.dwSize = sizeof(out);
    EXPECT_EQ(loose->GetViewport2(&out), D3DERR_VIEWPORTDATANOTSET);
    D3DRECT rect{};
    EXPECT_EQ(loose->Clear(1, &rect, D3DCLEAR_ZBUFFER), D3DERR_VIEWPORTHASNODEVICE);
    loose->Release();
}

TEST_F(ViewportRules, ExtentMustFitTheRenderTarget) {
    Open(16, 8);
    D3DVIEWPORT2 wide = data;
    wide.dwX = 1;
    EXPECT_EQ(viewport->SetViewport2(&wide), DDERR_INVALIDPARAMS);
    wide = data;
    wide.dwY = 0xFFFFFFFFu;  // must not wrap around
    EXPECT_EQ(viewport->SetViewport2(&wide), DDERR_INVALIDPARAMS);
    wide = data;
    wide.dwX = 4;
    wide.dwWidth = 12;
    EXPECT_EQ(viewport->SetViewport2(&wide), D3D_OK);
    D3DVIEWPORT2 out{};
    out.dwSize = sizeof(out);
    ASSERT_EQ(viewport->GetViewport2(&out), D3D_OK);
    EXPECT_EQ(out.dwX, 4u);
    EXPECT_EQ(out.dwWidth, 12u);
}

TEST_F(ViewportRules, ClipVolumeWithoutExtentOrNotFiniteIsRefused) {
    Open(16, 8);
    for (int field = 0; field < 4; ++field) {
        D3DVIEWPORT2 bad = data;
        switch (field) {
        case 0: bad.dvClipWidth = 0.0f; break;
        case 1: bad.dvClipHeight = std::numeric_limits<float>::quiet_NaN(); break;
        case 2: bad.dvMaxZ = bad.dvMinZ; break;
        default: bad.dvClipY = std::numeric_limits<float>::infinity(); break;
        }
        EXPECT_EQ(viewport->SetViewport2(&bad), DDERR_INVALIDPARAMS) << field;
    }
    D3DVIEWPORT2 out{};
    out.dwSize = sizeof(out);
    ASSERT_EQ(viewport->GetViewport2(&out), D3D_OK);
    EXPECT_EQ(out.dvClipWidth, 2.0f);  // the last good values stay
}

TEST_F(ViewportRules, NonSquareClipVolumeMapsTheSameScaleOnBothAxes) {
    // The program's mapping: clip x -1..1 over the width, clip y Q/P..-Q/P over the height.
    Open(16, 8);
    data.dvClipY = 0.5f;
    data.dvClipHeight = 1.0f;
    ASSERT_EQ(viewport->SetViewport2(&data), D3D_OK);
    ClearAll();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    // A square of side 0.5 in clip units covers 4 x 4 pixels, centred on the target.
    ASSERT_EQ(DrawRect(-0.25f, 0.25f, 0.25f, -0.25f, 0.5f, 0xFF000000), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<uint32_t> pixels = ReadRaw(target);
    int covered = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 6 && x < 10 && y >= 2 && y < 6;
            covered += (pixels[y * 16 + x] & 0xFFFFFF) == 0 ? 1 : 0;
            EXPECT_EQ((pixels[y * 16 + x] & 0xFFFFFF) == 0, inside) << x << "," << y;
        }
    }
    EXPECT_EQ(covered, 16);
}

class ViewportClear : public DeviceTest {};

TEST_F(ViewportClear, DepthClearResetsToFarOnlyInsideTheViewport) {
    struct Case {
        DWORD x, y, width, height;  // viewport
        D3DRECT rect;
        RECT cleared;  // right/bottom exclusive
    };
    const Case cases[] = {
        {2, 0, 4, 4, {0, 1, 8, 3}, {2, 1, 6, 3}},  // the rectangle reaches past the left and right
        {1, 2, 6, 2, {0, 0, 8, 4}, {1, 2, 7, 4}},  // and past the top
        {0, 0, 8, 3, {3, 1, 5, 9}, {3, 1, 5, 3}},  // and past the bottom
    };
    Open(8, 4);
    for (const Case& c : cases) {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillDepth = 0x1234;
        ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
        D3DVIEWPORT2 part = data;
        part.dwX = c.x;
        part.dwY = c.y;
        part.dwWidth = c.width;
        part.dwHeight = c.height;
        ASSERT_EQ(viewport->SetViewport2(&part), D3D_OK);
        D3DRECT rect = c.rect;
        ASSERT_EQ(viewport->Clear(1, &rect, D3DCLEAR_ZBUFFER), D3D_OK);
        const std::vector<uint32_t> depth = ReadRaw(z);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool cleared = x >= c.cleared.left && x < c.cleared.right && y >= c.cleared.top && y < c.cleared.bottom;
                EXPECT_EQ(depth[y * 8 + x], cleared ? 0xFFFFu : 0x1234u) << x << "," << y << " viewport at " << c.x << "," << c.y;
            }
        }
    }
}

TEST_F(ViewportClear, TargetClearFillsBlackAndMissingZBufferIsReported) {
    Open(4, 4, IID_IDirect3DRGBDevice, false);
    ASSERT_EQ(FillSurface(target, 0xFFFFFF), DD_OK);
    D3DRECT rect{};
    rect.x2 = 2;
    rect.y2 = 4;
    EXPECT_EQ(viewport->Clear(1, &rect, D3DCLEAR_ZBUFFER), D3DERR_ZBUFFER_NOTPRESENT);
    EXPECT_EQ(viewport->Clear(1, nullptr, D3DCLEAR_TARGET), DDERR_INVALIDPARAMS);
    EXPECT_EQ(viewport->Clear(1, &rect, 0x10), DDERR_INVALIDPARAMS);
    ASSERT_EQ(viewport->Clear(1, &rect, D3DCLEAR_TARGET), D3D_OK);
    const std::vector<uint32_t> pixels = ReadRaw(target);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(pixels[i], (i % 4) < 2 ? 0u : 0xFFFFFFu) << i;
    }
}

class ViewportLifetime : public DeviceTest {};

TEST_F(ViewportLifetime, DeviceHoldsAddedViewportsUntilDeletedOrReleased) {
    Open(4, 4);
    const int64_t before = PlatformLiveObjectCount();
    EXPECT_EQ(viewport->Release(), 1u);  // the device's hold remains
    EXPECT_EQ(PlatformLiveObjectCount(), before);
    EXPECT_EQ(device->DeleteViewport(viewport), D3D_OK);
    EXPECT_EQ(PlatformLiveObjectCount(), before - 1);
    viewport = nullptr;

    IDirect3DViewport2* other = nullptr;
    ASSERT_EQ(d3d->CreateViewport(&other, nullptr), D3D_OK);
    EXPECT_EQ(device->DeleteViewport(other), DDERR_INVALIDPARAMS);
    ASSERT_EQ(device->AddViewport(other), D3D_OK);
    EXPECT_EQ(device->AddViewport(other), DDERR_INVALIDPARAMS);
    other->Release();  // released with the device
}

}  // namespace
}  // namespace platform_test
