// Surfaces: creation and memory placement, blits (fills, copies, stretches, presentation into
// a window through the primary surface's clipper), locks, attachments, texture loads.
#include "platform/trace/CallTrace.h"
#include "platform/ddraw/Objects.h"
#include "platform/d3d/raster/BlockTransfer.h"
#include "platform/win/PlatformWindow.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace platform {

namespace {

constexpr int32_t kMaxSurfaceSide = 16384;

bool IsRgbFormat(const DDPIXELFORMAT& format) {
    constexpr DWORD kNotRgb = DDPF_ALPHA | DDPF_FOURCC | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXEDTO8 |
                              DDPF_PALETTEINDEXED8 | DDPF_YUV | DDPF_ZBUFFER | DDPF_PALETTEINDEXED1 |
                              DDPF_PALETTEINDEXED2 | DDPF_ZPIXELS | DDPF_COMPRESSED | DDPF_RGBTOYUV;
    if ((format.dwFlags & DDPF_RGB) == 0 || (format.dwFlags & kNotRgb) != 0) {
        return false;
    }
    if (((format.dwFlags & DDPF_ALPHAPIXELS) != 0) != (format.dwRGBAlphaBitMask != 0)) {
        return false;
    }
    return raster::IsSupportedLayout(LayoutOf(format));
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwFlags == b.dwFlags && a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask && a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

bool SameLayout(const raster::PixelLayout& a, const raster::PixelLayout& b) {
    return a.bitsPerPixel == b.bitsPerPixel && a.rMask == b.rMask && a.gMask == b.gMask && a.bMask == b.bMask &&
           a.aMask == b.aMask;
}

bool IsXrgb8888(const raster::PixelLayout& layout) {
    return layout.bitsPerPixel == 32 && layout.rMask == 0xFF0000u && layout.gMask == 0xFF00u && layout.bMask == 0xFFu;
}

// A rectangle inside a surface of width x height (right/bottom exclusive, may be empty).
bool InsideSurface(const RECT& r, int32_t width, int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= width && r.bottom <= height;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// Nearest source index for destination offset d of a span of dstLength mapped onto srcLength
// (sample at pixel centres; exactly d when the lengths are equal).
inline int64_t NearestSource(int64_t d, int64_t srcLength, int64_t dstLength) {
    return ((2 * d + 1) * srcLength) / (2 * dstLength);
}

// Widens pixels of one layout to 0x00RRGGBB (bit replication, as the rasterizer unpacks), with
// each channel's position worked out once per blit instead of once per pixel.
class Widener {
public:
    explicit Widener(const raster::PixelLayout& layout)
        : m_red(Of(layout.rMask)), m_green(Of(layout.gMask)), m_blue(Of(layout.bMask)) {}

    uint32_t operator()(uint32_t pixel) const {
        return (Expand(pixel, m_red) << 16) | (Expand(pixel, m_green) << 8) | Expand(pixel, m_blue);
    }

private:
    struct Channel {
        uint32_t mask;
        int shift;
        int bits;
    };
    static Channel Of(uint32_t mask) {
        return Channel{mask, mask == 0 ? 0 : std::countr_zero(mask), std::popcount(mask)};
    }
    static uint32_t Expand(uint32_t pixel, const Channel& c) {
        const uint32_t v = (pixel & c.mask) >> c.shift;
        if (c.bits >= 8) {
            return v >> (c.bits - 8);
        }
        if (c.bits >= 4) {
            return ((v << (8 - c.bits)) | (v >> (2 * c.bits - 8))) & 0xFFu;
        }
        if (c.bits == 0) {
            return 0;
        }
        uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << c.bits) | v;
            filled += c.bits;
        }
        return out >> (filled - 8);
    }

    Channel m_red;
    Channel m_green;
    Channel m_blue;
};

// Surfaces name their kind in the call trace, so release orders can be checked.
const char* TraceName(SurfaceKind kind) {
    switch (kind) {
    case SurfaceKind::Primary: return "Surface:primary";
    case SurfaceKind::Plain: return "Surface:plain";
    case SurfaceKind::ZBuffer: return "Surface:zbuffer";
    case SurfaceKind::Texture: return "Surface:texture";
    }
    return "Surface";
}

void TraceBlt(const RECT* dst, const RECT* src, DWORD flags, bool fill, DWORD fillValue) {
    TraceEvent event;
    event.kind = TraceKind::Blt;
    event.a = fillValue;
    event.b = flags;
    event.fill = fill;
    event.hasDst = dst != nullptr;
    event.hasSrc = src != nullptr;
    if (dst != nullptr) event.rects.push_back(*dst);
    if (src != nullptr) event.rects.push_back(*src);
    CallTrace::Record(std::move(event));
}

}  // namespace

