// A recorder of what the software device was asked, so tests can assert exact call sequences
// without reading pixels. Off until Start(); recording costs nothing while off.
//
// Event strings (ToString):
//   SetRenderState(27,1)            state number, value
//   SetTransform(1,identity)        or SetTransform(3,[m11 m12 ... m44]) with %g values
//   DrawPrimitive(5,2,34)           primitive type, vertex type, vertex count
//   BeginScene()  EndScene()
//   Clear(2,[0,0,639,479])          flags, then each rectangle x1,y1,x2,y2
//   SetViewport2(0,0,639,479,-1,0.749609,2,1.49922,0,2)
//   AddViewport()  DeleteViewport()  SetCurrentViewport()
//   Blt(fill=0xffffff,dst=[0,0,640,480],flags=0x1000400)
//   Blt(copy,dst=[10,20,649,499],src=[0,0,639,479],flags=0x0)   dst/src "all" for a null rect
//   Release(Surface:zbuffer,0)      object kind (surfaces: primary, plain, zbuffer, texture) and
//                                   the reference count left
//   DeleteAttachedSurface()         the Z-buffer detached from its render target
#pragma once

#include "platform/win/Win32Types.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace platform {

enum class TraceKind {
    SetRenderState,
    SetTransform,
    DrawPrimitive,
    BeginScene,
    EndScene,
    Clear,
    SetViewport2,
    AddViewport,
    DeleteViewport,
    SetCurrentViewport,
    Blt,
    Release,
    DeleteAttachedSurface,
};

struct TraceEvent {
    TraceEvent() = default;
    explicit TraceEvent(TraceKind eventKind) : kind(eventKind) {}

    TraceKind kind = TraceKind::SetRenderState;
    uint32_t a = 0;  // state / transform / primitive type / flags / fill value
    uint32_t b = 0;  // value / vertex type / blit flags / references left
    uint32_t count = 0;  // vertex count
    float values[16] = {};  // matrix (SetTransform) or viewport values (SetViewport2)
    std::vector<RECT> rects;  // Clear: rectangles; Blt: dst then src (empty rect list = null)
    bool hasDst = false, hasSrc = false, fill = false;
    std::string object;  // Release: "DirectDraw", "Surface:<kind>", "Clipper", "Device", "Viewport"

    std::string ToString() const;
};

class CallTrace {
public:
    static void Start();  // clears and starts recording
    static void Stop();
    static void Clear();
    static bool Active();
    static const std::vector<TraceEvent>& Events();
    // Events as strings, optionally only those of the given kinds.
    static std::vector<std::string> Strings();
    static std::vector<std::string> Strings(std::initializer_list<TraceKind> kinds);

    static void Record(TraceEvent event);  // used by the device objects
};

// Starts recording for its lifetime.
class ScopedCallTrace {
public:
    ScopedCallTrace() { CallTrace::Start(); }
    ~ScopedCallTrace() { CallTrace::Stop(); }
    ScopedCallTrace(const ScopedCallTrace&) = delete;
    ScopedCallTrace& operator=(const ScopedCallTrace&) = delete;
};

}  // namespace platform
