// The software Direct3D device: render states, transforms, scenes, viewports, texture
// handles and DrawPrimitive into the rasterizer.
#include "platform/d3d/Device.h"

#include "platform/trace/CallTrace.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

namespace platform {

namespace {

// One thread unless asked for two: on this project's 2-core virtual machine the two bands took
// about 1.75 times the CPU of one thread for no steady gain in frame time (docs/performance.md).
std::atomic<int> g_defaultDrawThreads{1};

// How long the helper spins for the next draw of an open scene before it sleeps: draws of a
// scene come microseconds apart, a sleeping helper takes tens of microseconds to wake.
constexpr int64_t kHelperSpinNanoseconds = 50000;
// How long the caller lets the helper's band go untouched before it draws the rest itself: a
// working helper starts its next call within a microsecond; one whose core was taken or that
// fell asleep does not.
constexpr int64_t kTakeOverNanoseconds = 20000;

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

void SetDefaultDrawThreads(int threads) { g_defaultDrawThreads.store(threads >= 2 ? 2 : 1); }

int DefaultDrawThreads() { return g_defaultDrawThreads.load(); }

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
    m_pendingOn.reserve(8);
    SetDrawThreads(DefaultDrawThreads());
}

Device::~Device() {
    CloseBands();
    FinishPendingWork();
    if (m_helper != nullptr) {
        m_helper->Join();  // its job reads our fields until it returns
    }
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
    OpenBands();
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
    CloseBands();
    m_inScene = false;
    return D3D_OK;
}

// ---- Two bands --------------------------------------------------------------------------------

bool Device::SetDrawThreads(int threads) {
    if (m_inScene) {
        return false;
    }
    if (m_helper != nullptr) {
        m_helper->Join();
    }
    if (threads < 2) {
        m_helper.reset();
    } else if (m_helper == nullptr) {
        try {
            m_helper = std::make_unique<worker::HelperThread>();
        } catch (const std::exception&) {
            return false;  // no thread to be had: one thread draws everything
        }
    }
    // Only the caller's band hands on the rows its calls reach, and only to a helper.
    m_bands[0].scratch.measureRows = m_helper != nullptr;
    return true;
}

uint64_t Device::FragmentCount() {
    FinishPendingWork();
    return m_bands[0].scratch.fragments + m_bands[1].scratch.fragments;
}

bool Device::SceneCutAtFragmentLimit() {
    FinishPendingWork();
    return m_bands[0].cut || m_bands[1].cut;
}

void Device::OpenBands() {
    if (m_helper != nullptr) {
        m_helper->Join();  // the last scene's job has touched its last field before we reset them
    }
    for (Band& band : m_bands) {
        band.sceneStart = band.scratch.fragments;
        band.cut = false;
        band.busyNanoseconds = 0;
        band.scissor = raster::Scissor{};
        band.budget = m_sceneFragmentLimit;
    }
    const int32_t height = m_target->Height();
    if (m_helper == nullptr || height < 2) {
        return;
    }
    if (m_splitRow <= 0 || m_splitRow >= height) {
        m_splitRow = height / 2;
    }
    m_bands[0].scissor.y1 = m_splitRow;
    m_bands[1].scissor.y0 = m_splitRow;
    if (m_sceneFragmentLimit != 0) {
        // Each band's share of the limit in proportion to its rows, rounded up.
        const uint64_t limit = m_sceneFragmentLimit;
        const uint64_t h = uint64_t(height);
        const uint64_t rows[2] = {uint64_t(m_splitRow), h - uint64_t(m_splitRow)};
        for (int i = 0; i < 2; ++i) {
            m_bands[i].budget = limit / h * rows[i] + (limit % h * rows[i] + h - 1) / h;
        }
    }
    m_recording.Clear();
    m_posted.store(0, std::memory_order_relaxed);
    m_replayed.store(0, std::memory_order_relaxed);
    m_helperRunning = true;
    m_helper->Start(&Device::HelperJob, this);  // wakes while the scene's first draws are made
}

void Device::CloseBands() {
    if (!m_helperRunning) {
        return;
    }
    Publish(m_recording.Count() | kClosed);
    FinishPendingWork();
    m_helperRunning = false;
    // The helper's job ends on its own now, touching nothing more; it is joined before the
    // next scene, so a helper whose core is taken delays no one here.

    // Move the split a part of the way toward equal drawing times (what either band took
    // includes the other's share of the calls' set-up, so this converges over a few scenes).
    // Pixels do not depend on where the split is.
    const int32_t height = m_target->Height();
    const int64_t own = m_bands[0].busyNanoseconds;
    const int64_t helper = m_bands[1].busyNanoseconds;
    const int64_t split = int64_t(m_splitRow) - int64_t(height) * (own - helper) / (4 * std::max<int64_t>(own + helper, 1));
    m_splitRow = int32_t(std::clamp<int64_t>(split, std::max(1, height / 16), std::min(height - 1, height - height / 16)));
}

void Device::Publish(uint32_t value) {
    m_posted.store(value, std::memory_order_seq_cst);
    if (m_helperAsleep.load(std::memory_order_seq_cst)) {
        m_posted.notify_one();
    }
}

// Whether a call whose vertices reach rows [top, bottom] may have pixels inside `scissor` (a
// pixel lies within a row of its primitive's vertices; two rows leave room for rounding).
static bool Reaches(const RecordedDraw& draw, const raster::Scissor& scissor) {
    return draw.bottom + 2.0f >= float(scissor.y0) && draw.top - 2.0f < float(scissor.y1);
}

bool Device::DrawHelperBand(uint32_t count) {
    for (;;) {
        if (m_replayed.load(std::memory_order_acquire) >= count) {
            return true;
        }
        if (m_helperBandBusy.exchange(true, std::memory_order_acquire)) {
            return false;
        }
        // One call at a time, so the other thread can take over between any two.
        const uint32_t next = m_replayed.load(std::memory_order_relaxed);
        if (next < count) {
            if (Reaches(m_recording[next], m_bands[1].scissor)) {
                DrawTimed(m_bands[1], m_recording[next]);
            }
            m_replayed.store(next + 1, std::memory_order_release);
        }
        m_helperBandBusy.store(false, std::memory_order_release);
    }
}

void Device::WaitForHelper() {
    if (!m_helperRunning) {
        return;
    }
    // A helper at work is waited for; one that leaves its band untouched for a while (its core
    // taken by other programs, or asleep) leaves the rest to us.
    const uint32_t count = m_recording.Count();
    int64_t untouchedSince = -1;
    for (;;) {
        if (m_replayed.load(std::memory_order_acquire) >= count) {
            return;
        }
        if (m_helperBandBusy.load(std::memory_order_relaxed)) {
            untouchedSince = -1;
            worker::Relax();
            continue;
        }
        const int64_t now = worker::MonotonicNanoseconds();
        if (untouchedSince < 0) {
            untouchedSince = now;
        }
        if (now - untouchedSince < kTakeOverNanoseconds) {
            worker::Relax();
            continue;
        }
        if (DrawHelperBand(count)) {
            return;
        }
        untouchedSince = -1;  // the helper came back to it
    }
}

void Device::FinishPendingWork() {
    WaitForHelper();
    for (Surface* surface : m_pendingOn) {
        if (surface->Pending() == this) {
            surface->SetPending(nullptr);
        }
    }
    m_pendingOn.clear();
}

void Device::MarkPending(Surface* surface) {
    if (surface == nullptr || surface->Pending() == this) {
        return;
    }
    surface->FinishPendingWork();  // another device's drawing with it comes first
    surface->SetPending(this);
    m_pendingOn.push_back(surface);
}

void Device::Post(const RecordedDraw& draw) {
    const size_t bytes = size_t(draw.count) * sizeof(D3DLVERTEX);
    if (!m_recording.Fits(bytes)) {
        WaitForHelper();  // the storage may move only while the helper is not reading it
        if (!m_recording.Reserve(bytes)) {
            // Too large to keep (or no memory): this thread draws the helper's band too.
            DrawWithinLimit(m_bands[1], draw);
            return;
        }
    }
    m_recording.Append(draw, draw.vertices, bytes);
    Publish(m_recording.Count());
}

void Device::HelperJob(void* self) {
    Device& d = *static_cast<Device*>(self);
    for (;;) {
        const uint32_t posted = d.m_posted.load(std::memory_order_acquire);
        const uint32_t count = posted & ~kClosed;
        if (!d.DrawHelperBand(count)) {
            worker::Relax();  // the owner is drawing our band: it is at the end of the scene
            continue;
        }
        if ((posted & kClosed) != 0) {
            return;
        }
        if (worker::SpinWait([&] { return d.m_posted.load(std::memory_order_acquire) != posted; }, kHelperSpinNanoseconds)) {
            continue;
        }
        d.m_helperAsleep.store(true, std::memory_order_seq_cst);
        if (d.m_posted.load(std::memory_order_seq_cst) == posted) {
            d.m_posted.wait(posted, std::memory_order_acquire);
        }
        d.m_helperAsleep.store(false, std::memory_order_relaxed);
    }
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

    RecordedDraw draw;
    draw.color = m_colorTarget;
    draw.depth = m_depthTarget;
    draw.viewport = viewport;
    draw.states = m_raster;
    std::memcpy(draw.worldViewProjection, m_worldViewProjection, sizeof(draw.worldViewProjection));
    draw.type = dptPrimitiveType;
    draw.count = dwVertexCount;
    draw.vertices = static_cast<const uint8_t*>(lpvVertices);

    // Handle 0 or one this device never gave out draws untextured; so does a texture whose
    // memory was never allocated (an allocate-on-load surface that was never loaded).
    Surface* texture = nullptr;
    const DWORD handle = m_states[D3DRENDERSTATE_TEXTUREHANDLE];
    if (handle != 0 && handle <= m_textures.size()) {
        texture = m_textures[handle - 1];
        if (texture->HasMemory() && !texture->IsLocked()) {
            draw.texture.texels = texture->Pixels();
            draw.texture.pitch = texture->Pitch();
            draw.texture.width = texture->Width();
            draw.texture.height = texture->Height();
            draw.texture.layout = texture->Layout();
            draw.textured = true;
        }
    }

    if (!m_helperRunning) {
        DrawWithinLimit(m_bands[0], draw);
        return D3D_OK;
    }
    MarkPending(m_target);
    MarkPending(z);
    if (draw.textured) {
        MarkPending(texture);
    }
    // An idle helper gets the call at once, to draw alongside us. A busy one gets it after we
    // drew it, with the rows it reaches, so it can pass over calls that stay out of its band.
    if (m_replayed.load(std::memory_order_acquire) == m_recording.Count()) {
        Post(draw);
        DrawTimed(m_bands[0], draw);
    } else {
        const RowReach reach = DrawTimed(m_bands[0], draw);
        draw.top = reach.top;
        draw.bottom = reach.bottom;
        Post(draw);
    }
    return D3D_OK;
}

Device::RowReach Device::DrawTimed(Band& band, const RecordedDraw& call) {
    const int64_t start = worker::MonotonicNanoseconds();
    const RowReach reach = DrawWithinLimit(band, call);
    band.busyNanoseconds += worker::MonotonicNanoseconds() - start;
    return reach;
}

Device::RowReach Device::DrawWithinLimit(Band& band, const RecordedDraw& call) {
    // The rows the call's pixels may reach, over its batches; every row if it was cut.
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    RowReach reach{kInfinity, -kInfinity};
    const RowReach anyRow{-kInfinity, kInfinity};
    raster::States states = call.states;
    states.texture = call.textured ? &call.texture : nullptr;
    const auto type = static_cast<D3DPRIMITIVETYPE>(call.type);
    const uint8_t* const vertices = call.vertices;
    const DWORD count = call.count;
    auto draw = [&](const uint8_t* first, DWORD n) {
        raster::DrawLVertices(call.color, call.depth, call.viewport, states, call.worldViewProjection, type, first, n,
                              band.scratch, band.scissor);
        reach.top = std::min(reach.top, band.scratch.top);
        reach.bottom = std::max(reach.bottom, band.scratch.bottom);
    };
    // Triangles per batch: small next to a scene's limit, large enough that a model's usual
    // strips go through in one call.
    constexpr DWORD kBatch = 64;
    constexpr size_t kVertexBytes = sizeof(D3DLVERTEX);
    const bool fan = type == D3DPT_TRIANGLEFAN;
    const DWORD step = type == D3DPT_TRIANGLELIST ? 3 * kBatch : (type == D3DPT_LINELIST ? 2 * kBatch : kBatch);
    const DWORD overlap = type == D3DPT_TRIANGLESTRIP ? 2 : (type == D3DPT_LINESTRIP ? 1 : 0);
    if (band.budget == 0 || count <= step + overlap + (fan ? 1 : 0)) {
        if (band.budget != 0 && band.scratch.fragments - band.sceneStart >= band.budget) {
            band.cut = true;
            return anyRow;
        }
        draw(vertices, count);
        return reach;
    }
    // A fan's batches each repeat its first vertex: they are put together here.
    D3DLVERTEX fanBatch[kBatch + 2];
    const DWORD firstBatched = fan ? 1 : 0;
    // Strips stay on even starts so each batch keeps the strip's winding.
    for (DWORD start = firstBatched; start + overlap < count; start += step) {
        if (band.scratch.fragments - band.sceneStart >= band.budget) {
            band.cut = true;
            return anyRow;
        }
        const DWORD n = std::min<DWORD>(step + overlap, count - start);
        if (!fan) {
            draw(vertices + size_t(start) * kVertexBytes, n);
            continue;
        }
        const DWORD spokes = std::min<DWORD>(kBatch + 1, count - start);
        std::memcpy(&fanBatch[0], vertices, kVertexBytes);
        std::memcpy(&fanBatch[1], vertices + size_t(start) * kVertexBytes, size_t(spokes) * kVertexBytes);
        draw(reinterpret_cast<const uint8_t*>(fanBatch), spokes + 1);
        if (start + spokes >= count) break;  // else the next batch starts at this one's last spoke
    }
    return reach;
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
    m_device->FinishPendingWork();  // draws made before the clear land first
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
