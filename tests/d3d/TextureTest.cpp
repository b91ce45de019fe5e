// Textures: Load into allocate-on-load video memory, handles, lifetime.
#include "tests/d3d/DeviceTestSupport.h"

namespace platform_test {
namespace {

const DDPIXELFORMAT kArgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

class TextureLoad : public DeviceTest {
protected:
    IDirectDrawSurface* Texture(DWORD caps, DWORD size, const DDPIXELFORMAT& format = kArgb) {
        return MakeSurface(dd, DDSCAPS_TEXTURE | caps, size, size, &format);
    }
    IDirect3DTexture2* TextureOf(IDirectDrawSurface* surface) {
        IDirect3DTexture2* texture = nullptr;
        EXPECT_EQ(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)), S_OK);
        return texture;
    }
};

TEST_F(TextureLoad, AllocateOnLoadTextureGetsItsVideoMemoryAndPixelsAtLoad) {
    Open(4, 4);
    const uint64_t before = VideoMemoryInUse();
    IDirectDrawSurface* video = Texture(DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD, 2);
    IDirectDrawSurface* system = Texture(DDSCAPS_SYSTEMMEMORY, 2);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(VideoMemoryInUse(), before);
    WriteRaw(system, {0xFF112233, 0x80445566, 0x00778899, 0xFFAABBCC});
    IDirect3DTexture2* deviceTexture = TextureOf(video);
    IDirect3DTexture2* systemTexture = TextureOf(system);
    ASSERT_EQ(deviceTexture->Load(systemTexture), D3D_OK);
    EXPECT_EQ(VideoMemoryInUse(), before + 2 * 2 * 4);
    EXPECT_EQ(ReadRaw(video), (std::vector<uint32_t>{0xFF112233, 0x80445566, 0x00778899, 0xFFAABBCC}));
    deviceTexture->Release();
    systemTexture->Release();
    video->Release();
    system->Release();
    EXPECT_EQ(VideoMemoryInUse(), before);
}

TEST_F(TextureLoad, LoadNeedsTheSameSizeAndFormatAndAnUnlockedSource) {
    Open(4, 4);
    IDirectDrawSurface* a = Texture(DDSCAPS_SYSTEMMEMORY, 2);
    IDirectDrawSurface* b = Texture(DDSCAPS_SYSTEMMEMORY, 4);
    const DDPIXELFORMAT rgb565 = RgbFormat(16, 0xF800, 0x07E0, 0x001F);
    IDirectDrawSurface* c = Texture(DDSCAPS_SYSTEMMEMORY, 2, rgb565);
    IDirect3DTexture2* ta = TextureOf(a);
    IDirect3DTexture2* tb = TextureOf(b);
    IDirect3DTexture2* tc = TextureOf(c);
    EXPECT_EQ(ta->Load(tb), D3DERR_TEXTURE_LOAD_FAILED);
    EXPECT_EQ(ta->Load(tc), D3DERR_TEXTURE_LOAD_FAILED);
    EXPECT_EQ(ta->Load(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ta->Load(ta), D3D_OK);  // a software device textures from the surface itself
    IDirectDrawSurface* a2 = Texture(DDSCAPS_SYSTEMMEMORY, 2);
    IDirect3DTexture2* ta2 = TextureOf(a2);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(a2->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ta->Load(ta2), DDERR_SURFACEBUSY);
    a2->Unlock(nullptr);
    for (IUnknown* object : std::initializer_list<IUnknown*>{ta, tb, tc, ta2, a, b, c, a2}) {
        object->Release();
    }
}

TEST_F(TextureLoad, HandlesStartAtOneAndStayTheSameForATexture) {
    Open(4, 4);
    IDirectDrawSurface* a = Texture(DDSCAPS_SYSTEMMEMORY, 2);
    IDirectDrawSurface* b = Texture(DDSCAPS_SYSTEMMEMORY, 2);
    IDirect3DTexture2* ta = TextureOf(a);
    IDirect3DTexture2* tb = TextureOf(b);
    D3DTEXTUREHANDLE first = 0;
    D3DTEXTUREHANDLE second = 0;
    D3DTEXTUREHANDLE again = 0;
    ASSERT_EQ(ta->GetHandle(device, &first), D3D_OK);
    ASSERT_EQ(tb->GetHandle(device, &second), D3D_OK);
    ASSERT_EQ(ta->GetHandle(device, &again), D3D_OK);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(again, first);
    EXPECT_EQ(ta->GetHandle(nullptr, &first), DDERR_INVALIDPARAMS);

    // The device keeps a texture it handed a handle for, so drawing with it stays safe.
    const int64_t live = PlatformLiveObjectCount();
    ta->Release();
    a->Release();
    EXPECT_EQ(PlatformLiveObjectCount(), live);
    tb->Release();
    b->Release();
}

}  // namespace
}  // namespace platform_test