raster::PixelLayout LayoutOf(const DDPIXELFORMAT& format) {
    raster::PixelLayout layout;
    if ((format.dwFlags & DDPF_ZBUFFER) != 0) {
        layout.bitsPerPixel = format.dwZBufferBitDepth;
        layout.rMask = layout.gMask = layout.bMask = layout.aMask = 0;
        return layout;
    }
    layout.bitsPerPixel = format.dwRGBBitCount;
    layout.rMask = format.dwRBitMask;
    layout.gMask = format.dwGBitMask;
    layout.bMask = format.dwBBitMask;
    layout.aMask = (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
    return layout;
}

// ---- Creation ---------------------------------------------------------------------------------

HRESULT DirectDrawObject::CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface, IUnknown* pUnkOuter) {
    const HRESULT planned = EnterCall(Call::CreateSurface);
    if (lplpDDSurface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *lplpDDSurface = nullptr;
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSurfaceDesc == nullptr || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC) || pUnkOuter != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    const DDSURFACEDESC& desc = *lpDDSurfaceDesc;
    const DWORD flags = desc.dwFlags;
    // Client memory, explicit pitches, flipping chains and mipmaps are not offered.
    if ((flags & (DDSD_LPSURFACE | DDSD_PITCH | DDSD_LINEARSIZE | DDSD_BACKBUFFERCOUNT | DDSD_MIPMAPCOUNT)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    DWORD caps = (flags & DDSD_CAPS) != 0 ? desc.ddsCaps.dwCaps : 0;
    if ((caps & (DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER | DDSCAPS_OVERLAY |
                 DDSCAPS_MIPMAP | DDSCAPS_PALETTE)) != 0) {
        return DDERR_INVALIDCAPS;
    }
    const bool wantVideo = (caps & DDSCAPS_VIDEOMEMORY) != 0;
    const bool wantSystem = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
    if (wantVideo && wantSystem) {
        return DDERR_INVALIDCAPS;
    }

    SurfaceKind kind = SurfaceKind::Plain;
    if ((caps & DDSCAPS_PRIMARYSURFACE) != 0) {
        kind = SurfaceKind::Primary;
    } else if ((caps & DDSCAPS_ZBUFFER) != 0) {
        kind = SurfaceKind::ZBuffer;
    } else if ((caps & DDSCAPS_TEXTURE) != 0) {
        kind = SurfaceKind::Texture;
    }

    const platform::Machine& machine = m_machine->machine;
    int32_t width = 0;
    int32_t height = 0;
    DDPIXELFORMAT format{};

    if (kind == SurfaceKind::Primary) {
        // The primary surface is the screen: its size and format are the display mode's.
        if ((flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) != 0) {
            return DDERR_INVALIDPARAMS;
        }
        if ((caps & (DDSCAPS_ZBUFFER | DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY)) != 0) {
            return DDERR_INVALIDCAPS;
        }
        width = machine.displayWidth;
        height = machine.displayHeight;
        format = PixelFormatOf(machine.displayFormat);
        caps |= DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    } else {
        if ((flags & DDSD_WIDTH) == 0 || (flags & DDSD_HEIGHT) == 0) {
            return DDERR_INVALIDPARAMS;
        }
        if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > kMaxSurfaceSide || desc.dwHeight > kMaxSurfaceSide) {
            return DDERR_INVALIDPARAMS;
        }
        width = static_cast<int32_t>(desc.dwWidth);
        height = static_cast<int32_t>(desc.dwHeight);
        if (kind == SurfaceKind::ZBuffer) {
            if ((caps & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN)) != 0) {
                return DDERR_INVALIDCAPS;
            }
            DWORD depth = 0;
            if ((flags & DDSD_ZBUFFERBITDEPTH) != 0) {
                depth = desc.dwZBufferBitDepth;
            } else if ((flags & DDSD_PIXELFORMAT) != 0 && (desc.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) != 0) {
                depth = desc.ddpfPixelFormat.dwZBufferBitDepth;
            } else {
                return DDERR_INVALIDPARAMS;
            }
            if (depth != 16) {
                return DDERR_INVALIDPIXELFORMAT;  // the device keeps 16-bit depth only
            }
            if (wantVideo && !m_has3D) {
                return DDERR_NOZBUFFERHW;
            }
            format = ZBufferFormat(16);
        } else {
            if ((flags & DDSD_PIXELFORMAT) != 0) {
                format = desc.ddpfPixelFormat;
                if (format.dwSize != sizeof(DDPIXELFORMAT) || !IsRgbFormat(format)) {
                    return DDERR_INVALIDPIXELFORMAT;
                }
            } else {
                // Without a format, off-screen surfaces and textures take the display's.
                format = PixelFormatOf(machine.displayFormat);
            }
            if ((caps & DDSCAPS_3DDEVICE) != 0 && format.dwRGBBitCount < 16) {
                return DDERR_INVALIDPIXELFORMAT;
            }
        }
        // Memory placement: asked for, or video memory while it lasts.
        const bool allocOnLoad = (caps & DDSCAPS_ALLOCONLOAD) != 0;
        if (allocOnLoad && (kind != SurfaceKind::Texture || wantSystem)) {
            return DDERR_INVALIDCAPS;
        }
        bool video = wantVideo;
        if (!wantVideo && !wantSystem) {
            const uint64_t pitch = ((static_cast<uint64_t>(width) * (kind == SurfaceKind::ZBuffer ? 16 : format.dwRGBBitCount) / 8) + 3) & ~uint64_t{3};
            const uint64_t bytes = pitch * static_cast<uint64_t>(height);
            const bool zWithoutHardware = kind == SurfaceKind::ZBuffer && !m_has3D;
            video = !zWithoutHardware && m_machine->videoInUse <= machine.videoMemoryBytes &&
                    bytes <= machine.videoMemoryBytes - m_machine->videoInUse;
        }
        caps &= ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM);
        caps |= video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
        if (kind == SurfaceKind::Plain && (caps & DDSCAPS_3DDEVICE) == 0) {
            caps |= DDSCAPS_OFFSCREENPLAIN;
        }
    }

    Surface* surface = nullptr;
    try {
        surface = new Surface(this, kind, caps, width, height, format);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    if (kind != SurfaceKind::Primary && (caps & DDSCAPS_ALLOCONLOAD) == 0) {
        const HRESULT memory = surface->EnsureMemory();
        if (FAILED(memory)) {
            surface->DropReference();
            return memory;
        }
    }
    *lplpDDSurface = static_cast<IDirectDrawSurface*>(surface);
    return DD_OK;
}

