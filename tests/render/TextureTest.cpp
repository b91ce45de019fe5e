// Texture slots: binding in both drawing modes, state per texture, format choice, pixel
// conversion and what a failed or repeated load leaves.
#include "tests/render/ContextFixture.h"
#include "platform/ddraw/Objects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using platform::CallCount;
using platform::Fault;
using platform::Machine;
using platform::PlatformLiveObjectCount;
using platform::RgbFormat;
using platform::ScopedCallTrace;
using platform::TraceKind;
using rendertest::OpenContext;
using rendertest::PositionImage;
using rendertest::Trace;
using Strings = std::vector<std::string>;

// Reads texel (x, y) of a loaded slot's system-memory surface.
uint32_t Texel(const CTextureSlot& slot, int32_t x, int32_t y) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(slot.m_systemSurface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return 0xBAD;
    const int32_t bytes = static_cast<int32_t>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
    uint32_t value = 0;
    std::memcpy(&value, row + x * bytes, static_cast<size_t>(bytes));
    slot.m_systemSurface->Unlock(nullptr);
    return value;
}

DDPIXELFORMAT LockedFormat(const CTextureSlot& slot) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    slot.m_systemSurface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    slot.m_systemSurface->Unlock(nullptr);
    return desc.ddpfPixelFormat;
}

Machine WithTextureFormats(std::vector<DDPIXELFORMAT> formats) {
    Machine m = Machine::Default();
    m.halTextureFormats = formats;
    m.rgbTextureFormats = std::move(formats);
    return m;
}

std::vector<uint8_t> RgbImage(int32_t size) {
    std::vector<uint8_t> pixels(static_cast<size_t>(size * size) * 3);
    for (int32_t i = 0; i < size * size; ++i) {
        pixels[static_cast<size_t>(i) * 3] = static_cast<uint8_t>(i);
        pixels[static_cast<size_t>(i) * 3 + 1] = static_cast<uint8_t>(i * 3);
        pixels[static_cast<size_t>(i) * 3 + 2] = static_cast<uint8_t>(i * 7);
    }
    return pixels;
}

// --- binding ------------------------------------------------------------------------------

TEST(TextureBinding, UnloadedSlotKeepsTheDevicesHandle) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.BindTexture(5));
    EXPECT_EQ(c.rc.m_textureIndex, 5);
    EXPECT_TRUE(Trace().empty());
}

TEST(TextureBinding, LoadedSlotSelectsItsHandleAtOnce) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    ScopedCallTrace trace;
    c.rc.BindTexture(1);
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(1," + std::to_string(c.rc.m_slots[1].m_handle) + ")"}));
}

TEST(TextureBinding, OutOfRangeIndexOrTexturingOffClearsTheHandle) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    ScopedCallTrace trace;
    c.rc.BindTexture(64);
    c.rc.BindTexture(-1);
    EXPECT_EQ(c.rc.m_textureIndex, -1);
    c.rc.Disable(RC_TEXTURE_2D);
    platform::CallTrace::Clear();
    c.rc.BindTexture(1);
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(1,0)"}));
    EXPECT_EQ(c.rc.CurrentTextureIndex(), -1);
}

TEST(TextureBinding, WhileDeferringBindingOnlyMarksTheSlot) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Enable(RC_BLEND);
    c.rc.m_slots[1].SetPending(false);
    ScopedCallTrace trace;
    c.rc.BindTexture(1);
    EXPECT_TRUE(Trace().empty());
    EXPECT_TRUE(c.rc.m_slots[1].IsPending());
}

TEST(TextureBinding, DirectBeginAppliesAPendingSlotsStateOnce) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_NEAREST);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_T, D3DTADDRESS_CLAMP);
    c.rc.Begin(RC_POINTS);  // sends the dirty matrices first
    c.rc.m_slots[1].SetPending(true);
    ScopedCallTrace trace;
    c.rc.Begin(RC_POINTS);
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(21,2)", "SetRenderState(17,2)", "SetRenderState(18,1)",
                                "SetRenderState(5,0)", "SetRenderState(6,0)", "SetRenderState(44,1)",
                                "SetRenderState(45,3)"}));
    EXPECT_FALSE(c.rc.m_slots[1].IsPending());
    platform::CallTrace::Clear();
    c.rc.Begin(RC_POINTS);
    EXPECT_TRUE(Trace().empty());
}

