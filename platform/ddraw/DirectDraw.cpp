// DirectDraw entry points, the DirectDraw object and the clipper.
#include "platform/trace/CallTrace.h"
#include "platform/ddraw/Objects.h"
#include "platform/win/PlatformWindow.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

namespace platform {

namespace {

Call QueryCall(REFIID riid) {
    if (riid == IID_IUnknown) return Call::QueryInterface_IUnknown;
    if (riid == IID_IDirectDraw) return Call::QueryInterface_IDirectDraw;
    if (riid == IID_IDirectDraw2) return Call::QueryInterface_IDirectDraw2;
    if (riid == IID_IDirect3D2) return Call::QueryInterface_IDirect3D2;
    if (riid == IID_IDirectDrawSurface) return Call::QueryInterface_IDirectDrawSurface;
    if (riid == IID_IDirectDrawSurface3) return Call::QueryInterface_IDirectDrawSurface3;
    if (riid == IID_IDirect3DTexture2) return Call::QueryInterface_IDirect3DTexture2;
    if (riid == IID_IDirectDrawClipper) return Call::QueryInterface_IDirectDrawClipper;
    if (riid == IID_IDirect3DDevice2) return Call::QueryInterface_IDirect3DDevice2;
    if (riid == IID_IDirect3DViewport2) return Call::QueryInterface_IDirect3DViewport2;
    return Call::QueryInterface_Other;
}

DWORD Clamp32(uint64_t value) {
    return static_cast<DWORD>(std::min<uint64_t>(value, std::numeric_limits<DWORD>::max()));
}

}  // namespace

// Shared by every object's QueryInterface: counts the call, applies the fault plan and
// clears the result pointer on failure.
HRESULT BeginQuery(REFIID riid, void** object) {
    const HRESULT planned = EnterCall(QueryCall(riid));
    if (object == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *object = nullptr;
    return planned;  // S_OK, or the planned failure
}

// ---- PlatformObject ---------------------------------------------------------------------------

PlatformObject::PlatformObject(const char* kind) : m_kind(kind) { CountLiveObject(+1); }

PlatformObject::~PlatformObject() { CountLiveObject(-1); }

ULONG PlatformObject::AddRefObject() { return ++m_refs; }

ULONG PlatformObject::DropReference() {
    const ULONG left = --m_refs;
    if (left == 0) {
        delete this;
    }
    return left;
}

ULONG PlatformObject::ReleaseObject() {
    const ULONG left = --m_refs;
    if (CallTrace::Active()) {
        TraceEvent event;
        event.kind = TraceKind::Release;
        event.b = left;
        event.object = m_kind;
        CallTrace::Record(std::move(event));
    }
    if (left == 0) {
        delete this;
    }
    return left;
}

// ---- Entry points -----------------------------------------------------------------------------

}  // namespace platform

using namespace platform;

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA lpCallback, LPVOID lpContext) {
    const HRESULT planned = EnterCall(Call::DirectDrawEnumerateA);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpCallback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    // Copies: the callback gets writable strings and a GUID it may keep for the call only.
    const std::vector<DisplayDriver> drivers = CurrentMachine().drivers;
    for (const DisplayDriver& driver : drivers) {
        GUID guid = driver.guid;
        std::string description = driver.description;
        std::string name = driver.name;
        if (lpCallback(driver.hasGuid ? &guid : nullptr, description.data(), name.data(), lpContext) == DDENUMRET_CANCEL) {
            break;
        }
    }
    return DD_OK;
}