Surface::Surface(DirectDrawObject* owner, SurfaceKind kind, DWORD caps, int32_t width, int32_t height, const DDPIXELFORMAT& format)
    : PlatformObject(TraceName(kind)),
      m_owner(owner),
      m_kind(kind),
      m_caps(caps),
      m_width(width),
      m_height(height),
      m_pitch(0),
      m_format(format),
      m_layout(LayoutOf(format)) {
    m_format.dwSize = sizeof(DDPIXELFORMAT);
    m_owner->AddRefObject();
    if (kind != SurfaceKind::Primary) {
        m_pitch = static_cast<int32_t>(((static_cast<int64_t>(width) * m_layout.bitsPerPixel / 8) + 3) & ~int64_t{3});
    }
}

Surface::~Surface() {
    FinishPendingWork();
    if (m_attachedZ != nullptr) {
        m_attachedZ->DropReference();
    }
    if (m_clipper != nullptr) {
        m_clipper->DropReference();
    }
    if (m_videoCharged != 0) {
        m_owner->Machine()->ReleaseVideo(m_videoCharged);
    }
    m_owner->DropReference();
}

Surface* Surface::From(IUnknown* object) { return dynamic_cast<Surface*>(object); }

HRESULT Surface::EnsureMemory() {
    if (m_kind == SurfaceKind::Primary) {
        return DDERR_UNSUPPORTED;  // the screen's pixels are the windows'
    }
    if (!m_memory.empty()) {
        return DD_OK;
    }
    const uint64_t bytes = Bytes();
    if ((m_caps & DDSCAPS_VIDEOMEMORY) != 0) {
        if (!m_owner->Machine()->ReserveVideo(bytes)) {
            return DDERR_OUTOFVIDEOMEMORY;
        }
        m_videoCharged = bytes;
    }
    try {
        m_memory.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        if (m_videoCharged != 0) {
            m_owner->Machine()->ReleaseVideo(m_videoCharged);
            m_videoCharged = 0;
        }
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    const HRESULT checked = BeginQuery(riid, object);
    if (FAILED(checked)) {
        return checked;
    }
    if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface) {
        *object = static_cast<IDirectDrawSurface*>(this);
    } else if (riid == IID_IDirectDrawSurface3) {
        *object = static_cast<IDirectDrawSurface3*>(this);
    } else if (riid == IID_IDirect3DTexture2 && m_kind == SurfaceKind::Texture) {
        *object = static_cast<IDirect3DTexture2*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRefObject();
    return S_OK;
}

// ---- Attachments, caps, descriptions ----------------------------------------------------------

HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE lpDDSAttachedSurface) { return Attach(lpDDSAttachedSurface); }
HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE3 lpDDSAttachedSurface) { return Attach(lpDDSAttachedSurface); }