TEST(TextureBinding, DeferredBeginRecordsTheStateForEachPrimitive) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    rendertest::SetPerspective(c.rc);
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Enable(RC_BLEND);
    c.rc.Enable(RC_TEXTURE_2D);
    c.rc.m_color = 0xFFFFFFFF;  // translucent through the texture's alpha
    auto fan = [&](int32_t vertices) {
        c.rc.Begin(RC_TRIANGLE_FAN);
        for (int32_t i = 0; i < vertices; ++i) c.rc.Vertex(static_cast<float>(i % 2), static_cast<float>(i / 2), -4);
        c.rc.End();
    };
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_LINEAR);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_LINEAR);
    fan(4);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_NEAREST);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_NEAREST);
    ScopedCallTrace trace;
    fan(4);
    EXPECT_TRUE(Trace({TraceKind::SetRenderState, TraceKind::DrawPrimitive}).empty());
    EXPECT_TRUE(c.rc.m_slots[1].IsPending());
    c.rc.EndFrame();
    // Same bucket: the later (point-filtered) fan first, each with its own filters.
    const std::string bind = "SetRenderState(1," + std::to_string(c.rc.m_slots[1].m_handle) + ")";
    EXPECT_EQ(Trace({TraceKind::SetRenderState, TraceKind::DrawPrimitive}),
              (Strings{"SetRenderState(21,2)", "SetRenderState(17,1)", "SetRenderState(18,1)", "SetRenderState(5,0)",
                       "SetRenderState(6,0)", "SetRenderState(44,1)", "SetRenderState(45,1)", bind,
                       "DrawPrimitive(6,2,4)", "SetRenderState(21,2)", "SetRenderState(17,2)", "SetRenderState(18,2)",
                       "SetRenderState(5,0)", "SetRenderState(6,0)", "SetRenderState(44,1)", "SetRenderState(45,1)",
                       bind, "DrawPrimitive(6,2,4)"}));
}

TEST(TextureBinding, QueuedPrimitiveNeverUsesABlockFromAnEarlierFrame) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    rendertest::SetPerspective(c.rc);
    auto fan = [&]() {
        c.rc.Begin(RC_TRIANGLE_FAN);
        for (int32_t i = 0; i < 4; ++i) c.rc.Vertex(static_cast<float>(i % 2), static_cast<float>(i / 2), -4);
        c.rc.End();
    };
    // Frame 1 records a block for its deferred fan.
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Enable(RC_BLEND);
    c.rc.Enable(RC_TEXTURE_2D);
    fan();
    c.rc.EndFrame();
    // Frame 2: a direct primitive applies the state, so the deferred fan records none.
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Disable(RC_BLEND);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_S, D3DTADDRESS_MIRROR);
    c.rc.Begin(RC_POINTS);
    c.rc.End();
    c.rc.Enable(RC_BLEND);
    fan();
    ScopedCallTrace trace;
    c.rc.EndFrame();
    // The slot's own state, not whatever the emptied pool holds now.
    const Strings states = Trace({TraceKind::SetRenderState});
    ASSERT_EQ(states.size(), 8u);
    EXPECT_EQ(states[0], "SetRenderState(21,2)");
    EXPECT_EQ(states[1], "SetRenderState(17,2)");
    EXPECT_EQ(states[2], "SetRenderState(18,2)");
    EXPECT_EQ(states[5], "SetRenderState(44,2)");
    EXPECT_EQ(states[6], "SetRenderState(45,1)");
}

TEST(TextureBinding, QueuedPrimitiveNeverUsesAnotherSlotsBlock) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 2));
    rendertest::SetPerspective(c.rc);
    auto fan = [&]() {
        c.rc.Begin(RC_TRIANGLE_FAN);
        for (int32_t i = 0; i < 4; ++i) c.rc.Vertex(static_cast<float>(i % 2), static_cast<float>(i / 2), -4);
        c.rc.End();
    };
    c.rc.BeginFrame(255, 255, 255);
    // Slot 1, deferred, point filtered: its Begin records a block.
    c.rc.Enable(RC_BLEND);
    c.rc.BindTexture(1);
    c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_NEAREST);
    fan();
    // Slot 2 bound and applied directly, then drawn deferred without a block of its own.
    c.rc.Disable(RC_BLEND);
    c.rc.BindTexture(2);
    c.rc.Begin(RC_POINTS);
    c.rc.End();
    c.rc.Enable(RC_BLEND);
    fan();
    ScopedCallTrace trace;
    c.rc.EndFrame();
    const Strings states = Trace({TraceKind::SetRenderState});
    ASSERT_EQ(states.size(), 16u);
    // Later-filed first: slot 2 with its own linear filter, then slot 1 with its block.
    EXPECT_EQ(states[2], "SetRenderState(18,2)");
    EXPECT_EQ(states[7], "SetRenderState(1," + std::to_string(c.rc.m_slots[2].m_handle) + ")");
    EXPECT_EQ(states[10], "SetRenderState(18,1)");
    EXPECT_EQ(states[15], "SetRenderState(1," + std::to_string(c.rc.m_slots[1].m_handle) + ")");
}

