#include "platform/ddraw/Machine.h"

#include "platform/ddraw/MachineState.h"

#include <atomic>
#include <stdexcept>
#include <utility>

namespace platform {

namespace {

struct CallName {
    Call call;
    const char* name;
    const char* variant;  // empty when the call has no variants
};

constexpr CallName kCallNames[] = {
    {Call::DirectDrawEnumerateA, "DirectDrawEnumerateA", ""},
    {Call::DirectDrawCreate, "DirectDrawCreate", ""},
    {Call::QueryInterface_IUnknown, "QueryInterface", "IUnknown"},
    {Call::QueryInterface_IDirectDraw, "QueryInterface", "IDirectDraw"},
    {Call::QueryInterface_IDirectDraw2, "QueryInterface", "IDirectDraw2"},
    {Call::QueryInterface_IDirect3D2, "QueryInterface", "IDirect3D2"},
    {Call::QueryInterface_IDirectDrawSurface, "QueryInterface", "IDirectDrawSurface"},
    {Call::QueryInterface_IDirectDrawSurface3, "QueryInterface", "IDirectDrawSurface3"},
    {Call::QueryInterface_IDirect3DTexture2, "QueryInterface", "IDirect3DTexture2"},
    {Call::QueryInterface_IDirectDrawClipper, "QueryInterface", "IDirectDrawClipper"},
    {Call::QueryInterface_IDirect3DDevice2, "QueryInterface", "IDirect3DDevice2"},
    {Call::QueryInterface_IDirect3DViewport2, "QueryInterface", "IDirect3DViewport2"},
    {Call::QueryInterface_Other, "QueryInterface", "Other"},
    {Call::SetCooperativeLevel, "SetCooperativeLevel", ""},
    {Call::GetCaps_IDirectDraw, "GetCaps", "IDirectDraw"},
    {Call::GetCaps_IDirectDrawSurface, "GetCaps", "IDirectDrawSurface"},
    {Call::GetCaps_IDirect3DDevice2, "GetCaps", "IDirect3DDevice2"},
    {Call::GetDisplayMode, "GetDisplayMode", ""},
    {Call::GetAvailableVidMem, "GetAvailableVidMem", ""},
    {Call::CreateSurface, "CreateSurface", ""},
    {Call::CreateClipper, "CreateClipper", ""},
    {Call::SetHWnd, "SetHWnd", ""},
    {Call::SetClipper, "SetClipper", ""},
    {Call::Blt, "Blt", ""},
    {Call::Lock, "Lock", ""},
    {Call::Unlock, "Unlock", ""},
    {Call::GetSurfaceDesc, "GetSurfaceDesc", ""},
    {Call::GetPixelFormat, "GetPixelFormat", ""},
    {Call::AddAttachedSurface, "AddAttachedSurface", ""},
    {Call::DeleteAttachedSurface, "DeleteAttachedSurface", ""},
    {Call::CreateDevice_HAL, "CreateDevice", "HAL"},
    {Call::CreateDevice_RGB, "CreateDevice", "RGB"},
    {Call::CreateViewport, "CreateViewport", ""},
    {Call::FindDevice, "FindDevice", ""},
    {Call::EnumTextureFormats, "EnumTextureFormats", ""},
    {Call::SetRenderState, "SetRenderState", ""},
    {Call::SetTransform, "SetTransform", ""},
    {Call::DrawPrimitive, "DrawPrimitive", ""},
    {Call::BeginScene, "BeginScene", ""},
    {Call::EndScene, "EndScene", ""},
    {Call::AddViewport, "AddViewport", ""},
    {Call::DeleteViewport, "DeleteViewport", ""},
    {Call::SetCurrentViewport, "SetCurrentViewport", ""},
    {Call::SetViewport2, "SetViewport2", ""},
    {Call::Clear, "Clear", ""},
    {Call::Load, "Load", ""},
    {Call::GetHandle, "GetHandle", ""},
};
static_assert(std::size(kCallNames) == kCallCount, "every call has a name");
static_assert(kCallCount <= 64, "call masks are 64 bits");

std::atomic<int64_t> g_liveObjects{0};

std::shared_ptr<MachineState>& Installed() {
    static std::shared_ptr<MachineState> state = std::make_shared<MachineState>(Machine::Default());
    return state;
}

}  // namespace

uint64_t CallsMatching(const std::string& name) {
    uint64_t mask = 0;
    const size_t colon = name.find(':');
    const std::string base = colon == std::string::npos ? name : name.substr(0, colon);
    const std::string variant = colon == std::string::npos ? std::string() : name.substr(colon + 1);
    for (const CallName& entry : kCallNames) {
        if (base == entry.name && (variant.empty() || variant == entry.variant)) {
            mask |= uint64_t{1} << static_cast<uint32_t>(entry.call);
        }
    }
    return mask;
}

MachineState::MachineState(Machine description) : machine(std::move(description)) {
    if (machine.displayWidth < 1 || machine.displayHeight < 1 || machine.displayWidth > 16384 || machine.displayHeight > 16384) {
        throw std::invalid_argument("display size must be 1 to 16384 pixels each way");
    }
    for (const Fault& fault : machine.faults) {
        CompiledFault compiled;
        compiled.calls = CallsMatching(fault.operation);
        if (compiled.calls == 0) {
            throw std::invalid_argument("fault plan names an unknown operation: \"" + fault.operation + "\"");
        }
        if (fault.nth < 1 || fault.repeat < 0) {
            throw std::invalid_argument("fault plan for \"" + fault.operation + "\" needs nth >= 1 and repeat >= 0");
        }
        if (SUCCEEDED(fault.result)) {
            throw std::invalid_argument("fault plan for \"" + fault.operation + "\" must give a failing result");
        }
        compiled.nth = fault.nth;
        compiled.repeat = fault.repeat;
        compiled.result = fault.result;
        faults.push_back(compiled);
    }
}

HRESULT MachineState::Enter(Call call) {
    const auto index = static_cast<uint32_t>(call);
    ++counts[index];
    HRESULT result = S_OK;
    for (CompiledFault& fault : faults) {
        if ((fault.calls & (uint64_t{1} << index)) == 0) {
            continue;
        }
        ++fault.seen;
        const bool after = fault.seen >= fault.nth;
        const bool within = fault.repeat == 0 || fault.seen < static_cast<int64_t>(fault.nth) + fault.repeat;
        if (after && within && result == S_OK) {
            result = fault.result;
        }
    }
    return result;
}

bool MachineState::ReserveVideo(uint64_t bytes) {
    if (bytes > machine.videoMemoryBytes || videoInUse > machine.videoMemoryBytes - bytes) {
        return false;
    }
    videoInUse += bytes;
    return true;
}

void MachineState::ReleaseVideo(uint64_t bytes) {
    videoInUse = bytes > videoInUse ? 0 : videoInUse - bytes;
}

const std::shared_ptr<MachineState>& CurrentState() { return Installed(); }

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB | (a != 0 ? DDPF_ALPHAPIXELS : 0);
    format.dwRGBBitCount = bits;
    format.dwRBitMask = r;
    format.dwGBitMask = g;
    format.dwBBitMask = b;
    format.dwRGBAlphaBitMask = a;
    return format;
}

