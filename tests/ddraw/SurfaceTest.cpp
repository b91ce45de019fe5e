// Surfaces: creation rules, memory placement and the video-memory budget, locks, attachments.
#include "tests/ddraw/PlatformTestSupport.h"

namespace platform_test {
namespace {

using SurfaceCreation = PlatformTest;

TEST_F(SurfaceCreation, PrimarySurfaceTakesTheDisplayModeAndRefusesASizeOrFormat) {
    UseMachine(MachineWithDisplay(DisplayFormat::R5G6B5));
    IDirectDraw2* dd = OpenDirectDraw();
    HRESULT hr = S_OK;
    IDirectDrawSurface* refused = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 640, 480, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS);
    EXPECT_EQ(refused, nullptr);

    IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0, nullptr, &hr);
    ASSERT_EQ(hr, DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, static_cast<DWORD>(CurrentMachine().displayWidth));
    EXPECT_EQ(desc.dwHeight, static_cast<DWORD>(CurrentMachine().displayHeight));
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE, 0u);
    // The screen has no memory of its own to hand out.
    EXPECT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_UNSUPPORTED);
    primary->Release();
    dd->Release();
}

TEST_F(SurfaceCreation, RenderTargetWithoutPixelFormatGetsTheDisplayFormat) {
    for (DisplayFormat format : {DisplayFormat::R5G6B5, DisplayFormat::X1R5G5B5, DisplayFormat::R8G8B8, DisplayFormat::X8R8G8B8}) {
        ScopedMachine machine(MachineWithDisplay(format));
        IDirectDraw2* dd = OpenDirectDraw();
        IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY, 640, 480);
        ASSERT_NE(target, nullptr);
        DDPIXELFORMAT got{};
        got.dwSize = sizeof(got);
        ASSERT_EQ(target->GetPixelFormat(&got), DD_OK);
        const DDPIXELFORMAT expected = PixelFormatOf(format);
        EXPECT_EQ(got.dwRGBBitCount, expected.dwRGBBitCount);
        EXPECT_EQ(got.dwRBitMask, expected.dwRBitMask);
        EXPECT_EQ(got.dwGBitMask, expected.dwGBitMask);
        EXPECT_EQ(got.dwBBitMask, expected.dwBBitMask);
        DDSCAPS caps{};
        ASSERT_EQ(target->GetCaps(&caps), DD_OK);
        EXPECT_NE(caps.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
        EXPECT_NE(caps.dwCaps & DDSCAPS_3DDEVICE, 0u);
        target->Release();
        dd->Release();
    }
}