// --- texture parameters -----------------------------------------------------------------

TEST(TextureParameters, EachNameSetsOnlyItsOwnValue) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.BindTexture(2);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_T, D3DTADDRESS_CLAMP));
    const TextureStateBlock& s = c.rc.m_slots[2].m_state;
    EXPECT_EQ(s.addressV, 3u);
    EXPECT_EQ(s.addressU, 1u);
    EXPECT_EQ(s.minFilter, 2u);
    EXPECT_EQ(s.magFilter, 2u);
    EXPECT_EQ(s.blendMode, 2u);
    EXPECT_TRUE(c.rc.m_slots[2].IsPending());
    EXPECT_TRUE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, 1));
    EXPECT_TRUE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, 1));
    EXPECT_TRUE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_S, 2));
    EXPECT_TRUE(c.rc.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, D3DTBLEND_DECAL));
    EXPECT_EQ(s.minFilter, 1u);
    EXPECT_EQ(s.magFilter, 1u);
    EXPECT_EQ(s.addressU, 2u);
    EXPECT_EQ(s.blendMode, 1u);
    EXPECT_TRUE(Trace().empty());  // neither call touches the device
}

TEST(TextureParameters, WrongTargetNameOrSlotIsRefused) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    EXPECT_FALSE(c.rc.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, 2));  // no slot bound
    EXPECT_FALSE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, 1));
    c.rc.BindTexture(64);
    EXPECT_FALSE(c.rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, 1));
    c.rc.BindTexture(3);
    const TextureStateBlock before = c.rc.m_slots[3].m_state;
    EXPECT_FALSE(c.rc.TexParameter(RC_TEXTURE_2D, 13, 1));
    EXPECT_FALSE(c.rc.TexParameter(RC_BLEND, RC_TEXTURE_MIN_FILTER, 1));
    EXPECT_FALSE(c.rc.TexEnv(RC_TEXTURE_2D, RC_TEXTURE_ENV_MODE, 1));
    EXPECT_FALSE(c.rc.TexEnv(RC_TEXTURE_ENV, 33, 1));
    EXPECT_EQ(std::memcmp(&before, &c.rc.m_slots[3].m_state, sizeof before), 0);
    EXPECT_FALSE(c.rc.m_slots[3].IsPending());
}

// --- loading ------------------------------------------------------------------------------

TEST(TextureLoad, AlphaImageLoadsWithItsRowsInOrder) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    const std::vector<uint8_t> image = PositionImage(256, 0x40);
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(256, 0, RC_PIXELS_RGBA, image.data(), nullptr));
    const CTextureSlot& slot = c.rc.m_slots[1];
    EXPECT_TRUE(slot.IsLoaded());
    EXPECT_TRUE(slot.HasAlpha());
    EXPECT_EQ(slot.m_device, c.rc.m_device);
    EXPECT_EQ(slot.m_channels[3].mask, 0xFF000000u);  // the default device lists A8R8G8B8 first
    EXPECT_EQ(Texel(slot, 0, 0), 0x40000000u);
    EXPECT_EQ(Texel(slot, 7, 0), 0x40070000u);
    EXPECT_EQ(Texel(slot, 0, 9), 0x40000900u);
    EXPECT_EQ(Texel(slot, 255, 254), 0x40FFFE00u);
}