namespace platform {

HRESULT CreateDirectDraw(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter, DirectDrawFactory make) {
    const HRESULT planned = EnterCall(Call::DirectDrawCreate);
    if (lplpDD == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpDD = nullptr;
    if (FAILED(planned)) {
        return planned;
    }
    if (pUnkOuter != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    const std::shared_ptr<MachineState>& state = CurrentState();
    const std::vector<DisplayDriver>& drivers = state->machine.drivers;
    if (drivers.empty()) {
        return DDERR_GENERIC;
    }
    size_t index = 0;  // no GUID: the active display driver, which enumerates first
    if (lpGUID != nullptr) {
        const auto found = std::find_if(drivers.begin(), drivers.end(),
                                        [&](const DisplayDriver& d) { return d.hasGuid && d.guid == *lpGUID; });
        if (found == drivers.end()) {
            return DDERR_INVALIDPARAMS;
        }
        index = static_cast<size_t>(found - drivers.begin());
    }
    try {
        *lplpDD = static_cast<IDirectDraw*>(make(state, index));
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

// ---- DirectDrawObject -------------------------------------------------------------------------

DirectDrawObject::DirectDrawObject(std::shared_ptr<MachineState> machine, size_t driverIndex)
    : PlatformObject("DirectDraw"),
      m_machine(std::move(machine)),
      m_has3D(m_machine->machine.drivers[driverIndex].has3D),
      m_driverIndex(driverIndex) {}

DirectDrawObject::~DirectDrawObject() = default;

DirectDrawObject* DirectDrawObject::From(IUnknown* object) { return dynamic_cast<DirectDrawObject*>(object); }

HRESULT DirectDrawObject::QueryInterface(REFIID riid, void** object) {
    const HRESULT checked = BeginQuery(riid, object);
    if (FAILED(checked)) {
        return checked;
    }
    if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
        *object = static_cast<IDirectDraw*>(this);
    } else if (riid == IID_IDirectDraw2) {
        *object = static_cast<IDirectDraw2*>(this);
    } else if (void* more = MoreInterfaces(riid)) {
        *object = more;
    } else {
        return E_NOINTERFACE;
    }
    AddRefObject();
    return S_OK;
}

HRESULT DirectDrawObject::CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) {
    const HRESULT planned = EnterCall(Call::CreateClipper);
    if (lplpDDClipper == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpDDClipper = nullptr;
    if (FAILED(planned)) {
        return planned;
    }
    if (dwFlags != 0 || pUnkOuter != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    try {
        *lplpDDClipper = new Clipper();
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

HRESULT DirectDrawObject::GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) {
    const HRESULT planned = EnterCall(Call::GetCaps_IDirectDraw);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDDriverCaps == nullptr && lpDDHELCaps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    for (LPDDCAPS caps : {lpDDDriverCaps, lpDDHELCaps}) {
        if (caps != nullptr && caps->dwSize != sizeof(DDCAPS)) {
            return DDERR_INVALIDPARAMS;
        }
    }
    const DWORD blits = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL;
    if (lpDDDriverCaps != nullptr) {
        *lpDDDriverCaps = DDCAPS{};
        lpDDDriverCaps->dwSize = sizeof(DDCAPS);
        lpDDDriverCaps->dwCaps = blits | (m_has3D ? DDCAPS_3D : 0);
        lpDDDriverCaps->dwZBufferBitDepths = m_has3D ? DDBD_16 : 0;
        lpDDDriverCaps->dwVidMemTotal = Clamp32(m_machine->machine.videoMemoryBytes);
        lpDDDriverCaps->dwVidMemFree = Clamp32(m_machine->machine.videoMemoryBytes - m_machine->videoInUse);
        lpDDDriverCaps->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY |
                                         (m_has3D ? DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER : 0);
    }
    if (lpDDHELCaps != nullptr) {
        *lpDDHELCaps = DDCAPS{};
        lpDDHELCaps->dwSize = sizeof(DDCAPS);
        lpDDHELCaps->dwCaps = blits;
        lpDDHELCaps->dwZBufferBitDepths = DDBD_16;
        lpDDHELCaps->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                                      DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER;
    }
    return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(LPDDSURFACEDESC lpDDSurfaceDesc) {
    const HRESULT planned = EnterCall(Call::GetDisplayMode);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSurfaceDesc == nullptr || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    const platform::Machine& machine = m_machine->machine;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(machine.displayWidth);
    desc.dwHeight = static_cast<DWORD>(machine.displayHeight);
    desc.ddpfPixelFormat = PixelFormatOf(machine.displayFormat);
    desc.lPitch = static_cast<LONG>(((static_cast<int64_t>(machine.displayWidth) * desc.ddpfPixelFormat.dwRGBBitCount / 8) + 3) & ~int64_t{3});
    *lpDDSurfaceDesc = desc;
    return DD_OK;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND hWnd, DWORD dwFlags) {
    const HRESULT planned = EnterCall(Call::SetCooperativeLevel);
    if (FAILED(planned)) {
        return planned;
    }
    const bool normal = (dwFlags & DDSCL_NORMAL) != 0;
    const bool exclusive = (dwFlags & DDSCL_EXCLUSIVE) != 0;
    const bool fullscreen = (dwFlags & DDSCL_FULLSCREEN) != 0;
    if (normal == exclusive || exclusive != fullscreen || (exclusive && hWnd == nullptr)) {
        return DDERR_INVALIDPARAMS;
    }
    // The display mode is never changed here, in either level.
    m_cooperativeLevel = dwFlags;
    return DD_OK;
}

HRESULT DirectDrawObject::GetAvailableVidMem(LPDDSCAPS lpDDSCaps, LPDWORD lpdwTotal, LPDWORD lpdwFree) {
    const HRESULT planned = EnterCall(Call::GetAvailableVidMem);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSCaps == nullptr || (lpdwTotal == nullptr && lpdwFree == nullptr)) {
        return DDERR_INVALIDPARAMS;
    }
    if (lpdwTotal != nullptr) {
        *lpdwTotal = Clamp32(m_machine->machine.videoMemoryBytes);
    }
    if (lpdwFree != nullptr) {
        *lpdwFree = Clamp32(m_machine->machine.videoMemoryBytes - m_machine->videoInUse);
    }
    return DD_OK;
}

// ---- Clipper ----------------------------------------------------------------------------------

Clipper::Clipper() : PlatformObject("Clipper") {}

Clipper* Clipper::From(IUnknown* object) { return dynamic_cast<Clipper*>(object); }

HRESULT Clipper::QueryInterface(REFIID riid, void** object) {
    const HRESULT checked = BeginQuery(riid, object);
    if (FAILED(checked)) {
        return checked;
    }
    if (riid == IID_IUnknown || riid == IID_IDirectDrawClipper) {
        *object = static_cast<IDirectDrawClipper*>(this);
        AddRefObject();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT Clipper::GetHWnd(HWND* lphWnd) {
    if (lphWnd == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lphWnd = m_window;
    return DD_OK;
}

HRESULT Clipper::SetHWnd(DWORD dwFlags, HWND hWnd) {
    const HRESULT planned = EnterCall(Call::SetHWnd);
    if (FAILED(planned)) {
        return planned;
    }
    if (dwFlags != 0) {
        return DDERR_INVALIDPARAMS;
    }
    // The clip region follows the window: it is read from the window at every blit.
    m_window = hWnd;
    return DD_OK;
}

}  // namespace platform
