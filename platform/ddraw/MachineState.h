// The installed machine as the platform objects see it: the description, the video memory
// in use, call counters and the compiled fault plan. Objects keep the state they were made on
// alive, so releasing them after a test's machine is gone stays safe.
#pragma once

#include "platform/ddraw/Machine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Every platform call that counts for the fault plan, with its variant.
enum class Call : uint32_t {
    DirectDrawEnumerateA,
    DirectDrawCreate,
    QueryInterface_IUnknown,
    QueryInterface_IDirectDraw,
    QueryInterface_IDirectDraw2,
    QueryInterface_IDirect3D2,
    QueryInterface_IDirectDrawSurface,
    QueryInterface_IDirectDrawSurface3,
    QueryInterface_IDirect3DTexture2,
    QueryInterface_IDirectDrawClipper,
    QueryInterface_IDirect3DDevice2,
    QueryInterface_IDirect3DViewport2,
    QueryInterface_Other,
    SetCooperativeLevel,
    GetCaps_IDirectDraw,
    GetCaps_IDirectDrawSurface,
    GetCaps_IDirect3DDevice2,
    GetDisplayMode,
    GetAvailableVidMem,
    CreateSurface,
    CreateClipper,
    SetHWnd,
    SetClipper,
    Blt,
    Lock,
    Unlock,
    GetSurfaceDesc,
    GetPixelFormat,
    AddAttachedSurface,
    DeleteAttachedSurface,
    CreateDevice_HAL,
    CreateDevice_RGB,
    CreateViewport,
    FindDevice,
    EnumTextureFormats,
    SetRenderState,
    SetTransform,
    DrawPrimitive,
    BeginScene,
    EndScene,
    AddViewport,
    DeleteViewport,
    SetCurrentViewport,
    SetViewport2,
    Clear,
    Load,
    GetHandle,
    Count
};
constexpr size_t kCallCount = static_cast<size_t>(Call::Count);

struct CompiledFault {
    uint64_t calls = 0;  // bit per Call that matches the rule
    int32_t nth = 1;
    int32_t repeat = 1;
    HRESULT result = 0;
    int64_t seen = 0;
};

struct MachineState {
    explicit MachineState(Machine description);  // throws std::invalid_argument for a bad fault plan

    Machine machine;
    uint64_t videoInUse = 0;
    std::array<int64_t, kCallCount> counts{};
    std::vector<CompiledFault> faults;

    // Counts the call and returns the planned failure for it, or S_OK.
    HRESULT Enter(Call call);
    bool ReserveVideo(uint64_t bytes);
    void ReleaseVideo(uint64_t bytes);
};

// The state in force (the default machine's until a ScopedMachine installs another).
const std::shared_ptr<MachineState>& CurrentState();

// Counts a call on the current machine and returns its planned failure (S_OK normally).
inline HRESULT EnterCall(Call call) { return CurrentState()->Enter(call); }

// Mask of the calls a fault/count name matches ("CreateSurface", "QueryInterface:IDirect3D2");
// 0 for an unknown name.
uint64_t CallsMatching(const std::string& name);

// Adjusts the live platform object count (constructors +1, destructors -1).
void CountLiveObject(int delta);

}  // namespace platform