TEST(TextureLoad, HardwareDeviceTexturesFromVideoMemoryLoadedFromASystemCopy) {
    // Default machine: a hardware device. Two surfaces, each held by the slot's surface and
    // texture references (the device's handle holds the one it textures from); the video-memory
    // one gets its memory from the load.
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    const CTextureSlot& slot = c.rc.m_slots[1];
    auto* device = platform::Surface::From(slot.m_deviceSurface);
    auto* system = platform::Surface::From(slot.m_systemSurface);
    ASSERT_NE(device, nullptr);
    ASSERT_NE(system, nullptr);
    ASSERT_NE(device, system);
    EXPECT_EQ(device->Caps() & (DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD),
              DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD);
    EXPECT_EQ(system->Caps() & (DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY),
              DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    ASSERT_TRUE(device->HasMemory());
    EXPECT_EQ(std::memcmp(device->Pixels(), system->Pixels(), static_cast<size_t>(system->Bytes())), 0);
    EXPECT_EQ(device->References(), 3u);
    EXPECT_EQ(system->References(), 2u);
}

TEST(TextureLoad, SoftwareDeviceTexturesFromTheOneSystemMemorySurface) {
    Machine m = Machine::Default();
    m.drivers[0].has3D = false;
    OpenContext c(m);
    ASSERT_TRUE(c.opened);
    ASSERT_EQ(CallCount("CreateDevice:RGB"), 1);
    const int64_t before = PlatformLiveObjectCount();
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    const CTextureSlot& slot = c.rc.m_slots[1];
    auto* surface = platform::Surface::From(slot.m_deviceSurface);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(platform::Surface::From(slot.m_systemSurface), surface);
    EXPECT_EQ(surface->Caps() & (DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY),
              DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(PlatformLiveObjectCount(), before + 1);  // one surface, no second copy
    EXPECT_EQ(surface->References(), 5u);  // two surface and two texture references, the handle
}

TEST(TextureLoad, OneBitAlphaFormatListedFirstIsPassedOver) {
    OpenContext c(WithTextureFormats(platform::AlternateTextureFormats()));
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    EXPECT_EQ(c.rc.m_slots[1].m_channels[3].mask, 0xF000u);
    // An opaque image takes the first opaque format of 16 bits or more.
    const std::vector<uint8_t> rgb = RgbImage(4);
    c.rc.BindTexture(2);
    ASSERT_TRUE(c.rc.TexImage(4, 0, RC_PIXELS_RGB, rgb.data(), nullptr));
    EXPECT_FALSE(c.rc.m_slots[2].HasAlpha());
    EXPECT_EQ(LockedFormat(c.rc.m_slots[2]).dwRBitMask, 0x7C00u);
    EXPECT_EQ(LockedFormat(c.rc.m_slots[2]).dwRGBAlphaBitMask, 0u);
}

TEST(TextureLoad, OnlyOneBitAlphaMeansNoAlphaTexture) {
    OpenContext c(WithTextureFormats({RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000), RgbFormat(16, 0xF800, 0x07E0, 0x001F)}));
    ASSERT_TRUE(c.opened);
    const int64_t live = PlatformLiveObjectCount();
    EXPECT_FALSE(rendertest::LoadAlphaTexture(c.rc, 1));
    const CTextureSlot& slot = c.rc.m_slots[1];
    EXPECT_FALSE(slot.IsLoaded());
    EXPECT_EQ(slot.m_systemSurface, nullptr);
    EXPECT_NE(slot.m_pixels, nullptr);  // the stored pixels stay
    EXPECT_EQ(PlatformLiveObjectCount(), live);
    const std::vector<uint8_t> rgb = RgbImage(4);
    c.rc.BindTexture(2);
    EXPECT_TRUE(c.rc.TexImage(4, 0, RC_PIXELS_RGB, rgb.data(), nullptr));
    EXPECT_EQ(LockedFormat(c.rc.m_slots[2]).dwRBitMask, 0xF800u);
}

TEST(TextureLoad, SixteenBitChannelsAreRescaled) {
    OpenContext c(WithTextureFormats({RgbFormat(16, 0xF800, 0x07E0, 0x001F), RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000)}));
    ASSERT_TRUE(c.opened);
    // Red 255, 128, 8 in three pixels; green 255 (6 bits), blue 0.
    std::vector<uint8_t> rgb(2 * 2 * 3, 0);
    const uint8_t reds[4] = {255, 128, 8, 0};
    for (int i = 0; i < 4; ++i) {
        rgb[static_cast<size_t>(i) * 3] = reds[i];
        rgb[static_cast<size_t>(i) * 3 + 1] = 255;
    }
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(2, 0, RC_PIXELS_RGB, rgb.data(), nullptr));
    const CTextureSlot& slot = c.rc.m_slots[1];
    EXPECT_EQ(Texel(slot, 0, 0) >> 11, 31u);
    EXPECT_EQ(Texel(slot, 1, 0) >> 11, 15u);
    EXPECT_EQ(Texel(slot, 0, 1) >> 11, 0u);
    EXPECT_EQ((Texel(slot, 0, 0) >> 5) & 0x3F, 63u);
    // A 4-bit alpha channel: 128 gives 7.
    std::vector<uint8_t> rgba = {0, 0, 0, 128, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 8};
    c.rc.BindTexture(2);
    ASSERT_TRUE(c.rc.TexImage(2, 0, RC_PIXELS_RGBA, rgba.data(), nullptr));
    EXPECT_EQ(Texel(c.rc.m_slots[2], 0, 0) >> 12, 7u);
    EXPECT_EQ(Texel(c.rc.m_slots[2], 1, 0) >> 12, 15u);
    EXPECT_EQ(Texel(c.rc.m_slots[2], 1, 1) >> 12, 0u);
}