TEST_F(SurfaceCreation, ZBufferIsSixteenBitsAndOtherDepthsAreRefused) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 32, 16);
    ASSERT_NE(z, nullptr);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(z->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwZBufferBitDepth, 16u);
    EXPECT_NE(desc.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER, 0u);
    EXPECT_GE(desc.lPitch, 64);

    DDSURFACEDESC deep = Description(DDSCAPS_ZBUFFER, 32, 16);
    deep.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    deep.dwZBufferBitDepth = 24;
    IDirectDrawSurface* refused = nullptr;
    EXPECT_EQ(dd->CreateSurface(&deep, &refused, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(refused, nullptr);
    z->Release();
    dd->Release();
}

TEST_F(SurfaceCreation, MalformedDescriptionsAreRefusedWithoutCreatingAnything) {
    const int64_t start = PlatformLiveObjectCount();
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* surface = nullptr;
    DDSURFACEDESC desc = Description(DDSCAPS_OFFSCREENPLAIN, 16, 16);
    desc.dwSize = 100;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    desc = Description(DDSCAPS_OFFSCREENPLAIN, 0, 16);
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    desc = Description(DDSCAPS_OFFSCREENPLAIN, 1u << 20, 1u << 20);
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    desc = Description(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY, 16, 16);
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS);
    EXPECT_EQ(dd->CreateSurface(nullptr, &surface, nullptr), DDERR_INVALIDPARAMS);

    DDPIXELFORMAT palette = Palette8Format();
    HRESULT hr = S_OK;
    EXPECT_EQ(MakeSurface(dd, DDSCAPS_TEXTURE, 8, 8, &palette, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_INVALIDPIXELFORMAT);
    DDPIXELFORMAT overlapping = RgbFormat(16, 0xFF00, 0x0FF0, 0x000F);
    EXPECT_EQ(MakeSurface(dd, DDSCAPS_TEXTURE, 8, 8, &overlapping, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(surface, nullptr);
    dd->Release();
    EXPECT_EQ(PlatformLiveObjectCount(), start);
}

using VideoMemory = PlatformTest;

TEST_F(VideoMemory, ExhaustedVideoMemoryFailsWhileSystemMemoryStillWorks) {
    Machine machine = Machine::Default();
    machine.videoMemoryBytes = 640 * 480 * 4 + 1000;  // room for one 32-bit render target
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    const DWORD video = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
    HRESULT hr = S_OK;
    IDirectDrawSurface* first = MakeSurface(dd, video, 640, 480, nullptr, &hr);
    ASSERT_EQ(hr, DD_OK);
    EXPECT_EQ(VideoMemoryInUse(), 640u * 480u * 4u);
    IDirectDrawSurface* second = MakeSurface(dd, video, 640, 480, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(second, nullptr);
    IDirectDrawSurface* system = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, 640, 480, nullptr, &hr);
    EXPECT_EQ(hr, DD_OK);

    // Released video memory can be taken again.
    first->Release();
    EXPECT_EQ(VideoMemoryInUse(), 0u);
    second = MakeSurface(dd, video, 640, 480, nullptr, &hr);
    EXPECT_EQ(hr, DD_OK);
    second->Release();
    system->Release();
    dd->Release();
}

TEST_F(VideoMemory, SurfacesWithoutAPlacementGoToVideoMemoryWhileItLasts) {
    Machine machine = Machine::Default();
    machine.videoMemoryBytes = 64 * 64 * 4;
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* a = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 64, 64);
    IDirectDrawSurface* b = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 64, 64);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    DDSCAPS capsA{};
    DDSCAPS capsB{};
    a->GetCaps(&capsA);
    b->GetCaps(&capsB);
    EXPECT_NE(capsA.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
    EXPECT_NE(capsB.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
    a->Release();
    b->Release();
    dd->Release();
}

TEST_F(VideoMemory, ZBufferInVideoMemoryNeeds3DHardware) {
    Machine machine = Machine::Default();
    machine.drivers[0].has3D = false;
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    DDSURFACEDESC desc = Description(DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY, 16, 16);
    desc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    desc.dwZBufferBitDepth = 16;
    IDirectDrawSurface* z = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &z, nullptr), DDERR_NOZBUFFERHW);
    dd->Release();
}

using SurfaceLock = PlatformTest;

TEST_F(SurfaceLock, LockReportsAddressPitchAndFormatAndRefusesASecondLock) {
    IDirectDraw2* dd = OpenDirectDraw();
    DDPIXELFORMAT format = RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    IDirectDrawSurface* texture = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 10, 6, &format);
    ASSERT_NE(texture, nullptr);
    DDSURFACEDESC whole{};
    whole.dwSize = sizeof(whole);
    ASSERT_EQ(texture->Lock(nullptr, &whole, DDLOCK_WAIT | DDLOCK_WRITEONLY | DDLOCK_NOSYSLOCK, nullptr), DD_OK);
    EXPECT_NE(whole.lpSurface, nullptr);
    EXPECT_GE(whole.lPitch, 20);
    EXPECT_EQ(whole.lPitch % 4, 0);
    EXPECT_EQ(whole.dwWidth, 10u);
    EXPECT_EQ(whole.dwHeight, 6u);
    EXPECT_EQ(whole.ddpfPixelFormat.dwRGBAlphaBitMask, 0xF000u);
    EXPECT_NE(whole.dwFlags & DDSD_LPSURFACE, 0u);

    DDSURFACEDESC again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(texture->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(FillSurface(texture, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(texture->Unlock(whole.lpSurface), DD_OK);
    EXPECT_EQ(texture->Unlock(nullptr), DDERR_NOTLOCKED);

    // A partial lock points at the rectangle's first pixel.
    RECT part{3, 2, 5, 4};
    DDSURFACEDESC partial{};
    partial.dwSize = sizeof(partial);
    ASSERT_EQ(texture->Lock(&part, &partial, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<uint8_t*>(partial.lpSurface), static_cast<uint8_t*>(whole.lpSurface) + 2 * whole.lPitch + 3 * 2);
    EXPECT_EQ(texture->Unlock(partial.lpSurface), DD_OK);

    RECT outside{8, 0, 11, 1};
    EXPECT_EQ(texture->Lock(&outside, &partial, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    partial.dwSize = 12;
    EXPECT_EQ(texture->Lock(nullptr, &partial, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(texture->Unlock(nullptr), DDERR_NOTLOCKED);
    texture->Release();
    dd->Release();
}

using SurfaceAttachment = PlatformTest;

TEST_F(SurfaceAttachment, AttachedZBufferStaysAliveUntilDetached) {
    const int64_t start = PlatformLiveObjectCount();
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 32, 32);
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 32, 32);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(z->Release(), 1u);  // the attachment's reference remains
    EXPECT_EQ(PlatformLiveObjectCount(), start + 3);
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
    EXPECT_EQ(PlatformLiveObjectCount(), start + 2);
    target->Release();
    dd->Release();
}

TEST_F(SurfaceAttachment, OnlyOneZBufferOfTheSameSizeAttaches) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 32, 32);
    IDirectDrawSurface* z = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 32, 32);
    IDirectDrawSurface* small = MakeZBuffer(dd, DDSCAPS_SYSTEMMEMORY, 16, 16);
    IDirectDrawSurface* other = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 32, 32);
    EXPECT_EQ(target->AddAttachedSurface(small), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(target->AddAttachedSurface(other), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(target->AddAttachedSurface(target), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DDERR_SURFACENOTATTACHED);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
    EXPECT_EQ(target->DeleteAttachedSurface(1, z), DDERR_INVALIDPARAMS);
    // Released with the Z-buffer still attached: the target lets go of it.
    z->Release();
    small->Release();
    other->Release();
    target->Release();
    dd->Release();
}

TEST_F(SurfaceAttachment, ClipperSetOnThePrimaryLivesWithIt) {
    const int64_t start = PlatformLiveObjectCount();
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* primary = MakeSurface(dd, DDSCAPS_PRIMARYSURFACE, 0, 0);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    EXPECT_EQ(clipper->Release(), 1u);
    EXPECT_EQ(PlatformLiveObjectCount(), start + 3);
    primary->Release();
    EXPECT_EQ(PlatformLiveObjectCount(), start + 1);

    IDirectDrawSurface* plain = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 8, 8);
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    EXPECT_EQ(plain->SetClipper(clipper), DDERR_UNSUPPORTED);
    clipper->Release();
    plain->Release();
    dd->Release();
}

}  // namespace
}  // namespace platform_test
