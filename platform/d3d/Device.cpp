// The software Direct3D device: render states, transforms, scenes, viewports, texture
// handles and DrawPrimitive into the rasterizer.
#include "platform/d3d/Device.h"

#include "platform/trace/CallTrace.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace platform {

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Row-vector product a x b.
void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[r * 4 + c] = a[r * 4 + 0] * b[0 * 4 + c] + a[r * 4 + 1] * b[1 * 4 + c] + a[r * 4 + 2] * b[2 * 4 + c] +
                             a[r * 4 + 3] * b[3 * 4 + c];
        }
    }
}

const float* Elements(const D3DMATRIX& m) { return &m._11; }

bool IsValidState(DWORD state) {
    return (state >= D3DRENDERSTATE_TEXTUREHANDLE && state <= D3DRENDERSTATE_FLUSHBATCH) ||
           (state >= D3DRENDERSTATE_STIPPLEPATTERN00 && state <= D3DRENDERSTATE_STIPPLEPATTERN31);
}

}  // namespace

// ---- Construction -----------------------------------------------------------------------------

Device::Device(Direct3DObject* direct3d, Surface* target, bool hardware)
    : PlatformObject("Device"), m_direct3d(direct3d), m_target(target), m_hardware(hardware) {
    m_direct3d->AddRefObject();
    m_target->AddRefObject();
    m_world = m_view = m_projection = Identity();

    // DX5 defaults, with depth testing on when a Z-buffer was attached at creation.
    auto& s = m_states;
    s[D3DRENDERSTATE_TEXTUREADDRESS] = D3DTADDRESS_WRAP;
    s[D3DRENDERSTATE_ZENABLE] = target->AttachedZBuffer() != nullptr ? TRUE : FALSE;
    s[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    s[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    s[D3DRENDERSTATE_ROP2] = 13;  // R2_COPYPEN
    s[D3DRENDERSTATE_PLANEMASK] = 0xFFFFFFFFu;
    s[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    s[D3DRENDERSTATE_TEXTUREMAG] = D3DFILTER_NEAREST;
    s[D3DRENDERSTATE_TEXTUREMIN] = D3DFILTER_NEAREST;
    s[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    s[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    s[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
    s[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    s[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    s[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    s[D3DRENDERSTATE_SPECULARENABLE] = TRUE;
    s[D3DRENDERSTATE_TEXTUREADDRESSU] = D3DTADDRESS_WRAP;
    s[D3DRENDERSTATE_TEXTUREADDRESSV] = D3DTADDRESS_WRAP;
    UpdateRasterStates();
}

Device::~Device() {
    for (Viewport* viewport : m_viewports) {
        viewport->m_device = nullptr;
        viewport->DropReference();
    }
    for (Surface* texture : m_textures) {
        texture->DropReference();
    }
    m_target->DropReference();
    m_direct3d->DropReference();
}

Device* Device::From(IUnknown* object) { return dynamic_cast<Device*>(object); }

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    const HRESULT checked = BeginQuery(riid, object);
    if (FAILED(checked)) {
        return checked;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice2) {
        *object = static_cast<IDirect3DDevice2*>(this);
        AddRefObject();
        return S_OK;
    }
    return E_NOINTERFACE;
}

// ---- Capabilities and texture formats ---------------------------------------------------------

void Device::Describe(D3DDEVICEDESC& desc, bool present) {
    desc = D3DDEVICEDESC{};
    desc.dwSize = sizeof(D3DDEVICEDESC);
    if (!present) {
        return;
    }
    desc.dwFlags = D3DDD_COLORMODEL | D3DDD_BCLIPPING | D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH |
                   D3DDD_TRANSFORMCAPS | D3DDD_LIGHTINGCAPS | D3DDD_LINECAPS | D3DDD_TRICAPS;
    desc.dcmColorModel = D3DCOLOR_RGB;
    desc.dtcTransformCaps.dwSize = sizeof(D3DTRANSFORMCAPS);
    desc.bClipping = TRUE;
    desc.dlcLightingCaps.dwSize = sizeof(D3DLIGHTINGCAPS);
    desc.dpcLineCaps.dwSize = sizeof(D3DPRIMCAPS);
    desc.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
    desc.dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    desc.dwDeviceZBufferBitDepth = DDBD_16;
    desc.dwMinTextureWidth = desc.dwMinTextureHeight = 1;
    desc.dwMaxTextureWidth = desc.dwMaxTextureHeight = 16384;
}

HRESULT Device::GetCaps(LPD3DDEVICEDESC lpD3DHWDevDesc, LPD3DDEVICEDESC lpD3DHELDevDesc) {
    const HRESULT planned = EnterCall(Call::GetCaps_IDirect3DDevice2);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpD3DHWDevDesc == nullptr || lpD3DHELDevDesc == nullptr || lpD3DHWDevDesc->dwSize != sizeof(D3DDEVICEDESC) ||
        lpD3DHELDevDesc->dwSize != sizeof(D3DDEVICEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    // A hardware device describes itself in the hardware record, a software one in the other.
    Describe(*lpD3DHWDevDesc, m_hardware);
    Describe(*lpD3DHELDevDesc, !m_hardware);
    return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK lpD3DEnumTextureProc, LPVOID lpArg) {
    const HRESULT planned = EnterCall(Call::EnumTextureFormats);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpD3DEnumTextureProc == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    const platform::Machine& machine = m_direct3d->Machine()->machine;
    const std::vector<DDPIXELFORMAT> formats = m_hardware ? machine.halTextureFormats : machine.rgbTextureFormats;
    for (const DDPIXELFORMAT& format : formats) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat = format;
        if (lpD3DEnumTextureProc(&desc, lpArg) != D3DENUMRET_OK) {
            break;
        }
    }
    return D3D_OK;
}

// ---- Scenes, objects --------------------------------------------------------------------------

HRESULT Device::BeginScene() {
    const HRESULT planned = EnterCall(Call::BeginScene);
    if (CallTrace::Active()) {
        CallTrace::Record(TraceEvent{TraceKind::BeginScene});
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (m_inScene) {
        return D3DERR_SCENE_IN_SCENE;
    }
    m_inScene = true;
    m_sceneFragmentsAtStart = m_scratch.fragments;
    m_sceneCut = false;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    const HRESULT planned = EnterCall(Call::EndScene);
    if (CallTrace::Active()) {
        CallTrace::Record(TraceEvent{TraceKind::EndScene});
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (!m_inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    m_inScene = false;
    return D3D_OK;
}

HRESULT Device::GetDirect3D(LPDIRECT3D2* lplpD3D2) {
    if (lplpD3D2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    m_direct3d->AddRefObject();
    *lplpD3D2 = static_cast<IDirect3D2*>(m_direct3d);
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(LPDIRECTDRAWSURFACE* lplpRenderTarget) {
    if (lplpRenderTarget == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    m_target->AddRefObject();
    *lplpRenderTarget = static_cast<IDirectDrawSurface*>(m_target);
    return D3D_OK;
}

// ---- Viewports --------------------------------------------------------------------------------

HRESULT Device::AddViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) {
    const HRESULT planned = EnterCall(Call::AddViewport);
    if (CallTrace::Active()) {
        CallTrace::Record(TraceEvent{TraceKind::AddViewport});
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDirect3DViewport2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    Viewport* viewport = Viewport::From(lpDirect3DViewport2);
    if (viewport == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    if (viewport->m_device != nullptr) {
        return DDERR_INVALIDPARAMS;  // already added here or to another device
    }
    try {
        m_viewports.push_back(viewport);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    viewport->AddRefObject();
    viewport->m_device = this;
    return D3D_OK;
}

HRESULT Device::DeleteViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) {
    const HRESULT planned = EnterCall(Call::DeleteViewport);
    if (CallTrace::Active()) {
        CallTrace::Record(TraceEvent{TraceKind::DeleteViewport});
    }
    if (FAILED(planned)) {
        return planned;
    }
    Viewport* viewport = lpDirect3DViewport2 != nullptr ? Viewport::From(lpDirect3DViewport2) : nullptr;
    const auto found = std::find(m_viewports.begin(), m_viewports.end(), viewport);
    if (viewport == nullptr || found == m_viewports.end()) {
        return DDERR_INVALIDPARAMS;
    }
    m_viewports.erase(found);
    if (m_current == viewport) {
        m_current = nullptr;
    }
    viewport->m_device = nullptr;
    viewport->DropReference();
    return D3D_OK;
}

HRESULT Device::SetCurrentViewport(LPDIRECT3DVIEWPORT2 lpd3dViewport2) {
    const HRESULT planned = EnterCall(Call::SetCurrentViewport);
    if (CallTrace::Active()) {
        CallTrace::Record(TraceEvent{TraceKind::SetCurrentViewport});
    }
    if (FAILED(planned)) {
        return planned;
    }
    Viewport* viewport = lpd3dViewport2 != nullptr ? Viewport::From(lpd3dViewport2) : nullptr;
    if (viewport == nullptr || viewport->m_device != this) {
        return DDERR_INVALIDPARAMS;  // only a viewport added to this device can be current
    }
    m_current = viewport;
    return D3D_OK;
}

HRESULT Device::GetCurrentViewport(LPDIRECT3DVIEWPORT2* lplpd3dViewport2) {
    if (lplpd3dViewport2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpd3dViewport2 = nullptr;
    if (m_current == nullptr) {
        return D3DERR_NOCURRENTVIEWPORT;
    }
    m_current->AddRefObject();
    *lplpd3dViewport2 = m_current;
    return D3D_OK;
}

// ---- Render states and transforms -------------------------------------------------------------

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE dwRenderStateType, LPDWORD lpdwRenderState) {
    if (lpdwRenderState == nullptr || !IsValidState(dwRenderStateType)) {
        return DDERR_INVALIDPARAMS;
    }
    *lpdwRenderState = m_states[dwRenderStateType];
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE dwRenderStateType, DWORD dwRenderState) {
    const HRESULT planned = EnterCall(Call::SetRenderState);
    if (CallTrace::Active()) {
        TraceEvent event{TraceKind::SetRenderState};
        event.a = dwRenderStateType;
        event.b = dwRenderState;
        CallTrace::Record(std::move(event));
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (!IsValidState(dwRenderStateType)) {
        return DDERR_INVALIDPARAMS;
    }
    // Values are kept as given; the rasterizer treats out-of-range values as the default.
    m_states[dwRenderStateType] = dwRenderState;
    switch (dwRenderStateType) {
    case D3DRENDERSTATE_TEXTUREADDRESS:
        m_states[D3DRENDERSTATE_TEXTUREADDRESSU] = dwRenderState;
        m_states[D3DRENDERSTATE_TEXTUREADDRESSV] = dwRenderState;
        break;
    case D3DRENDERSTATE_ALPHABLENDENABLE:
        m_states[D3DRENDERSTATE_OLDALPHABLENDENABLE] = dwRenderState;
        break;
    case D3DRENDERSTATE_OLDALPHABLENDENABLE:
        m_states[D3DRENDERSTATE_ALPHABLENDENABLE] = dwRenderState;
        break;
    default:
        break;
    }
    UpdateRasterStates();
    return D3D_OK;
}

void Device::UpdateRasterTargets(Surface* z) {
    // Surface memory never moves once allocated; only a new allocation or another Z-buffer
    // changes what the rasterizer draws into.
    if (m_colorTarget.pixels != m_target->Pixels()) {
        m_colorTarget.pixels = m_target->Pixels();
        m_colorTarget.pitch = m_target->Pitch();
        m_colorTarget.width = m_target->Width();
        m_colorTarget.height = m_target->Height();
        m_colorTarget.layout = m_target->Layout();
    }
    // Another Z-buffer may have been given the memory of a released one: its size says so.
    uint16_t* const depthValues = z != nullptr ? reinterpret_cast<uint16_t*>(z->Pixels()) : nullptr;
    if (m_depthTarget.values != depthValues ||
        (z != nullptr && (m_depthTarget.width != z->Width() || m_depthTarget.height != z->Height()))) {
        m_depthTarget = raster::DepthTarget{};
        if (z != nullptr) {
            m_depthTarget.values = depthValues;
            m_depthTarget.pitch = z->Pitch();
            m_depthTarget.width = z->Width();
            m_depthTarget.height = z->Height();
        }
    }
}

void Device::UpdateRasterStates() {
    const auto& s = m_states;
    raster::States& r = m_raster;
    r.shadeMode = s[D3DRENDERSTATE_SHADEMODE];
    r.fillMode = s[D3DRENDERSTATE_FILLMODE];
    r.cullMode = s[D3DRENDERSTATE_CULLMODE];
    r.zEnable = s[D3DRENDERSTATE_ZENABLE] != FALSE;
    r.zWriteEnable = s[D3DRENDERSTATE_ZWRITEENABLE] != FALSE;
    r.zFunc = s[D3DRENDERSTATE_ZFUNC];
    r.alphaTestEnable = s[D3DRENDERSTATE_ALPHATESTENABLE] != FALSE;
    r.alphaFunc = s[D3DRENDERSTATE_ALPHAFUNC];
    r.alphaRef = s[D3DRENDERSTATE_ALPHAREF];
    r.alphaBlendEnable = s[D3DRENDERSTATE_ALPHABLENDENABLE] != FALSE;
    r.srcBlend = s[D3DRENDERSTATE_SRCBLEND];
    r.destBlend = s[D3DRENDERSTATE_DESTBLEND];
    r.specularEnable = s[D3DRENDERSTATE_SPECULARENABLE] != FALSE;
    r.texturePerspective = s[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != FALSE;
    r.textureMapBlend = s[D3DRENDERSTATE_TEXTUREMAPBLEND];
    r.textureMag = s[D3DRENDERSTATE_TEXTUREMAG];
    r.textureMin = s[D3DRENDERSTATE_TEXTUREMIN];
    r.addressU = s[D3DRENDERSTATE_TEXTUREADDRESSU];
    r.addressV = s[D3DRENDERSTATE_TEXTUREADDRESSV];
    r.borderColor = s[D3DRENDERSTATE_BORDERCOLOR];
    r.wrapU = s[D3DRENDERSTATE_WRAPU] != FALSE;
    r.wrapV = s[D3DRENDERSTATE_WRAPV] != FALSE;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) {
    if (lpD3DMatrix == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    switch (dtstTransformStateType) {
    case D3DTRANSFORMSTATE_WORLD:
        *lpD3DMatrix = m_world;
        return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW:
        *lpD3DMatrix = m_view;
        return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION:
        *lpD3DMatrix = m_projection;
        return D3D_OK;
    default:
        return DDERR_INVALIDPARAMS;
    }
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) {
    const HRESULT planned = EnterCall(Call::SetTransform);
    if (CallTrace::Active()) {
        TraceEvent event{TraceKind::SetTransform};
        event.a = dtstTransformStateType;
        if (lpD3DMatrix != nullptr) {
            std::memcpy(event.values, Elements(*lpD3DMatrix), sizeof(event.values));
        }
        CallTrace::Record(std::move(event));
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (lpD3DMatrix == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    switch (dtstTransformStateType) {
    case D3DTRANSFORMSTATE_WORLD:
        m_world = *lpD3DMatrix;
        break;
    case D3DTRANSFORMSTATE_VIEW:
        m_view = *lpD3DMatrix;
        break;
    case D3DTRANSFORMSTATE_PROJECTION:
        m_projection = *lpD3DMatrix;
        break;
    default:
        return DDERR_INVALIDPARAMS;
    }
    m_matrixDirty = true;
    return D3D_OK;
}

// ---- Drawing ----------------------------------------------------------------------------------

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE dptPrimitiveType, D3DVERTEXTYPE dvtVertexType, LPVOID lpvVertices,
                              DWORD dwVertexCount, DWORD dwFlags) {
    const HRESULT planned = EnterCall(Call::DrawPrimitive);
    if (CallTrace::Active()) {
        TraceEvent event{TraceKind::DrawPrimitive};
        event.a = dptPrimitiveType;
        event.b = dvtVertexType;
        event.count = dwVertexCount;
        CallTrace::Record(std::move(event));
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (dvtVertexType != D3DVT_LVERTEX) {
        return D3DERR_INVALIDVERTEXTYPE;  // only pre-lit vertices are drawn by this device
    }
    if (dptPrimitiveType < D3DPT_POINTLIST || dptPrimitiveType > D3DPT_TRIANGLEFAN) {
        return D3DERR_INVALIDPRIMITIVETYPE;
    }
    if ((dwFlags & ~(D3DDP_WAIT | D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (dwVertexCount == 0) {
        return D3D_OK;
    }
    if (lpvVertices == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (!m_inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    if (m_current == nullptr) {
        return D3DERR_NOCURRENTVIEWPORT;
    }
    if (!m_current->IsSet()) {
        return D3DERR_VIEWPORTDATANOTSET;
    }
    Surface* z = m_target->AttachedZBuffer();
    if (m_target->IsLocked() || (z != nullptr && z->IsLocked())) {
        return DDERR_SURFACEBUSY;
    }
    HRESULT memory = m_target->EnsureMemory();
    if (SUCCEEDED(memory) && z != nullptr) {
        memory = z->EnsureMemory();
    }
    if (FAILED(memory)) {
        return memory;
    }

    if (m_matrixDirty) {
        float worldView[16];
        Multiply(Elements(m_world), Elements(m_view), worldView);
        Multiply(worldView, Elements(m_projection), m_worldViewProjection);
        m_matrixDirty = false;
    }

    UpdateRasterTargets(z);
    const D3DVIEWPORT2& data = m_current->Data();
    raster::Viewport viewport;
    viewport.x = static_cast<int32_t>(data.dwX);
    viewport.y = static_cast<int32_t>(data.dwY);
    viewport.width = static_cast<int32_t>(data.dwWidth);
    viewport.height = static_cast<int32_t>(data.dwHeight);
    viewport.clipX = data.dvClipX;
    viewport.clipY = data.dvClipY;
    viewport.clipWidth = data.dvClipWidth;
    viewport.clipHeight = data.dvClipHeight;
    viewport.minZ = data.dvMinZ;
    viewport.maxZ = data.dvMaxZ;

    // Handle 0 or one this device never gave out draws untextured; so does a texture whose
    // memory was never allocated (an allocate-on-load surface that was never loaded).
    m_raster.texture = nullptr;
    const DWORD handle = m_states[D3DRENDERSTATE_TEXTUREHANDLE];
    if (handle != 0 && handle <= m_textures.size()) {
        Surface* texture = m_textures[handle - 1];
        if (texture->HasMemory() && !texture->IsLocked()) {
            m_texture.texels = texture->Pixels();
            m_texture.pitch = texture->Pitch();
            m_texture.width = texture->Width();
            m_texture.height = texture->Height();
            m_texture.layout = texture->Layout();
            m_raster.texture = &m_texture;
        }
    }

    if (!DrawWithinLimit(viewport, dptPrimitiveType, static_cast<const uint8_t*>(lpvVertices), dwVertexCount)) {
        return D3DERR_INVALIDPRIMITIVETYPE;
    }
    return D3D_OK;
}

bool Device::DrawWithinLimit(const raster::Viewport& viewport, D3DPRIMITIVETYPE type, const uint8_t* vertices,
                             DWORD count) {
    auto draw = [&](const uint8_t* first, DWORD n) {
        return raster::DrawLVertices(m_colorTarget, m_depthTarget, viewport, m_raster, m_worldViewProjection, type, first, n, m_scratch);
    };
    // Triangles per batch: small next to a scene's limit, large enough that a model's usual
    // strips go through in one call.
    constexpr DWORD kBatch = 64;
    constexpr size_t kVertexBytes = sizeof(D3DLVERTEX);
    const bool fan = type == D3DPT_TRIANGLEFAN;
    const DWORD step = type == D3DPT_TRIANGLELIST ? 3 * kBatch : (type == D3DPT_LINELIST ? 2 * kBatch : kBatch);
    const DWORD overlap = type == D3DPT_TRIANGLESTRIP ? 2 : (type == D3DPT_LINESTRIP ? 1 : 0);
    if (m_sceneFragmentLimit == 0 || count <= step + overlap + (fan ? 1 : 0)) {
        if (m_sceneFragmentLimit != 0 && m_scratch.fragments - m_sceneFragmentsAtStart >= m_sceneFragmentLimit) {
            m_sceneCut = true;
            return true;
        }
        return draw(vertices, count);
    }
    // A fan's batches each repeat its first vertex: they are put together here.
    D3DLVERTEX fanBatch[kBatch + 2];
    const DWORD firstBatched = fan ? 1 : 0;
    // Strips stay on even starts so each batch keeps the strip's winding.
    for (DWORD start = firstBatched; start + overlap < count; start += step) {
        if (m_scratch.fragments - m_sceneFragmentsAtStart >= m_sceneFragmentLimit) {
            m_sceneCut = true;
            return true;
        }
        const DWORD n = std::min<DWORD>(step + overlap, count - start);
        if (!fan) {
            if (!draw(vertices + size_t(start) * kVertexBytes, n)) return false;
            continue;
        }
        const DWORD spokes = std::min<DWORD>(kBatch + 1, count - start);
        std::memcpy(&fanBatch[0], vertices, kVertexBytes);
        std::memcpy(&fanBatch[1], vertices + size_t(start) * kVertexBytes, size_t(spokes) * kVertexBytes);
        if (!draw(reinterpret_cast<const uint8_t*>(fanBatch), spokes + 1)) return false;
        if (start + spokes >= count) break;  // else the next batch starts at this one's last spoke
    }
    return true;
}

D3DTEXTUREHANDLE Device::HandleFor(Surface* texture) {
    const auto found = std::find(m_textures.begin(), m_textures.end(), texture);
    if (found != m_textures.end()) {
        return static_cast<D3DTEXTUREHANDLE>(found - m_textures.begin()) + 1;
    }
    try {
        m_textures.push_back(texture);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    texture->AddRefObject();
    return static_cast<D3DTEXTUREHANDLE>(m_textures.size());
}

// ---- Viewport ---------------------------------------------------------------------------------

Viewport::Viewport() : PlatformObject("Viewport") {}

Viewport* Viewport::From(IUnknown* object) { return dynamic_cast<Viewport*>(object); }

HRESULT Viewport::QueryInterface(REFIID riid, void** object) {
    const HRESULT checked = BeginQuery(riid, object);
    if (FAILED(checked)) {
        return checked;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DViewport2) {
        *object = static_cast<IDirect3DViewport2*>(this);
        AddRefObject();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT Viewport::SetViewport2(LPD3DVIEWPORT2 lpData) {
    const HRESULT planned = EnterCall(Call::SetViewport2);
    if (CallTrace::Active() && lpData != nullptr) {
        TraceEvent event{TraceKind::SetViewport2};
        const float values[10] = {static_cast<float>(lpData->dwX), static_cast<float>(lpData->dwY),
                                  static_cast<float>(lpData->dwWidth), static_cast<float>(lpData->dwHeight),
                                  lpData->dvClipX, lpData->dvClipY, lpData->dvClipWidth, lpData->dvClipHeight,
                                  lpData->dvMinZ, lpData->dvMaxZ};
        std::copy(std::begin(values), std::end(values), event.values);
        CallTrace::Record(std::move(event));
    }
    if (FAILED(planned)) {
        return planned;
    }
    if (lpData == nullptr || lpData->dwSize != sizeof(D3DVIEWPORT2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (m_device == nullptr) {
        return D3DERR_VIEWPORTHASNODEVICE;
    }
    const Surface* target = m_device->RenderTarget();
    const uint64_t right = uint64_t{lpData->dwX} + lpData->dwWidth;
    const uint64_t bottom = uint64_t{lpData->dwY} + lpData->dwHeight;
    if (right > static_cast<uint64_t>(target->Width()) || bottom > static_cast<uint64_t>(target->Height())) {
        return DDERR_INVALIDPARAMS;
    }
    // A clip volume that is not finite or has no extent would make the mapping meaningless.
    const float clip[6] = {lpData->dvClipX, lpData->dvClipY, lpData->dvClipWidth, lpData->dvClipHeight, lpData->dvMinZ, lpData->dvMaxZ};
    for (float value : clip) {
        if (!std::isfinite(value)) {
            return DDERR_INVALIDPARAMS;
        }
    }
    if (lpData->dvClipWidth == 0.0f || lpData->dvClipHeight == 0.0f || lpData->dvMaxZ == lpData->dvMinZ) {
        return DDERR_INVALIDPARAMS;
    }
    m_data = *lpData;
    m_set = true;
    return D3D_OK;
}

HRESULT Viewport::GetViewport2(LPD3DVIEWPORT2 lpData) {
    if (lpData == nullptr || lpData->dwSize != sizeof(D3DVIEWPORT2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (!m_set) {
        return D3DERR_VIEWPORTDATANOTSET;
    }
    *lpData = m_data;
    return D3D_OK;
}

HRESULT Viewport::Clear(DWORD dwCount, LPD3DRECT lpRects, DWORD dwFlags) {
    const HRESULT planned = EnterCall(Call::Clear);
    if (CallTrace::Active()) {
        TraceEvent event{TraceKind::Clear};
        event.a = dwFlags;
        for (DWORD i = 0; lpRects != nullptr && i < dwCount && i < 64; ++i) {
            event.rects.push_back(RECT{lpRects[i].x1, lpRects[i].y1, lpRects[i].x2, lpRects[i].y2});
        }
        CallTrace::Record(std::move(event));
    }
    if (FAILED(planned)) {
        return planned;
    }
    if ((dwCount > 0 && lpRects == nullptr) || (dwFlags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (m_device == nullptr) {
        return D3DERR_VIEWPORTHASNODEVICE;
    }
    if (!m_set) {
        return D3DERR_VIEWPORTDATANOTSET;
    }
    Surface* target = m_device->RenderTarget();
    Surface* z = target->AttachedZBuffer();
    const bool clearTarget = (dwFlags & D3DCLEAR_TARGET) != 0;
    const bool clearZ = (dwFlags & D3DCLEAR_ZBUFFER) != 0;
    if (clearZ && z == nullptr) {
        return D3DERR_ZBUFFER_NOTPRESENT;
    }
    if ((clearTarget && target->IsLocked()) || (clearZ && z->IsLocked())) {
        return DDERR_SURFACEBUSY;
    }
    HRESULT memory = clearTarget ? target->EnsureMemory() : D3D_OK;
    if (SUCCEEDED(memory) && clearZ) {
        memory = z->EnsureMemory();
    }
    if (FAILED(memory)) {
        return memory;
    }
    // Rectangles are in render-target pixels, clipped to the viewport; right/bottom exclusive.
    // The target is cleared to black: no background material is ever set on this device.
    const int64_t vx0 = m_data.dwX;
    const int64_t vy0 = m_data.dwY;
    const int64_t vx1 = vx0 + m_data.dwWidth;
    const int64_t vy1 = vy0 + m_data.dwHeight;
    const raster::ColorTarget color{target->Pixels(), target->Pitch(), target->Width(), target->Height(), target->Layout()};
    const uint32_t black = raster::PackColor(color.layout, 0);
    for (DWORD i = 0; i < dwCount; ++i) {
        // Clipped to the viewport here and to each buffer by the fills.
        const auto x0 = static_cast<int32_t>(std::clamp<int64_t>(std::max<int64_t>(lpRects[i].x1, vx0), 0, INT32_MAX));
        const auto y0 = static_cast<int32_t>(std::clamp<int64_t>(std::max<int64_t>(lpRects[i].y1, vy0), 0, INT32_MAX));
        const auto x1 = static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(lpRects[i].x2, vx1), 0, INT32_MAX));
        const auto y1 = static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(lpRects[i].y2, vy1), 0, INT32_MAX));
        if (clearTarget) {
            raster::FillColor(color, x0, y0, x1, y1, black);
        }
        if (clearZ) {
            const raster::DepthTarget depth{reinterpret_cast<uint16_t*>(z->Pixels()), z->Pitch(), z->Width(), z->Height()};
            raster::FillDepth(depth, x0, y0, x1, y1, 0xFFFF);
        }
    }
    return D3D_OK;
}

}  // namespace platform
