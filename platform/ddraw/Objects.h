// The software DirectDraw objects behind the interfaces: the DirectDraw object, surfaces (which
// also answer as IDirect3DTexture2) and clippers. The Direct3D library builds on these: its
// DirectDraw object adds IDirect3D2, its device hands out texture handles through
// TextureHandleTable; nothing here calls into it. Internal to the platform stand-in; the
// program only sees the interfaces.
#pragma once

#include "platform/d3d/d3d.h"
#include "platform/d3d/raster/Raster.h"
#include "platform/ddraw/Machine.h"
#include "platform/ddraw/MachineState.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

class Surface;

// Base of every platform object: the reference count and the live-object count.
class PlatformObject {
public:
    explicit PlatformObject(const char* kind);
    virtual ~PlatformObject();
    PlatformObject(const PlatformObject&) = delete;
    PlatformObject& operator=(const PlatformObject&) = delete;

    ULONG AddRefObject();
    // Drops a reference the program held (recorded in the call trace) and deletes the object
    // when the last reference goes.
    ULONG ReleaseObject();
    // Drops a reference one platform object held on another (not traced).
    ULONG DropReference();
    ULONG References() const { return m_refs; }

private:
    const char* m_kind;
    ULONG m_refs = 1;
};

class DirectDrawObject : public PlatformObject, public IDirectDraw, public IDirectDraw2 {
public:
    DirectDrawObject(std::shared_ptr<MachineState> machine, size_t driverIndex);
    ~DirectDrawObject() override;

    static DirectDrawObject* From(IUnknown* object);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }

    HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) override;
    HRESULT CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface, IUnknown* pUnkOuter) override;
    HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;
    HRESULT GetDisplayMode(LPDDSURFACEDESC lpDDSurfaceDesc) override;
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
    HRESULT GetAvailableVidMem(LPDDSCAPS lpDDSCaps, LPDWORD lpdwTotal, LPDWORD lpdwFree) override;

    const std::shared_ptr<MachineState>& Machine() const { return m_machine; }
    bool Has3D() const { return m_has3D; }
    size_t DriverIndex() const { return m_driverIndex; }  // position in the machine's enumeration

protected:
    // An interface a derived object adds (already the right base pointer), or null.
    virtual void* MoreInterfaces(REFIID) { return nullptr; }

private:
    std::shared_ptr<MachineState> m_machine;
    bool m_has3D;
    size_t m_driverIndex;
    DWORD m_cooperativeLevel = 0;
};

class Clipper final : public PlatformObject, public IDirectDrawClipper {
public:
    Clipper();
    static Clipper* From(IUnknown* object);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }
    HRESULT GetHWnd(HWND* lphWnd) override;
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override;

    HWND Window() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// What a device offers surfaces for IDirect3DTexture2::GetHandle.
class TextureHandleTable {
public:
    // The 1-based texture handle of `texture` on this device; 0 when the table cannot grow.
    virtual D3DTEXTUREHANDLE HandleFor(Surface* texture) = 0;

protected:
    ~TextureHandleTable() = default;
};

// Drawing a device has taken on but not finished (another thread may still be writing it):
// surfaces the drawing reads or writes have it finished before anything else touches them.
class PendingWork {
public:
    virtual void FinishPendingWork() = 0;

protected:
    ~PendingWork() = default;
};

enum class SurfaceKind { Primary, Plain, ZBuffer, Texture };

class Surface final : public PlatformObject, public IDirectDrawSurface, public IDirectDrawSurface3, public IDirect3DTexture2 {
public:
    // `caps` are the final caps (memory placement decided). Memory is allocated by Create.
    Surface(DirectDrawObject* owner, SurfaceKind kind, DWORD caps, int32_t width, int32_t height, const DDPIXELFORMAT& format);
    ~Surface() override;

