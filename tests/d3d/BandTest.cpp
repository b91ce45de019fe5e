// Two threads draw a scene in two bands of rows. Whatever a program reads in the middle of a
// scene and after it is what one thread gives, byte for byte.
#include "platform/d3d/Device.h"
#include "tests/d3d/DeviceTestSupport.h"

#include <gtest/gtest.h>

namespace platform_test {
namespace {

const DDPIXELFORMAT kArgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
constexpr DWORD kWidth = 80, kHeight = 72;

// What the program does between a long draw and the rest of the scene.
enum class Between { Nothing, LockTarget, LockZ, CopyTarget, FillTarget, ClearZ, LoadTexture, SecondScene };

struct Seen {
    std::vector<uint32_t> between, target, z;
};

class Bands : public DeviceTest {
protected:
    platform::Device& Dev() { return *platform::Device::From(device); }

    IDirectDrawSurface* Texture(const std::vector<uint32_t>& texels) {
        IDirectDrawSurface* surface = MakeSurface(dd, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 4, 4, &kArgb);
        EXPECT_NE(surface, nullptr);
        WriteRaw(surface, texels);
        return surface;
    }
    static IDirect3DTexture2* TextureOf(IDirectDrawSurface* surface) {
        IDirect3DTexture2* texture = nullptr;
        EXPECT_EQ(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)), S_OK);
        return texture;
    }

    // Hundreds of triangles each covering half the target, colours, depths and texture
    // coordinates changing along the strip: the helper is still at it when the call returns.
    HRESULT LongStrip(uint32_t seed, float nearest) {
        std::vector<D3DLVERTEX> strip;
        for (uint32_t i = 0; i < 200; ++i) {
            const float x = i % 4 < 2 ? -1.2f : 1.1f;
            const float y = i % 2 ? -1.1f : 1.3f;
            strip.push_back(LVertex(x, y, nearest + 0.0005f * static_cast<float>(i), 0xFF000000u | (i * 2654435761u + seed),
                                    0.1f * static_cast<float>(i % 7), 0.13f * static_cast<float>(i % 5)));
        }
        return Draw(D3DPT_TRIANGLESTRIP, strip);
    }

    Seen Run(int threads, Between between) {
        Open(kWidth, kHeight);
        Seen seen;
        EXPECT_TRUE(Dev().SetDrawThreads(threads));
        IDirectDrawSurface* image = Texture({0xFF102030, 0x80FFEEDD, 0xFF00FF00, 0x40FF0000, 0xFF0000FF, 0xFF808080,
                                             0xC0123456, 0xFFFFFFFF, 0xFF000000, 0x10ABCDEF, 0xFF55AA55, 0xFFAA55AA,
                                             0xFF999999, 0x80112233, 0xFF445566, 0xFF778899});
        IDirectDrawSurface* other = Texture(std::vector<uint32_t>(16, 0xFF20C0E0));
        IDirect3DTexture2* texture = TextureOf(image);
        IDirect3DTexture2* otherTexture = TextureOf(other);
        D3DTEXTUREHANDLE handle = 0;
        EXPECT_EQ(texture->GetHandle(device, &handle), D3D_OK);
        EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
        EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle), D3D_OK);
        EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR), D3D_OK);
        ClearAll(0x000000);
        IDirectDrawSurface* copy = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, kWidth, kHeight);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(LongStrip(7, 0.5f), D3D_OK);
        D3DRECT all{0, 0, LONG{kWidth}, LONG{kHeight}};
        switch (between) {
        case Between::Nothing: break;
        case Between::LockTarget: seen.between = ReadRaw(target); break;
        case Between::LockZ: seen.between = ReadRaw(z); break;
        case Between::CopyTarget:
            EXPECT_EQ(copy->Blt(nullptr, target, nullptr, DDBLT_WAIT, nullptr), DD_OK);
            seen.between = ReadRaw(copy);
            break;
        case Between::FillTarget: EXPECT_EQ(FillSurface(target, 0x00FF00FF), DD_OK); break;
        case Between::ClearZ: EXPECT_EQ(viewport->Clear(1, &all, D3DCLEAR_ZBUFFER), D3D_OK); break;
        case Between::LoadTexture: EXPECT_EQ(texture->Load(otherTexture), D3D_OK); break;
        case Between::SecondScene:
            EXPECT_EQ(device->EndScene(), D3D_OK);
            EXPECT_EQ(device->BeginScene(), D3D_OK);
            break;
        }
        // Behind the first: it shows only where that one's depth was cleared or never written.
        EXPECT_EQ(LongStrip(99, 0.7f), D3D_OK);
        // Lines and points cross the split too.
        EXPECT_EQ(Draw(D3DPT_LINESTRIP, {LVertex(-0.9f, -0.95f, 0.0f, 0xFFFF0000), LVertex(0.3f, 0.9f, 0.0f, 0xFF00FF00),
                                         LVertex(0.95f, -0.2f, 0.0f, 0xFF0000FF)}),
                  D3D_OK);
        EXPECT_EQ(Draw(D3DPT_POINTLIST, {LVertex(0.0f, 0.02f, 0.0f, 0xFFFFFF00), LVertex(0.5f, -0.03f, 0.0f, 0xFF00FFFF)}),
                  D3D_OK);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        seen.target = ReadRaw(target);
        seen.z = ReadRaw(z);
        texture->Release();
        otherTexture->Release();
        image->Release();
        other->Release();
        copy->Release();
        Close();
        return seen;
    }
};

TEST_F(Bands, WhatAProgramSeesDuringAndAfterASceneIsWhatOneThreadGives) {
    const std::pair<Between, const char*> cases[] = {
        {Between::Nothing, "nothing"},         {Between::LockTarget, "lock the target"},
        {Between::LockZ, "lock the Z-buffer"}, {Between::CopyTarget, "copy the target"},
        {Between::FillTarget, "fill the target"}, {Between::ClearZ, "clear the Z-buffer"},
        {Between::LoadTexture, "load the texture"}, {Between::SecondScene, "end and begin a scene"},
    };
    for (const auto& [between, name] : cases) {
        const Seen one = Run(1, between);
        const Seen two = Run(2, between);
        EXPECT_EQ(one.between, two.between) << name;
        EXPECT_EQ(one.target, two.target) << name;
        EXPECT_EQ(one.z, two.z) << name;
        // The scene draws in both bands: a picture that one band left blank would differ above.
        EXPECT_NE(one.target[5 * kWidth + 5], 0u) << name;
        EXPECT_NE(one.target[(kHeight - 5) * kWidth + kWidth - 5], 0u) << name;
    }
}

TEST_F(Bands, AScenePastTheLimitIsCutInBothBands) {
    for (const int threads : {1, 2}) {
        Open(64, 48);
        ASSERT_TRUE(Dev().SetDrawThreads(threads));
        EXPECT_EQ(Dev().DrawThreads(), threads);
        Dev().SetSceneFragmentLimit(10 * 64 * 48);
        EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
        ClearAll(0);
        const uint64_t before = Dev().FragmentCount();
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        ASSERT_EQ(LongStrip(1, 0.5f), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
        const uint64_t shaded = Dev().FragmentCount() - before;
        EXPECT_TRUE(Dev().SceneCutAtFragmentLimit()) << threads;
        EXPECT_GE(shaded, 10u * 64 * 48) << threads;
        EXPECT_LE(shaded, 10u * 64 * 48 + 2 * 64 * 64 * 48) << threads << ": at most a batch past each band's share";
        Close();
    }
}

}  // namespace
}  // namespace platform_test