HRESULT Surface::Attach(IUnknown* other) {
    const HRESULT planned = EnterCall(Call::AddAttachedSurface);
    if (FAILED(planned)) {
        return planned;
    }
    if (other == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    Surface* z = From(other);
    if (z == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    // Only a Z-buffer of the same size attaches, to a surface that can be drawn into.
    if (z == this || z->m_kind != SurfaceKind::ZBuffer || m_kind == SurfaceKind::ZBuffer || m_kind == SurfaceKind::Primary ||
        z->m_width != m_width || z->m_height != m_height) {
        return DDERR_CANNOTATTACHSURFACE;
    }
    if (m_attachedZ != nullptr) {
        return DDERR_SURFACEALREADYATTACHED;
    }
    z->AddRefObject();
    m_attachedZ = z;
    return DD_OK;
}

HRESULT Surface::DeleteAttachedSurface(DWORD dwFlags, LPDIRECTDRAWSURFACE lpDDSAttachedSurface) { return Detach(dwFlags, lpDDSAttachedSurface); }
HRESULT Surface::DeleteAttachedSurface(DWORD dwFlags, LPDIRECTDRAWSURFACE3 lpDDSAttachedSurface) { return Detach(dwFlags, lpDDSAttachedSurface); }

HRESULT Surface::Detach(DWORD flags, IUnknown* other) {
    const HRESULT planned = EnterCall(Call::DeleteAttachedSurface);
    if (FAILED(planned)) {
        return planned;
    }
    if (flags != 0) {
        return DDERR_INVALIDPARAMS;
    }
    // A null surface detaches everything attached.
    Surface* z = other != nullptr ? From(other) : m_attachedZ;
    if (other != nullptr && z == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    if (z == nullptr || z != m_attachedZ) {
        return DDERR_SURFACENOTATTACHED;
    }
    FinishPendingWork();  // drawing into the Z-buffer being let go ends first
    z->FinishPendingWork();
    m_attachedZ = nullptr;
    z->DropReference();
    CallTrace::Record(TraceEvent{TraceKind::DeleteAttachedSurface});
    return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS lpDDSCaps) {
    const HRESULT planned = EnterCall(Call::GetCaps_IDirectDrawSurface);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSCaps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    lpDDSCaps->dwCaps = m_caps;
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat) {
    const HRESULT planned = EnterCall(Call::GetPixelFormat);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDPixelFormat == nullptr || lpDDPixelFormat->dwSize != sizeof(DDPIXELFORMAT)) {
        return DDERR_INVALIDPARAMS;
    }
    *lpDDPixelFormat = m_format;
    return DD_OK;
}

void Surface::FillDescription(DDSURFACEDESC& desc) const {
    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(m_width);
    desc.dwHeight = static_cast<DWORD>(m_height);
    if (m_kind != SurfaceKind::Primary) {
        desc.dwFlags |= DDSD_PITCH;
        desc.lPitch = m_pitch;
    }
    if (m_kind == SurfaceKind::ZBuffer) {
        desc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
        desc.dwZBufferBitDepth = m_format.dwZBufferBitDepth;
    }
    desc.ddpfPixelFormat = m_format;
    desc.ddsCaps.dwCaps = m_caps;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC lpDDSurfaceDesc) {
    const HRESULT planned = EnterCall(Call::GetSurfaceDesc);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSurfaceDesc == nullptr || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    FillDescription(*lpDDSurfaceDesc);
    return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) {
    const HRESULT planned = EnterCall(Call::SetClipper);
    if (FAILED(planned)) {
        return planned;
    }
    Clipper* clipper = nullptr;
    if (lpDDClipper != nullptr) {
        clipper = Clipper::From(lpDDClipper);
        if (clipper == nullptr) {
            return DDERR_INVALIDOBJECT;
        }
    }
    // Clip lists exist only for the screen here: a window's client area.
    if (m_kind != SurfaceKind::Primary && clipper != nullptr) {
        return DDERR_UNSUPPORTED;
    }
    if (clipper != nullptr) {
        clipper->AddRefObject();
    }
    if (m_clipper != nullptr) {
        m_clipper->DropReference();
    }
    m_clipper = clipper;
    return DD_OK;
}

// ---- Lock -------------------------------------------------------------------------------------

HRESULT Surface::Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) {
    const HRESULT planned = EnterCall(Call::Lock);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDDSurfaceDesc == nullptr || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC) || hEvent != nullptr ||
        (dwFlags & DDLOCK_EVENT) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (m_kind == SurfaceKind::Primary) {
        return DDERR_UNSUPPORTED;
    }
    if (m_locked) {
        return DDERR_SURFACEBUSY;
    }
    const RECT whole{0, 0, m_width, m_height};
    const RECT area = lpDestRect != nullptr ? *lpDestRect : whole;
    if (!InsideSurface(area, m_width, m_height) || IsEmpty(area)) {
        return DDERR_INVALIDRECT;
    }
    const HRESULT memory = EnsureMemory();
    if (FAILED(memory)) {
        return memory;
    }
    FinishPendingWork();  // the caller sees every draw made before the lock
    uint8_t* address = m_memory.data() + static_cast<size_t>(area.top) * static_cast<size_t>(m_pitch) +
                       static_cast<size_t>(area.left) * (m_layout.bitsPerPixel / 8);
    FillDescription(*lpDDSurfaceDesc);
    lpDDSurfaceDesc->dwFlags |= DDSD_LPSURFACE;
    lpDDSurfaceDesc->lpSurface = address;
    m_locked = true;
    m_lockedAddress = address;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID lpSurfaceData) {
    const HRESULT planned = EnterCall(Call::Unlock);
    if (FAILED(planned)) {
        return planned;
    }
    if (!m_locked) {
        return DDERR_NOTLOCKED;
    }
    if (lpSurfaceData != nullptr && lpSurfaceData != m_lockedAddress) {
        return DDERR_INVALIDPARAMS;
    }
    m_locked = false;
    m_lockedAddress = nullptr;
    return DD_OK;
}