TEST(TextureLoad, TwentyFourBitFormatTakesOpaqueImagesOnly) {
    OpenContext c(WithTextureFormats({RgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF), RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)}));
    ASSERT_TRUE(c.opened);
    const std::vector<uint8_t> rgb = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC};
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(2, 0, RC_PIXELS_RGB, rgb.data(), nullptr));
    EXPECT_EQ(LockedFormat(c.rc.m_slots[1]).dwRGBBitCount, 24u);
    EXPECT_EQ(Texel(c.rc.m_slots[1], 1, 0), 0x445566u);
    EXPECT_EQ(Texel(c.rc.m_slots[1], 0, 1), 0x778899u);
    // An image with alpha passes the 24-bit format over for the 32-bit one.
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 2));
    EXPECT_EQ(LockedFormat(c.rc.m_slots[2]).dwRGBBitCount, 32u);
}

TEST(TextureLoad, LargeImageIsResampledToTheLimit) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    const std::vector<uint8_t> image = PositionImage(300, 0xFF);
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(300, 0, RC_PIXELS_RGBA, image.data(), nullptr));
    const CTextureSlot& slot = c.rc.m_slots[1];
    for (int32_t i = 0; i < 256; i += 5) {
        for (int32_t j = 0; j < 256; j += 3) {
            const int32_t x = j * 300 / 256;
            const int32_t y = i * 300 / 256;
            const uint32_t expected = 0xFF000000u | static_cast<uint32_t>(x & 0xFF) << 16 |
                                      static_cast<uint32_t>(y & 0xFF) << 8 |
                                      static_cast<uint32_t>((x >> 8) | ((y >> 8) << 4));
            ASSERT_EQ(Texel(slot, j, i), expected) << j << "," << i;
        }
    }
    EXPECT_EQ(Texel(slot, 255, 255) >> 16 & 0xFF, static_cast<uint32_t>((255 * 300 / 256) & 0xFF));
}

TEST(TextureLoad, IndexedImageIsExpandedThroughItsPalette) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    std::vector<uint8_t> palette(768, 0);
    palette[3 * 7] = 0x11;
    palette[3 * 7 + 1] = 0x22;
    palette[3 * 7 + 2] = 0x33;
    const uint8_t indices[4] = {7, 0, 0, 7};
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(2, 0, RC_PIXELS_INDEXED, indices, palette.data()));
    const CTextureSlot& slot = c.rc.m_slots[1];
    EXPECT_FALSE(slot.HasAlpha());
    EXPECT_EQ(Texel(slot, 0, 0) & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(Texel(slot, 1, 0) & 0xFFFFFF, 0u);
    c.rc.BindTexture(2);
    EXPECT_FALSE(c.rc.TexImage(2, 0, RC_PIXELS_INDEXED, indices, nullptr));
    EXPECT_EQ(c.rc.m_slots[2].m_pixels, nullptr);
}

TEST(TextureLoad, SecondLoadOnALoadedSlotChangesNothing) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    const CTextureSlot& slot = c.rc.m_slots[1];
    const DWORD handle = slot.m_handle;
    const uint8_t* pixels = slot.m_pixels;
    const uint32_t texel = Texel(slot, 1, 1);
    const std::vector<uint8_t> other = PositionImage(8, 0x10);
    EXPECT_FALSE(c.rc.TexImage(8, 0, RC_PIXELS_RGBA, other.data(), nullptr));
    EXPECT_EQ(slot.m_handle, handle);
    EXPECT_EQ(slot.m_pixels, pixels);
    EXPECT_EQ(slot.m_width, 4);
    EXPECT_EQ(Texel(slot, 1, 1), texel);
}

