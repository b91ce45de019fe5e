// The DirectDraw entry point of the platform and IDirect3D2 of its DirectDraw object: device
// search, device and viewport creation.
#include "platform/d3d/Device.h"

#include <memory>
#include <new>
#include <utility>

namespace platform {

void* Direct3DObject::MoreInterfaces(REFIID riid) {
    return riid == IID_IDirect3D2 ? static_cast<IDirect3D2*>(this) : nullptr;
}

HRESULT Direct3DObject::CreateViewport(LPDIRECT3DVIEWPORT2* lplpD3DViewport2, IUnknown* pUnkOuter) {
    const HRESULT planned = EnterCall(Call::CreateViewport);
    if (lplpD3DViewport2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpD3DViewport2 = nullptr;
    if (FAILED(planned)) {
        return planned;
    }
    if (pUnkOuter != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    try {
        *lplpD3DViewport2 = new Viewport();
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Direct3DObject::FindDevice(LPD3DFINDDEVICESEARCH lpD3DFDS, LPD3DFINDDEVICERESULT lpD3DFDR) {
    const HRESULT planned = EnterCall(Call::FindDevice);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpD3DFDS == nullptr || lpD3DFDR == nullptr || lpD3DFDS->dwSize != sizeof(D3DFINDDEVICESEARCH) ||
        lpD3DFDR->dwSize != sizeof(D3DFINDDEVICERESULT)) {
        return DDERR_INVALIDPARAMS;
    }
    const DWORD flags = lpD3DFDS->dwFlags;
    if ((flags & ~(D3DFDS_COLORMODEL | D3DFDS_GUID | D3DFDS_HARDWARE)) != 0) {
        return DDERR_INVALIDPARAMS;  // matching on capability fields is not offered
    }
    struct Candidate {
        const GUID* guid;
        bool hardware;
    };
    const Candidate candidates[2] = {{&IID_IDirect3DHALDevice, true}, {&IID_IDirect3DRGBDevice, false}};
    for (const Candidate& candidate : candidates) {
        if (candidate.hardware && !Has3D()) {
            continue;
        }
        if ((flags & D3DFDS_HARDWARE) != 0 && (lpD3DFDS->bHardware != FALSE) != candidate.hardware) {
            continue;
        }
        if ((flags & D3DFDS_COLORMODEL) != 0 && lpD3DFDS->dcmColorModel != D3DCOLOR_RGB) {
            continue;
        }
        if ((flags & D3DFDS_GUID) != 0 && !(lpD3DFDS->guid == *candidate.guid)) {
            continue;
        }
        lpD3DFDR->guid = *candidate.guid;
        Device::Describe(lpD3DFDR->ddHwDesc, candidate.hardware);
        Device::Describe(lpD3DFDR->ddSwDesc, !candidate.hardware);
        return D3D_OK;
    }
    return DDERR_NOTFOUND;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS, LPDIRECT3DDEVICE2* lplpD3DDevice2) {
    const bool hal = rclsid == IID_IDirect3DHALDevice;
    const bool rgb = rclsid == IID_IDirect3DRGBDevice;
    const HRESULT planned = hal || rgb ? EnterCall(hal ? Call::CreateDevice_HAL : Call::CreateDevice_RGB) : S_OK;
    if (lplpD3DDevice2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpD3DDevice2 = nullptr;
    if (FAILED(planned)) {
        return planned;
    }
    if (!hal && !rgb) {
        return DDERR_INVALIDPARAMS;
    }
    if (hal && !Has3D()) {
        return D3DERR_INVALID_DEVICE;  // no 3D hardware on this driver
    }
    Surface* target = lpDDS != nullptr ? Surface::From(lpDDS) : nullptr;
    if (target == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if ((target->Caps() & DDSCAPS_3DDEVICE) == 0 || target->Kind() == SurfaceKind::Primary ||
        target->Kind() == SurfaceKind::ZBuffer) {
        return DDERR_INVALIDCAPS;
    }
    // Hardware renders in video memory only; the software rasterizer needs its depth values
    // in system memory.
    const Surface* z = target->AttachedZBuffer();
    const auto inVideo = [](const Surface* s) { return (s->Caps() & DDSCAPS_VIDEOMEMORY) != 0; };
    if (hal && (!inVideo(target) || (z != nullptr && !inVideo(z)))) {
        return DDERR_INVALIDCAPS;
    }
    if (rgb && z != nullptr && inVideo(z)) {
        return DDERR_INVALIDCAPS;
    }
    const HRESULT memory = target->EnsureMemory();
    if (FAILED(memory)) {
        return memory;
    }
    try {
        *lplpD3DDevice2 = new Device(this, target, hal);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace platform

HRESULT DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter) {
    return platform::CreateDirectDraw(lpGUID, lplpDD, pUnkOuter,
                                      [](std::shared_ptr<platform::MachineState> machine, size_t driverIndex)
                                          -> platform::DirectDrawObject* {
                                          return new platform::Direct3DObject(std::move(machine), driverIndex);
                                      });
}