    static Surface* From(IUnknown* object);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }

    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE lpDDSAttachedSurface) override;
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE3 lpDDSAttachedSurface) override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags, LPDDBLTFX lpDDBltFx) override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE3 lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags, LPDDBLTFX lpDDBltFx) override;
    HRESULT DeleteAttachedSurface(DWORD dwFlags, LPDIRECTDRAWSURFACE lpDDSAttachedSurface) override;
    HRESULT DeleteAttachedSurface(DWORD dwFlags, LPDIRECTDRAWSURFACE3 lpDDSAttachedSurface) override;
    HRESULT GetCaps(LPDDSCAPS lpDDSCaps) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC lpDDSurfaceDesc) override;
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT Unlock(LPVOID lpSurfaceData) override;

    // IDirect3DTexture2
    HRESULT GetHandle(LPDIRECT3DDEVICE2 lpDirect3DDevice2, LPD3DTEXTUREHANDLE lpHandle) override;
    HRESULT Load(LPDIRECT3DTEXTURE2 lpD3DTexture2) override;

    // Allocates the pixel memory (charging video memory when the surface lives there).
    // Surfaces in video memory with DDSCAPS_ALLOCONLOAD get it on first use.
    HRESULT EnsureMemory();

    SurfaceKind Kind() const { return m_kind; }
    DWORD Caps() const { return m_caps; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Pitch() const { return m_pitch; }
    const DDPIXELFORMAT& Format() const { return m_format; }
    const raster::PixelLayout& Layout() const { return m_layout; }
    uint8_t* Pixels() { return m_memory.empty() ? nullptr : m_memory.data(); }
    bool HasMemory() const { return !m_memory.empty(); }
    bool IsLocked() const { return m_locked; }
    // The unfinished drawing that uses this surface, if any; finished before any access here.
    PendingWork* Pending() const { return m_pending; }
    void SetPending(PendingWork* work) { m_pending = work; }
    void FinishPendingWork() {
        if (m_pending != nullptr) m_pending->FinishPendingWork();
    }
    Surface* AttachedZBuffer() const { return m_attachedZ; }
    DirectDrawObject* Owner() const { return m_owner; }
    uint64_t Bytes() const { return static_cast<uint64_t>(m_pitch) * static_cast<uint64_t>(m_height); }

private:
    HRESULT Attach(IUnknown* other);
    HRESULT Detach(DWORD flags, IUnknown* other);
    HRESULT BltFrom(LPRECT dstRect, IUnknown* source, LPRECT srcRect, DWORD flags, LPDDBLTFX fx);
    HRESULT BltToWindow(const RECT& dst, Surface* src, const RECT& srcRect, bool fill, uint32_t fillArgb);
    void FillDescription(DDSURFACEDESC& desc) const;

    DirectDrawObject* m_owner;  // holds a reference
    SurfaceKind m_kind;
    DWORD m_caps;
    int32_t m_width;
    int32_t m_height;
    int32_t m_pitch;
    DDPIXELFORMAT m_format;
    raster::PixelLayout m_layout;
    std::vector<uint8_t> m_memory;
    uint64_t m_videoCharged = 0;
    bool m_locked = false;
    uint8_t* m_lockedAddress = nullptr;
    Surface* m_attachedZ = nullptr;  // holds a reference
    Clipper* m_clipper = nullptr;    // holds a reference
    PendingWork* m_pending = nullptr;
};

// Start of every QueryInterface: counts the call, applies the fault plan, checks and clears
// the result pointer.
HRESULT BeginQuery(REFIID riid, void** object);

// DirectDrawCreate's checks and results, with `make` building the object for the chosen driver
// (the Direct3D library passes one that adds IDirect3D2).
using DirectDrawFactory = DirectDrawObject* (*)(std::shared_ptr<MachineState> machine, size_t driverIndex);
HRESULT CreateDirectDraw(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter, DirectDrawFactory make);

// Pixel layout of a DDPIXELFORMAT (RGB formats; Z formats get bitsPerPixel and no masks).
raster::PixelLayout LayoutOf(const DDPIXELFORMAT& format);

}  // namespace platform