DDPIXELFORMAT ZBufferFormat(DWORD bits) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_ZBUFFER;
    format.dwZBufferBitDepth = bits;
    return format;
}

DDPIXELFORMAT Palette8Format() {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
    format.dwRGBBitCount = 8;
    return format;
}

DDPIXELFORMAT PixelFormatOf(DisplayFormat format) {
    switch (format) {
    case DisplayFormat::R5G6B5:
        return RgbFormat(16, 0xF800, 0x07E0, 0x001F);
    case DisplayFormat::X1R5G5B5:
        return RgbFormat(16, 0x7C00, 0x03E0, 0x001F);
    case DisplayFormat::R8G8B8:
        return RgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
    case DisplayFormat::X8R8G8B8:
        break;
    }
    return RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
}

std::vector<DDPIXELFORMAT> DefaultTextureFormats() {
    return {
        RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000),
        RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF),
        RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
        RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
        RgbFormat(16, 0xF800, 0x07E0, 0x001F),
        RgbFormat(16, 0x7C00, 0x03E0, 0x001F),
    };
}

std::vector<DDPIXELFORMAT> AlternateTextureFormats() {
    return {
        RgbFormat(16, 0x7C00, 0x03E0, 0x001F),
        RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
        RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
        RgbFormat(16, 0xF800, 0x07E0, 0x001F),
        RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF),
        RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000),
        RgbFormat(8, 0xE0, 0x1C, 0x03),
        Palette8Format(),
    };
}

Machine Machine::Default() {
    Machine machine;
    DisplayDriver primary;
    primary.description = "Primary Display Driver";
    primary.name = "display";
    primary.has3D = true;
    machine.drivers.push_back(primary);
    machine.halTextureFormats = DefaultTextureFormats();
    machine.rgbTextureFormats = DefaultTextureFormats();
    return machine;
}

const Machine& CurrentMachine() { return CurrentState()->machine; }

ScopedMachine::ScopedMachine(Machine machine) {
    auto next = std::make_shared<MachineState>(std::move(machine));
    m_saved = new std::shared_ptr<MachineState>(Installed());
    Installed() = std::move(next);
}

ScopedMachine::~ScopedMachine() {
    auto* saved = static_cast<std::shared_ptr<MachineState>*>(m_saved);
    Installed() = std::move(*saved);
    delete saved;
}

void CountLiveObject(int delta) { g_liveObjects += delta; }

int64_t PlatformLiveObjectCount() { return g_liveObjects.load(); }

uint64_t VideoMemoryInUse() { return CurrentState()->videoInUse; }

int64_t CallCount(const std::string& operation) {
    const uint64_t mask = CallsMatching(operation);
    int64_t total = 0;
    const auto& counts = CurrentState()->counts;
    for (size_t i = 0; i < kCallCount; ++i) {
        if ((mask & (uint64_t{1} << i)) != 0) {
            total += counts[i];
        }
    }
    return total;
}

}  // namespace platform
