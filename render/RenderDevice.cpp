// The device half of the render context: opening and releasing the DirectDraw/Direct3D
// objects, and the frame begin/end with presentation into the window.
#include "render/RenderContext.h"
#include "platform/win/WindowServices.h"

#include <cstring>
#include <new>

namespace {

constexpr int32_t kMaxTargetSide = 8192;
constexpr int32_t kMaxTextureSlots = 65536;
constexpr DWORD kZBufferBits = 16;

template <typename T>
void ReleaseField(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

struct DriverSearch {
    IDirectDraw* candidate;
};

// Keeps the first driver whose hardware has 3D acceleration.
BOOL ChooseDriver(GUID* guid, LPSTR /*description*/, LPSTR /*name*/, LPVOID context) {
    auto* search = static_cast<DriverSearch*>(context);
    IDirectDraw* dd = nullptr;
    if (FAILED(DirectDrawCreate(guid, &dd, nullptr)) || dd == nullptr) return DDENUMRET_OK;
    DDCAPS hardware{};
    DDCAPS emulation{};
    hardware.dwSize = sizeof hardware;
    emulation.dwSize = sizeof emulation;
    if (SUCCEEDED(dd->GetCaps(&hardware, &emulation)) && (hardware.dwCaps & DDCAPS_3D) != 0) {
        search->candidate = dd;
        return DDENUMRET_CANCEL;
    }
    dd->Release();
    return DDENUMRET_OK;
}

}  // namespace

bool CRenderContext::OpenDevice(HWND window, int32_t width, int32_t height, int32_t textureSlots,
                                int32_t vertexPoolBytes, int32_t statePoolBytes) {
    if (window == nullptr || width <= 0 || height <= 0 || width > kMaxTargetSide || height > kMaxTargetSide ||
        textureSlots <= 0 || textureSlots > kMaxTextureSlots || vertexPoolBytes <= 0 || statePoolBytes <= 0) {
        return false;
    }
    // A second open would overwrite (and leak) the objects of the first.
    if (m_ddraw != nullptr || m_primary != nullptr || m_backBuffer != nullptr || m_device != nullptr ||
        m_slots != nullptr || m_vertexPool != nullptr || m_statePool != nullptr) {
        return false;
    }

    m_hwnd = window;
    m_width = width;
    m_height = height;
    if (!InitDirectDraw()) return false;
    if (FAILED(m_ddraw->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&m_d3d))) || m_d3d == nullptr) {
        m_d3d = nullptr;
        return false;
    }
    InitZBuffer();
    if (!InitDevice()) return false;
    SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);

    m_textureIndex = -1;
    m_slots = new (std::nothrow) CTextureSlot[static_cast<size_t>(textureSlots)];
    m_slotCount = m_slots != nullptr ? textureSlots : 0;
    m_vertexPool = new (std::nothrow) CBytePool(vertexPoolBytes);
    m_statePool = new (std::nothrow) CBytePool(statePoolBytes);
    // A table or pool that could not be allocated is a failure to open, not a silent one.
    return IsOpen();
}

bool CRenderContext::InitDirectDraw() {
    DriverSearch search{nullptr};
    HRESULT status = DirectDrawEnumerateA(ChooseDriver, &search);
    IDirectDraw* dd = search.candidate;
    if (dd == nullptr) status = DirectDrawCreate(nullptr, &dd, nullptr);
    if (FAILED(status) || dd == nullptr) {
        ReleaseField(dd);
        return false;
    }

    dd->SetCooperativeLevel(m_hwnd, DDSCL_NORMAL);
    const HRESULT query = dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&m_ddraw));
    dd->Release();
    if (FAILED(query) || m_ddraw == nullptr) {
        m_ddraw = nullptr;
        return false;
    }

    // Surfaces: a failure gives up the DirectDraw object; surfaces already made stay in their
    // fields until ReleaseDevice.
    const HRESULT surfaces = [this]() -> HRESULT {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        IDirectDrawSurface* surface = nullptr;
        HRESULT hr = m_ddraw->CreateSurface(&desc, &surface, nullptr);
        if (FAILED(hr)) return hr;
        hr = surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&m_primary));
        surface->Release();
        if (FAILED(hr)) {
            m_primary = nullptr;
            return hr;
        }

        desc = DDSURFACEDESC{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwHeight = static_cast<DWORD>(m_height);
        desc.dwWidth = static_cast<DWORD>(m_width);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
        surface = nullptr;
        hr = m_ddraw->CreateSurface(&desc, &surface, nullptr);
        if (FAILED(hr)) {
            desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
            surface = nullptr;
            hr = m_ddraw->CreateSurface(&desc, &surface, nullptr);
            if (FAILED(hr)) return hr;
        }
        hr = surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&m_backBuffer));
        surface->Release();
        if (FAILED(hr)) {
            m_backBuffer = nullptr;
            return hr;
        }
        return DD_OK;
    }();
    if (FAILED(surfaces)) {
        ReleaseField(m_ddraw);
        return false;
    }

    if (SUCCEEDED(m_ddraw->CreateClipper(0, &m_clipper, nullptr)) && m_clipper != nullptr) {
        m_clipper->SetHWnd(0, m_hwnd);
        m_primary->SetClipper(m_clipper);
    } else {
        m_clipper = nullptr;
    }
    return true;
}

