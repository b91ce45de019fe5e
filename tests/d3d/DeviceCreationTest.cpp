// Device creation, device search, capabilities, texture format enumeration, lifetime.
#include "tests/d3d/DeviceTestSupport.h"

namespace platform_test {
namespace {

class DeviceCreation : public PlatformTest {
protected:
    void OpenDirect3D() {
        dd = OpenDirectDraw();
        ASSERT_NE(dd, nullptr);
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), S_OK);
    }
    IDirectDrawSurface* Target(DWORD memory) {
        return MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | memory, 16, 16);
    }
    void TearDown() override {
        if (d3d != nullptr) d3d->Release();
        if (dd != nullptr) dd->Release();
        PlatformTest::TearDown();
    }
    IDirectDraw2* dd = nullptr;
    IDirect3D2* d3d = nullptr;
};

TEST_F(DeviceCreation, HardwareDeviceOnVideoMemoryWhenTheDriverHas3D) {
    OpenDirect3D();
    IDirectDrawSurface* target = Target(DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_VIDEOMEMORY, 16, 16);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
    // The software device refuses a Z-buffer in video memory.
    IDirect3DDevice2* software = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &software), DDERR_INVALIDCAPS);
    EXPECT_EQ(software, nullptr);
    device->Release();
    z->Release();
    target->Release();
}

TEST_F(DeviceCreation, NoHardwareMeansOnlyTheSoftwareDevice) {
    Machine machine = Machine::Default();
    machine.drivers[0].has3D = false;
    UseMachine(machine);
    OpenDirect3D();
    IDirectDrawSurface* target = Target(DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 16, 16);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    IDirect3DDevice2* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3DERR_INVALID_DEVICE);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
    device->Release();
    z->Release();
    target->Release();
}

TEST_F(DeviceCreation, HardwareDeviceNeedsItsTargetInVideoMemory) {
    OpenDirect3D();
    IDirectDrawSurface* target = Target(DDSCAPS_SYSTEMMEMORY);
    IDirect3DDevice2* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), DDERR_INVALIDCAPS);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
    device->Release();
    target->Release();
}

TEST_F(DeviceCreation, RenderTargetMustBeA3DDeviceSurface) {
    OpenDirect3D();
    IDirectDrawSurface* plain = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 16, 16);
    IDirect3DDevice2* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, plain, &device), DDERR_INVALIDCAPS);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, nullptr, &device), DDERR_INVALIDPARAMS);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirectDraw2, plain, &device), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device, nullptr);
    plain->Release();
}

TEST_F(DeviceCreation, DeviceKeepsItsRenderTargetAlive) {
    const int64_t start = PlatformLiveObjectCount();
    OpenDirect3D();
    IDirectDrawSurface* target = Target(DDSCAPS_SYSTEMMEMORY);
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
    EXPECT_EQ(target->Release(), 1u);
    IDirectDrawSurface* held = nullptr;
    ASSERT_EQ(device->GetRenderTarget(&held), D3D_OK);
    EXPECT_EQ(held->Release(), 1u);
    EXPECT_EQ(PlatformLiveObjectCount(), start + 3);
    device->Release();
    EXPECT_EQ(PlatformLiveObjectCount(), start + 1);
}

TEST_F(DeviceCreation, FindDeviceForHardwareFailsWithoutIt) {
    D3DFINDDEVICESEARCH search{};
    search.dwSize = sizeof(search);
    search.dwFlags = D3DFDS_HARDWARE;
    search.bHardware = TRUE;
    D3DFINDDEVICERESULT result{};
    result.dwSize = sizeof(result);
    {
        OpenDirect3D();
        ASSERT_EQ(d3d->FindDevice(&search, &result), D3D_OK);
        EXPECT_TRUE(result.guid == IID_IDirect3DHALDevice);
        EXPECT_EQ(result.ddHwDesc.dcmColorModel, D3DCOLOR_RGB);
        d3d->Release();
        dd->Release();
        d3d = nullptr;
        dd = nullptr;
    }
    Machine machine = Machine::Default();
    machine.drivers[0].has3D = false;
    UseMachine(machine);
    OpenDirect3D();
    EXPECT_EQ(d3d->FindDevice(&search, &result), DDERR_NOTFOUND);
    search.bHardware = FALSE;
    ASSERT_EQ(d3d->FindDevice(&search, &result), D3D_OK);
    EXPECT_TRUE(result.guid == IID_IDirect3DRGBDevice);
    search.dwSize = 4;
    EXPECT_EQ(d3d->FindDevice(&search, &result), DDERR_INVALIDPARAMS);
}

