// Helpers for tests of the software DirectDraw/Direct3D: a fixture that checks every object
// made in a test is released, and short ways to make objects and read pixels.
#pragma once

#include "platform/d3d/d3d.h"
#include "platform/ddraw/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

namespace platform_test {

using namespace platform;

// Checks that the test released everything it made. A test may install its own machine.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { m_liveAtStart = PlatformLiveObjectCount(); }
    void TearDown() override {
        EXPECT_EQ(PlatformLiveObjectCount(), m_liveAtStart) << "platform objects leaked or released twice";
        m_machine.reset();
    }
    void UseMachine(Machine machine) {
        m_machine.reset();
        m_machine.emplace(std::move(machine));
    }

    std::optional<ScopedMachine> m_machine;
    int64_t m_liveAtStart = 0;
};

inline Machine MachineWithDisplay(DisplayFormat format) {
    Machine machine = Machine::Default();
    machine.displayFormat = format;
    return machine;
}

inline IDirectDraw2* OpenDirectDraw(GUID* guid = nullptr) {
    IDirectDraw* first = nullptr;
    if (FAILED(DirectDrawCreate(guid, &first, nullptr))) {
        return nullptr;
    }
    IDirectDraw2* dd = nullptr;
    const HRESULT hr = first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd));
    first->Release();
    return SUCCEEDED(hr) ? dd : nullptr;
}

inline DDSURFACEDESC Description(DWORD caps, DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = caps;
    if (width != 0 || height != 0) {
        desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = width;
        desc.dwHeight = height;
    }
    return desc;
}

inline IDirectDrawSurface* MakeSurface(IDirectDraw2* dd, DWORD caps, DWORD width, DWORD height,
                                       const DDPIXELFORMAT* format = nullptr, HRESULT* result = nullptr) {
    DDSURFACEDESC desc = Description(caps, width, height);
    if (format != nullptr) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = *format;
    }
    IDirectDrawSurface* surface = nullptr;
    const HRESULT hr = dd->CreateSurface(&desc, &surface, nullptr);
    if (result != nullptr) {
        *result = hr;
    }
    return surface;
}

inline IDirectDrawSurface* MakeZBuffer(IDirectDraw2* dd, DWORD memory, DWORD width, DWORD height) {
    DDSURFACEDESC desc = Description(DDSCAPS_ZBUFFER | memory, width, height);
    desc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    desc.dwZBufferBitDepth = 16;
    IDirectDrawSurface* surface = nullptr;
    dd->CreateSurface(&desc, &surface, nullptr);
    return surface;
}

// Raw pixel values of a surface, row by row (reads through Lock).
inline std::vector<uint32_t> ReadRaw(IDirectDrawSurface* surface) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    std::vector<uint32_t> out;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
        ADD_FAILURE() << "Lock failed";
        return out;
    }
    const DWORD bytes = desc.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER ? desc.ddpfPixelFormat.dwZBufferBitDepth / 8
                                                                     : desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<size_t>(y) * static_cast<size_t>(desc.lPitch);
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            uint32_t value = 0;
            std::memcpy(&value, row + x * bytes, bytes);
            out.push_back(value);
        }
    }
    surface->Unlock(desc.lpSurface);
    return out;
}

// Writes raw pixel values (row by row, as ReadRaw returns them).
inline void WriteRaw(IDirectDrawSurface* surface, const std::vector<uint32_t>& values) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    ASSERT_EQ(values.size(), static_cast<size_t>(desc.dwWidth) * desc.dwHeight);
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        auto* row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<size_t>(y) * static_cast<size_t>(desc.lPitch);
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            std::memcpy(row + x * bytes, &values[y * desc.dwWidth + x], bytes);
        }
    }
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

inline HRESULT FillSurface(IDirectDrawSurface* surface, DWORD raw, RECT* rect = nullptr) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = raw;
    return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

}  // namespace platform_test