bool CRenderContext::InitZBuffer() {
    D3DFINDDEVICESEARCH search{};
    search.dwSize = sizeof search;
    search.dwFlags = D3DFDS_HARDWARE;
    search.bHardware = TRUE;
    D3DFINDDEVICERESULT found{};
    found.dwSize = sizeof found;
    const bool hardware = SUCCEEDED(m_d3d->FindDevice(&search, &found));

    DDSCAPS targetCaps{};
    m_backBuffer->GetCaps(&targetCaps);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_ZBUFFERBITDEPTH;
    desc.dwHeight = static_cast<DWORD>(m_height);
    desc.dwWidth = static_cast<DWORD>(m_width);
    desc.dwZBufferBitDepth = kZBufferBits;
    // The Z-buffer sits in video memory only when the render target does and hardware draws.
    const bool video = hardware && (targetCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);

    IDirectDrawSurface* surface = nullptr;
    if (SUCCEEDED(m_ddraw->CreateSurface(&desc, &surface, nullptr)) && surface != nullptr) {
        if (FAILED(surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&m_zBuffer)))) {
            m_zBuffer = nullptr;
        }
        surface->Release();
        if (m_zBuffer != nullptr) m_backBuffer->AddAttachedSurface(m_zBuffer);
    }
    return true;
}

bool CRenderContext::InitDevice() {
    IDirectDrawSurface* target = nullptr;
    if (FAILED(m_backBuffer->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&target))) ||
        target == nullptr) {
        return false;
    }
    if (FAILED(m_d3d->CreateDevice(IID_IDirect3DHALDevice, target, &m_device)) || m_device == nullptr) {
        m_device = nullptr;
        if (FAILED(m_d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &m_device)) || m_device == nullptr) {
            m_device = nullptr;
            target->Release();
            return false;
        }
    }
    target->Release();

    m_viewportData = D3DVIEWPORT2{};
    m_viewportData.dwSize = sizeof m_viewportData;
    m_viewportData.dwX = 0;
    m_viewportData.dwY = 0;
    m_viewportData.dwWidth = static_cast<DWORD>(m_width);
    m_viewportData.dwHeight = static_cast<DWORD>(m_height);
    m_viewportData.dvClipX = 0.0f;
    m_viewportData.dvClipY = 0.0f;
    m_viewportData.dvClipWidth = static_cast<float>(m_width);
    m_viewportData.dvClipHeight = static_cast<float>(m_height);
    m_viewportData.dvMinZ = 0.0f;
    m_viewportData.dvMaxZ = 2.0f;

    if (SUCCEEDED(m_d3d->CreateViewport(&m_viewport, nullptr)) && m_viewport != nullptr) {
        m_device->AddViewport(m_viewport);
        m_device->SetCurrentViewport(m_viewport);
        m_viewport->SetViewport2(&m_viewportData);
    } else {
        m_viewport = nullptr;
    }

    SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    SetRenderState(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR);
    SetRenderState(D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR);
    SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    SetRenderState(D3DRENDERSTATE_ALPHAREF, 0);
    SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    return true;
}

void CRenderContext::ReleaseDevice() {
    delete[] m_slots;
    m_slots = nullptr;
    m_slotCount = 0;
    m_textureIndex = -1;
    delete m_vertexPool;
    m_vertexPool = nullptr;
    delete m_statePool;
    m_statePool = nullptr;
    // Nothing filed into the pools survives them.
    m_queue.Setup(nullptr, 0);
    m_activeQueue = nullptr;
    m_stateBlock = nullptr;
    m_stateBlockSlot = -1;
    m_firstVertex = nullptr;
    m_vertexCount = 0;
    m_inScene = 0;

    if (m_device != nullptr) {
        if (m_viewport != nullptr) {
            m_device->DeleteViewport(m_viewport);
            ReleaseField(m_viewport);
        }
        ReleaseField(m_device);
    }
    ReleaseField(m_viewport);  // only when the device is already gone
    ReleaseField(m_d3d);
    ReleaseField(m_clipper);
    if (m_backBuffer != nullptr && m_zBuffer != nullptr) m_backBuffer->DeleteAttachedSurface(0, m_zBuffer);
    ReleaseField(m_zBuffer);
    ReleaseField(m_backBuffer);
    ReleaseField(m_primary);
    ReleaseField(m_ddraw);
}