TEST(TextureLoad, PositiveHeightLoadsANonSquareImageWithoutReadingPastIt) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    // Exactly 4 x 2 pixels: reading a square would run past the end (caught by the sanitizer).
    const std::vector<uint8_t> square = PositionImage(4);
    const std::vector<uint8_t> wide(square.begin(), square.begin() + 4 * 2 * 4);
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(4, 2, RC_PIXELS_RGBA, wide.data(), nullptr));
    EXPECT_EQ(c.rc.m_slots[1].m_width, 4);
    EXPECT_EQ(c.rc.m_slots[1].m_height, 2);
    EXPECT_EQ(Texel(c.rc.m_slots[1], 3, 1) & 0xFFFFFF, 0x030100u);
}

TEST(TextureLoad, BadArgumentsAreRefusedWithoutStoring) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    const std::vector<uint8_t> image = PositionImage(4);
    EXPECT_FALSE(c.rc.TexImage(4, 0, RC_PIXELS_RGBA, image.data(), nullptr));  // no slot bound
    c.rc.BindTexture(1);
    EXPECT_FALSE(c.rc.TexImage(0, 0, RC_PIXELS_RGBA, image.data(), nullptr));
    EXPECT_FALSE(c.rc.TexImage(-4, 0, RC_PIXELS_RGBA, image.data(), nullptr));
    EXPECT_FALSE(c.rc.TexImage(70000, 0, RC_PIXELS_RGBA, image.data(), nullptr));
    EXPECT_FALSE(c.rc.TexImage(4, 0, RC_PIXELS_RGBA, nullptr, nullptr));
    EXPECT_FALSE(c.rc.TexImage(4, 0, 3, image.data(), nullptr));
    EXPECT_EQ(c.rc.m_slots[1].m_pixels, nullptr);
    EXPECT_EQ(c.rc.m_slots[1].m_width, 0);
}

class UploadFault : public ::testing::TestWithParam<const char*> {};

TEST_P(UploadFault, PlatformFailureLeavesNoObjectsAndALaterLoadWorks) {
    Machine m = Machine::Default();
    Fault f;
    f.operation = GetParam();
    // The open makes three surfaces; the texture's are the fourth on.
    f.nth = std::string(GetParam()) == "CreateSurface" ? 4 : 1;
    m.faults.push_back(f);
    OpenContext c(m);
    ASSERT_TRUE(c.opened);
    const int64_t live = PlatformLiveObjectCount();
    EXPECT_FALSE(rendertest::LoadAlphaTexture(c.rc, 1));
    const CTextureSlot& slot = c.rc.m_slots[1];
    EXPECT_EQ(slot.m_handle, 0u);
    EXPECT_EQ(slot.m_device, nullptr);
    EXPECT_EQ(slot.m_systemSurface, nullptr);
    EXPECT_EQ(slot.m_deviceSurface, nullptr);
    EXPECT_EQ(slot.m_systemTexture, nullptr);
    EXPECT_EQ(slot.m_deviceTexture, nullptr);
    EXPECT_EQ(PlatformLiveObjectCount(), live);
    {
        ScopedCallTrace trace;
        c.rc.BindTexture(1);
        EXPECT_TRUE(Trace().empty());  // nothing to bind
    }
    EXPECT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    EXPECT_TRUE(slot.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(EveryStep, UploadFault,
                         ::testing::Values("GetCaps:IDirect3DDevice2", "CreateSurface", "Lock",
                                           "QueryInterface:IDirect3DTexture2", "Load", "GetHandle"));

TEST(TextureLoad, ReleasingTheDeviceReleasesEveryTexture) {
    platform::ScopedMachine scope(Machine::Default());
    HeadlessWindow window(640, 480);
    const int64_t before = PlatformLiveObjectCount();
    CRenderContext rc;
    ASSERT_TRUE(rc.OpenDevice(&window, 640, 480, 64, rendertest::kVertexPool, rendertest::kStatePool));
    ASSERT_TRUE(rendertest::LoadAlphaTexture(rc, 1));
    ASSERT_TRUE(rendertest::LoadAlphaTexture(rc, 63));
    rc.ReleaseDevice();
    EXPECT_EQ(PlatformLiveObjectCount(), before);
}

}  // namespace