class DeviceCaps : public DeviceTest {};

TEST_F(DeviceCaps, HardwareDeviceNamesAColourModelInTheHardwareDescription) {
    Open(8, 8, IID_IDirect3DHALDevice);
    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
    ASSERT_EQ(device->GetCaps(&hardware, &emulation), D3D_OK);
    EXPECT_EQ(hardware.dcmColorModel, D3DCOLOR_RGB);
    EXPECT_EQ(emulation.dcmColorModel, 0u);
    emulation.dwSize = 20;
    EXPECT_EQ(device->GetCaps(&hardware, &emulation), DDERR_INVALIDPARAMS);
}

TEST_F(DeviceCaps, SoftwareDeviceDescribesItselfOnlyInTheEmulationDescription) {
    Open(8, 8, IID_IDirect3DRGBDevice);
    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
    ASSERT_EQ(device->GetCaps(&hardware, &emulation), D3D_OK);
    EXPECT_EQ(hardware.dcmColorModel, 0u);
    EXPECT_EQ(emulation.dcmColorModel, D3DCOLOR_RGB);
}

struct Enumerated {
    std::vector<DDPIXELFORMAT> formats;
    size_t stopAfter = 100;
    bool descriptionsWellFormed = true;
};

HRESULT CollectFormats(LPDDSURFACEDESC desc, LPVOID context) {
    auto* seen = static_cast<Enumerated*>(context);
    seen->formats.push_back(desc->ddpfPixelFormat);
    seen->descriptionsWellFormed = seen->descriptionsWellFormed && desc->dwSize == sizeof(DDSURFACEDESC) &&
                                   desc->dwFlags == (DDSD_CAPS | DDSD_PIXELFORMAT) && desc->ddsCaps.dwCaps == DDSCAPS_TEXTURE;
    return seen->formats.size() >= seen->stopAfter ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
}

bool Same(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwFlags == b.dwFlags && a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask && a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

class TextureFormats : public DeviceTest {};

TEST_F(TextureFormats, DefaultDeviceListsThirtyTwoBitFormatsFirst) {
    Open(8, 8);
    Enumerated seen;
    ASSERT_EQ(device->EnumTextureFormats(CollectFormats, &seen), D3D_OK);
    const std::vector<DDPIXELFORMAT> expected = DefaultTextureFormats();
    ASSERT_EQ(seen.formats.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(Same(seen.formats[i], expected[i])) << i;
    }
    EXPECT_EQ(seen.formats[0].dwRGBAlphaBitMask, 0xFF000000u);
    EXPECT_TRUE(seen.descriptionsWellFormed);
}

TEST_F(TextureFormats, MachineOrderIsKeptAndCancelStopsTheList) {
    Machine machine = Machine::Default();
    machine.halTextureFormats = AlternateTextureFormats();
    UseMachine(machine);
    Open(8, 8);
    Enumerated seen;
    ASSERT_EQ(device->EnumTextureFormats(CollectFormats, &seen), D3D_OK);
    ASSERT_EQ(seen.formats.size(), 8u);
    EXPECT_EQ(seen.formats[1].dwRGBAlphaBitMask, 0x8000u);
    EXPECT_NE(seen.formats[7].dwFlags & DDPF_PALETTEINDEXED8, 0u);

    Enumerated firstTwo;
    firstTwo.stopAfter = 2;
    ASSERT_EQ(device->EnumTextureFormats(CollectFormats, &firstTwo), D3D_OK);
    EXPECT_EQ(firstTwo.formats.size(), 2u);
    EXPECT_EQ(device->EnumTextureFormats(nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(TextureFormats, SoftwareDeviceListsItsOwnFormats) {
    Machine machine = Machine::Default();
    machine.rgbTextureFormats = {RgbFormat(16, 0xF800, 0x07E0, 0x001F)};
    UseMachine(machine);
    Open(8, 8, IID_IDirect3DRGBDevice);
    Enumerated seen;
    ASSERT_EQ(device->EnumTextureFormats(CollectFormats, &seen), D3D_OK);
    ASSERT_EQ(seen.formats.size(), 1u);
    EXPECT_EQ(seen.formats[0].dwRBitMask, 0xF800u);
}

}  // namespace
}  // namespace platform_test