bool CRenderContext::PictureRect(RECT* screen, int32_t* pictureWidth, int32_t* pictureHeight, int32_t* offsetX,
                                 int32_t* offsetY) const {
    RECT client{};
    if (!GetClientRect(m_hwnd, &client)) return false;
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    if (!ClientToScreen(m_hwnd, &topLeft) || !ClientToScreen(m_hwnd, &bottomRight)) return false;
    RECT r{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    // 64-bit differences: a window rectangle cannot overflow the arithmetic below.
    const int64_t w = static_cast<int64_t>(r.right) - r.left;
    const int64_t h = static_cast<int64_t>(r.bottom) - r.top;
    if (w <= 0 || h <= 0) return false;

    int64_t p = w;
    int64_t q = h;
    int64_t ox = 0;
    int64_t oy = 0;
    if (w > m_width - 1) {
        p = m_width - 1;
        ox = (w - m_width) / 2;
    }
    if (h > m_height - 1) {
        q = m_height - 1;
        oy = (h - m_height) / 2;
    }
    if (p <= 0 || q <= 0) return false;
    screen->left = static_cast<LONG>(r.left + ox);
    screen->top = static_cast<LONG>(r.top + oy);
    screen->right = static_cast<LONG>(screen->left + p);
    screen->bottom = static_cast<LONG>(screen->top + q);
    *pictureWidth = static_cast<int32_t>(p);
    *pictureHeight = static_cast<int32_t>(q);
    *offsetX = static_cast<int32_t>(ox);
    *offsetY = static_cast<int32_t>(oy);
    return true;
}

bool CRenderContext::BeginFrame(int32_t r, int32_t g, int32_t b) {
    if (!IsOpen()) return false;
    // A frame begun again without its EndFrame closes the open scene first.
    if (m_inScene != 0) m_device->EndScene();
    m_inScene = 0;

    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | static_cast<DWORD>(b);
    m_backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);

    m_vertexPool->Reset();
    m_statePool->Reset();
    // Blocks recorded last frame lived in the emptied pool.
    m_stateBlock = nullptr;
    m_stateBlockSlot = -1;
    m_firstVertex = nullptr;
    m_vertexCount = 0;
    m_queue.Setup(m_vertexPool, m_bucketCount);
    m_activeQueue = &m_queue;

    RECT screen{};
    int32_t p = 0;
    int32_t q = 0;
    int32_t ox = 0;
    int32_t oy = 0;
    if (!PictureRect(&screen, &p, &q, &ox, &oy)) {
        // No picture to show: no viewport of zero size, no scene.
        m_offsetX = 0;
        m_offsetY = 0;
        return false;
    }
    m_offsetX = ox;
    m_offsetY = oy;

    const float aspect = static_cast<float>(static_cast<double>(q) / static_cast<double>(p));
    m_viewportData.dwWidth = static_cast<DWORD>(p);
    m_viewportData.dwHeight = static_cast<DWORD>(q);
    m_viewportData.dvClipX = -1.0f;
    m_viewportData.dvClipWidth = 2.0f;
    m_viewportData.dvClipY = aspect;
    m_viewportData.dvClipHeight = 2.0f * aspect;
    if (m_viewport != nullptr) {
        m_viewport->SetViewport2(&m_viewportData);
        D3DRECT rect{};
        rect.x1 = 0;
        rect.y1 = 0;
        rect.x2 = p;
        rect.y2 = q;
        m_viewport->Clear(1, &rect, D3DCLEAR_ZBUFFER);
        m_device->SetCurrentViewport(m_viewport);
    }
    Matrix4 identity;
    MatrixIdentity(&identity);
    D3DMATRIX view;
    std::memcpy(&view, &identity, sizeof view);
    m_device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    m_device->BeginScene();
    m_inScene = 1;
    return true;
}

bool CRenderContext::EndFrame() {
    if (!IsOpen() || m_inScene == 0) return false;
    FlushQueue(&m_queue);
    m_device->EndScene();
    m_inScene = 0;

    RECT screen{};
    int32_t p = 0;
    int32_t q = 0;
    int32_t ox = 0;
    int32_t oy = 0;
    if (!PictureRect(&screen, &p, &q, &ox, &oy)) return false;
    RECT source{0, 0, p, q};
    m_primary->Blt(&screen, m_backBuffer, &source, 0, nullptr);
    return true;
}