// ---- Blt --------------------------------------------------------------------------------------

HRESULT Surface::Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags, LPDDBLTFX lpDDBltFx) {
    return BltFrom(lpDestRect, lpDDSrcSurface, lpSrcRect, dwFlags, lpDDBltFx);
}

HRESULT Surface::Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE3 lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags, LPDDBLTFX lpDDBltFx) {
    return BltFrom(lpDestRect, lpDDSrcSurface, lpSrcRect, dwFlags, lpDDBltFx);
}

HRESULT Surface::BltFrom(LPRECT dstRect, IUnknown* source, LPRECT srcRect, DWORD flags, LPDDBLTFX fx) {
    const HRESULT planned = EnterCall(Call::Blt);
    const bool colorFill = (flags & DDBLT_COLORFILL) != 0;
    const bool depthFill = (flags & DDBLT_DEPTHFILL) != 0;
    if (CallTrace::Active()) {
        const bool fill = colorFill || depthFill;
        TraceBlt(dstRect, srcRect, flags, fill, fill && fx != nullptr ? fx->dwFillColor : 0);
    }
    if (FAILED(planned)) {
        return planned;
    }
    constexpr DWORD kKnown = DDBLT_WAIT | DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_DEPTHFILL;
    if ((flags & ~kKnown) != 0) {
        return DDERR_UNSUPPORTED;
    }
    if (colorFill && depthFill) {
        return DDERR_INVALIDPARAMS;
    }
    const bool fill = colorFill || depthFill;
    if (fill ? (fx == nullptr || fx->dwSize != sizeof(DDBLTFX) || source != nullptr) : source == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (colorFill == (m_kind == SurfaceKind::ZBuffer) && fill) {
        return DDERR_INVALIDPARAMS;  // colour fills for colour surfaces, depth fills for Z-buffers
    }
    Surface* src = nullptr;
    RECT from{0, 0, 0, 0};
    if (source != nullptr) {
        src = From(source);
        if (src == nullptr) {
            return DDERR_INVALIDOBJECT;
        }
        if (src->m_kind == SurfaceKind::Primary) {
            return DDERR_UNSUPPORTED;
        }
        const bool srcZ = src->m_kind == SurfaceKind::ZBuffer;
        const bool dstZ = m_kind == SurfaceKind::ZBuffer;
        if (srcZ != dstZ || (srcZ && src->m_layout.bitsPerPixel != m_layout.bitsPerPixel)) {
            return DDERR_INVALIDPIXELFORMAT;
        }
        from = srcRect != nullptr ? *srcRect : RECT{0, 0, src->m_width, src->m_height};
        if (!InsideSurface(from, src->m_width, src->m_height)) {
            return DDERR_INVALIDRECT;
        }
    }
    if (m_locked || (src != nullptr && src->m_locked)) {
        return DDERR_SURFACEBUSY;
    }
    // Draws made before the blit land first, on either side.
    FinishPendingWork();
    if (src != nullptr) {
        src->FinishPendingWork();
    }

    if (m_kind == SurfaceKind::Primary) {
        const RECT to = dstRect != nullptr ? *dstRect : RECT{0, 0, m_width, m_height};
        if (to.left > to.right || to.top > to.bottom) {
            return DDERR_INVALIDRECT;
        }
        if (src != nullptr) {
            const HRESULT memory = src->EnsureMemory();
            if (FAILED(memory)) {
                return memory;
            }
        }
        const uint32_t fillArgb = colorFill ? raster::UnpackColor(m_layout, fx->dwFillColor) & 0x00FFFFFFu : 0;
        return BltToWindow(to, src, from, colorFill, fillArgb);
    }

    const RECT to = dstRect != nullptr ? *dstRect : RECT{0, 0, m_width, m_height};
    if (!InsideSurface(to, m_width, m_height)) {
        return DDERR_INVALIDRECT;
    }
    HRESULT memory = EnsureMemory();
    if (SUCCEEDED(memory) && src != nullptr) {
        memory = src->EnsureMemory();
    }
    if (FAILED(memory)) {
        return memory;
    }
    if (IsEmpty(to) || (src != nullptr && IsEmpty(from))) {
        return DD_OK;
    }

    const uint32_t bpp = m_layout.bitsPerPixel;
    const size_t bytesPerPixel = bpp / 8;
    uint8_t* const toOrigin = m_memory.data() + static_cast<size_t>(to.top) * static_cast<size_t>(m_pitch) +
                              static_cast<size_t>(to.left) * bytesPerPixel;
    if (fill) {
        const raster::RectFill rows{toOrigin, m_pitch, to.right - to.left, to.bottom - to.top,
                                    static_cast<uint32_t>(bytesPerPixel), fx->dwFillColor};
        raster::FillRows(rows, 0, rows.height);
        return DD_OK;
    }

    const int64_t dstW = to.right - to.left;
    const int64_t dstH = to.bottom - to.top;
    const int64_t srcW = from.right - from.left;
    const int64_t srcH = from.bottom - from.top;
    const bool oneToOne = dstW == srcW && dstH == srcH;
    const bool sameLayout = SameLayout(m_layout, src->m_layout);

    // A copy within one surface whose rectangles overlap reads from a snapshot of the source.
    std::vector<uint8_t> snapshot;
    const uint8_t* srcBase = src->m_memory.data();
    if (src == this && from.left < to.right && to.left < from.right && from.top < to.bottom && to.top < from.bottom) {
        snapshot = m_memory;
        srcBase = snapshot.data();
    }
    const uint32_t srcBpp = src->m_layout.bitsPerPixel;
    const size_t srcBytesPerPixel = srcBpp / 8;
    if (oneToOne && sameLayout) {
        const raster::RectCopy rows{toOrigin, m_pitch,
                                    srcBase + static_cast<size_t>(from.top) * static_cast<size_t>(src->m_pitch) +
                                        static_cast<size_t>(from.left) * srcBytesPerPixel,
                                    src->m_pitch, static_cast<int32_t>(dstW), static_cast<int32_t>(dstH),
                                    static_cast<uint32_t>(bytesPerPixel), raster::CopyKind::Bytes};
        raster::CopyRows(rows, 0, rows.height);
        return DD_OK;
    }
    for (int64_t dy = 0; dy < dstH; ++dy) {
        const int64_t sy = from.top + (oneToOne ? dy : NearestSource(dy, srcH, dstH));
        const uint8_t* srcRow = srcBase + static_cast<size_t>(sy) * static_cast<size_t>(src->m_pitch);
        uint8_t* dstRow = m_memory.data() + static_cast<size_t>(to.top + dy) * static_cast<size_t>(m_pitch);
        for (int64_t dx = 0; dx < dstW; ++dx) {
            const int64_t sx = from.left + (oneToOne ? dx : NearestSource(dx, srcW, dstW));
            uint32_t pixel = raster::LoadPixel(srcRow + static_cast<size_t>(sx) * srcBytesPerPixel, srcBpp);
            if (!sameLayout) {
                pixel = raster::PackColor(m_layout, raster::UnpackColor(src->m_layout, pixel));
            }
            raster::StorePixel(dstRow + static_cast<size_t>(to.left + dx) * bytesPerPixel, bpp, pixel);
        }
    }
    return DD_OK;
}

// The primary surface shows windows: a blit writes into the client area of the window its
// clipper is bound to, clipped to that client area. Without a clipper bound to a window the
// blit has no visible region and writes nothing.
HRESULT Surface::BltToWindow(const RECT& dst, Surface* src, const RECT& srcRect, bool fill, uint32_t fillArgb) {
    if (m_clipper == nullptr || m_clipper->Window() == nullptr || IsEmpty(dst)) {
        return DD_OK;
    }
    PlatformWindow& window = *m_clipper->Window();
    const SIZE client = window.ClientSize();
    const POINT origin = window.ClientOriginOnScreen();
    uint32_t* pixels = window.ClientPixels();
    const int32_t pitch = window.ClientPitchBytes();
    if (pixels == nullptr || client.cx <= 0 || client.cy <= 0 || int64_t{pitch} < int64_t{client.cx} * 4) {
        return DD_OK;
    }
    // Destination in client coordinates (64-bit: screen rectangles can be anywhere).
    const int64_t left = int64_t{dst.left} - origin.x;
    const int64_t top = int64_t{dst.top} - origin.y;
    const int64_t right = int64_t{dst.right} - origin.x;
    const int64_t bottom = int64_t{dst.bottom} - origin.y;
    const int64_t clipLeft = std::max<int64_t>(left, 0);
    const int64_t clipTop = std::max<int64_t>(top, 0);
    const int64_t clipRight = std::min<int64_t>(right, client.cx);
    const int64_t clipBottom = std::min<int64_t>(bottom, client.cy);
    if (clipLeft >= clipRight || clipTop >= clipBottom) {
        return DD_OK;
    }
    const int64_t dstW = right - left;
    const int64_t dstH = bottom - top;
    const int64_t srcW = srcRect.right - srcRect.left;
    const int64_t srcH = srcRect.bottom - srcRect.top;
    if (!fill && (srcW <= 0 || srcH <= 0)) {
        return DD_OK;
    }
    const bool oneToOne = fill || (dstW == srcW && dstH == srcH);
    uint8_t* const clipOrigin = reinterpret_cast<uint8_t*>(pixels) + static_cast<size_t>(clipTop) * static_cast<size_t>(pitch) +
                                static_cast<size_t>(clipLeft) * 4;
    const int32_t clipWidth = static_cast<int32_t>(clipRight - clipLeft);
    const int32_t clipHeight = static_cast<int32_t>(clipBottom - clipTop);
    if (fill) {
        const raster::RectFill rows{clipOrigin, pitch, clipWidth, clipHeight, 4, fillArgb};
        raster::FillRows(rows, 0, rows.height);
    } else if (oneToOne && IsXrgb8888(src->m_layout)) {
        const uint8_t* const from = src->m_memory.data() +
                                    static_cast<size_t>(srcRect.top + (clipTop - top)) * static_cast<size_t>(src->m_pitch) +
                                    static_cast<size_t>(srcRect.left + (clipLeft - left)) * 4;
        const raster::RectCopy rows{clipOrigin, pitch, from, src->m_pitch, clipWidth, clipHeight, 4, raster::CopyKind::OpaqueXrgb};
        raster::CopyRows(rows, 0, rows.height);
    } else {
        // Other formats and stretched copies, a pixel at a time.
        const Widener widen(src->m_layout);
        const uint32_t srcBpp = src->m_layout.bitsPerPixel;
        const size_t srcBytesPerPixel = srcBpp / 8;
        for (int64_t y = clipTop; y < clipBottom; ++y) {
            uint32_t* out = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) + static_cast<size_t>(y) * static_cast<size_t>(pitch));
            const int64_t dy = y - top;
            const int64_t sy = srcRect.top + (oneToOne ? dy : NearestSource(dy, srcH, dstH));
            const uint8_t* srcRow = src->m_memory.data() + static_cast<size_t>(sy) * static_cast<size_t>(src->m_pitch);
            if (oneToOne && srcBpp == 16) {
                const uint16_t* in = reinterpret_cast<const uint16_t*>(srcRow) + (srcRect.left + (clipLeft - left));
                for (int64_t x = clipLeft; x < clipRight; ++x) {
                    out[x] = widen(*in++);
                }
                continue;
            }
            for (int64_t x = clipLeft; x < clipRight; ++x) {
                const int64_t dx = x - left;
                const int64_t sx = srcRect.left + (oneToOne ? dx : NearestSource(dx, srcW, dstW));
                out[x] = widen(raster::LoadPixel(srcRow + static_cast<size_t>(sx) * srcBytesPerPixel, srcBpp));
            }
        }
    }
    window.ClientPixelsChanged(RECT{static_cast<LONG>(clipLeft), static_cast<LONG>(clipTop), static_cast<LONG>(clipRight),
                                    static_cast<LONG>(clipBottom)});
    return DD_OK;
}

// ---- IDirect3DTexture2::Load ------------------------------------------------------------------

HRESULT Surface::Load(LPDIRECT3DTEXTURE2 lpD3DTexture2) {
    const HRESULT planned = EnterCall(Call::Load);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpD3DTexture2 == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    Surface* src = From(lpD3DTexture2);
    if (src == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    if (src == this) {
        return D3D_OK;  // a texture loaded from itself already holds its image
    }
    if (src->m_width != m_width || src->m_height != m_height || !SameFormat(src->m_format, m_format)) {
        return D3DERR_TEXTURE_LOAD_FAILED;
    }
    if (m_locked || src->m_locked) {
        return DDERR_SURFACEBUSY;
    }
    FinishPendingWork();  // draws with the old image end before it changes
    src->FinishPendingWork();
    HRESULT memory = src->EnsureMemory();
    if (SUCCEEDED(memory)) {
        memory = EnsureMemory();  // an allocate-on-load surface gets its memory now
    }
    if (FAILED(memory)) {
        return memory;
    }
    std::memcpy(m_memory.data(), src->m_memory.data(), m_memory.size());
    return D3D_OK;
}

// ---- IDirect3DTexture2::GetHandle -------------------------------------------------------------

HRESULT Surface::GetHandle(LPDIRECT3DDEVICE2 lpDirect3DDevice2, LPD3DTEXTUREHANDLE lpHandle) {
    const HRESULT planned = EnterCall(Call::GetHandle);
    if (FAILED(planned)) {
        return planned;
    }
    if (lpDirect3DDevice2 == nullptr || lpHandle == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    TextureHandleTable* device = dynamic_cast<TextureHandleTable*>(lpDirect3DDevice2);
    if (device == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    const D3DTEXTUREHANDLE handle = device->HandleFor(this);
    if (handle == 0) {
        return DDERR_OUTOFMEMORY;
    }
    *lpHandle = handle;
    return D3D_OK;
}

}  // namespace platform
