#include "render/TextureSlot.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t kPaletteBytes = 768;

int32_t SourceBytes(int32_t format) {
    switch (format) {
    case RC_PIXELS_RGB: return 3;
    case RC_PIXELS_RGBA: return 4;
    case RC_PIXELS_INDEXED: return 1;
    default: return 0;
    }
}

int32_t TrailingZeros(uint32_t mask) {
    if (mask == 0) return 0;
    int32_t n = 0;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++n;
    }
    return n;
}

int32_t BitCount(uint32_t mask) {
    int32_t n = 0;
    for (; mask != 0; mask &= mask - 1) ++n;
    return n;
}

struct FormatChoice {
    uint8_t found;
    uint8_t wantAlpha;
    DDPIXELFORMAT format;
};

// Only depths the conversion can write are taken: 16 and 32 bits, and 24 bits for opaque images.
HRESULT ChooseFormat(LPDDSURFACEDESC desc, LPVOID context) {
    auto* choice = static_cast<FormatChoice*>(context);
    if (desc == nullptr) return D3DENUMRET_OK;
    const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
    const DWORD bits = pf.dwRGBBitCount;
    if ((pf.dwFlags & DDPF_RGB) == 0 || (pf.dwFlags & DDPF_ALPHA) != 0 || bits < 16) return D3DENUMRET_OK;
    bool accepted;
    if (choice->wantAlpha != 0) {
        accepted = (pf.dwFlags & DDPF_ALPHAPIXELS) != 0 && BitCount(pf.dwRGBAlphaBitMask) >= 2 &&
                   (bits == 16 || bits == 32);
    } else {
        accepted = (pf.dwFlags & DDPF_ALPHAPIXELS) == 0 && (bits == 16 || bits == 24 || bits == 32);
    }
    if (!accepted) return D3DENUMRET_OK;
    choice->found = 1;
    choice->format = pf;
    return D3DENUMRET_CANCEL;
}

}  // namespace

CTextureSlot::CTextureSlot()
    : m_device(nullptr),
      m_systemSurface(nullptr),
      m_deviceSurface(nullptr),
      m_systemTexture(nullptr),
      m_deviceTexture(nullptr),
      m_handle(0),
      m_width(0),
      m_height(0),
      m_format(0),
      m_pixels(nullptr),
      m_palette(nullptr),
      m_pending(0),
      m_state{D3DTBLEND_MODULATE, D3DFILTER_LINEAR, D3DFILTER_LINEAR, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP},
      m_hasAlpha(0),
      m_channels{} {}

CTextureSlot::~CTextureSlot() {
    ReleaseObjects();
    delete[] m_pixels;
    delete[] m_palette;
}

void CTextureSlot::ReleaseObjects() {
    if (m_deviceTexture != nullptr) m_deviceTexture->Release();
    if (m_systemTexture != nullptr) m_systemTexture->Release();
    if (m_deviceSurface != nullptr) m_deviceSurface->Release();
    if (m_systemSurface != nullptr) m_systemSurface->Release();
    m_deviceTexture = nullptr;
    m_systemTexture = nullptr;
    m_deviceSurface = nullptr;
    m_systemSurface = nullptr;
    m_handle = 0;
    m_device = nullptr;
}

bool CTextureSlot::StorePixels(int32_t width, int32_t height, int32_t format, const uint8_t* pixels,
                               const uint8_t* palette) {
    const int32_t bytesPerPixel = SourceBytes(format);
    if (bytesPerPixel == 0 || pixels == nullptr || width <= 0 || height <= 0 || width > RC_MAX_IMAGE_SIDE ||
        height > RC_MAX_IMAGE_SIDE) {
        return false;
    }
    if (format == RC_PIXELS_INDEXED && palette == nullptr) return false;
    // The copy must keep describing the texture made from it.
    if (m_handle != 0 || m_systemSurface != nullptr || m_deviceSurface != nullptr || m_systemTexture != nullptr ||
        m_deviceTexture != nullptr) {
        return false;
    }

    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bytesPerPixel);
    auto* copy = new (std::nothrow) uint8_t[bytes];
    if (copy == nullptr) return false;
    uint8_t* paletteCopy = nullptr;
    if (format == RC_PIXELS_INDEXED) {
        paletteCopy = new (std::nothrow) uint8_t[kPaletteBytes];
        if (paletteCopy == nullptr) {
            delete[] copy;
            return false;
        }
        std::memcpy(paletteCopy, palette, kPaletteBytes);
    }
    std::memcpy(copy, pixels, bytes);

    delete[] m_pixels;
    delete[] m_palette;
    m_pixels = copy;
    m_palette = paletteCopy;
    m_width = width;
    m_height = height;
    m_format = format;
    return true;
}

void CTextureSlot::SetChannelMasks(const DDPIXELFORMAT& format) {
    const uint32_t masks[4] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask, format.dwRGBAlphaBitMask};
    for (int i = 0; i < 4; ++i) {
        m_channels[i].mask = masks[i];
        m_channels[i].shift = TrailingZeros(masks[i]);
        m_channels[i].maxValue = masks[i] >> m_channels[i].shift;
    }
}

bool CTextureSlot::Upload(IDirect3DDevice2* device, IDirectDraw2* ddraw, int32_t maxWidth, int32_t maxHeight) {
    if (device == nullptr || ddraw == nullptr || maxWidth <= 0 || maxHeight <= 0) return false;
    if (m_handle != 0 || m_systemSurface != nullptr || m_deviceSurface != nullptr || m_systemTexture != nullptr ||
        m_deviceTexture != nullptr) {
        return false;
    }
    if (m_pixels == nullptr || m_width <= 0 || m_height <= 0) return false;
    const int32_t tw = maxWidth < m_width ? maxWidth : m_width;
    const int32_t th = maxHeight < m_height ? maxHeight : m_height;

    D3DDEVICEDESC hardwareDesc{};
    D3DDEVICEDESC emulationDesc{};
    hardwareDesc.dwSize = sizeof hardwareDesc;
    emulationDesc.dwSize = sizeof emulationDesc;
    if (FAILED(device->GetCaps(&hardwareDesc, &emulationDesc))) return false;
    const bool hardware = hardwareDesc.dcmColorModel != 0;

    FormatChoice choice{};
    choice.wantAlpha = m_format == RC_PIXELS_RGBA ? 1 : 0;
    device->EnumTextureFormats(ChooseFormat, &choice);
    if (choice.found == 0) return false;

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwHeight = static_cast<DWORD>(th);
    desc.dwWidth = static_cast<DWORD>(tw);
    desc.ddpfPixelFormat = choice.format;

    // Every platform step is checked; a failure gives back what this upload made.
    auto fail = [this]() {
        ReleaseObjects();
        return false;
    };
    if (hardware) {
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD;
        if (FAILED(ddraw->CreateSurface(&desc, &m_deviceSurface, nullptr)) || m_deviceSurface == nullptr) {
            m_deviceSurface = nullptr;
            return fail();
        }
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
        if (FAILED(ddraw->CreateSurface(&desc, &m_systemSurface, nullptr)) || m_systemSurface == nullptr) {
            m_systemSurface = nullptr;
            return fail();
        }
    } else {
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
        if (FAILED(ddraw->CreateSurface(&desc, &m_deviceSurface, nullptr)) || m_deviceSurface == nullptr) {
            m_deviceSurface = nullptr;
            return fail();
        }
        m_systemSurface = m_deviceSurface;
        m_systemSurface->AddRef();
    }

    DDSURFACEDESC locked{};
    locked.dwSize = sizeof locked;
    if (FAILED(m_systemSurface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY | DDLOCK_NOSYSLOCK, nullptr))) {
        return fail();
    }
    const auto bitsPerPixel = static_cast<int32_t>(locked.ddpfPixelFormat.dwRGBBitCount);
    const bool fits = locked.lpSurface != nullptr && locked.dwWidth >= static_cast<DWORD>(tw) &&
                      locked.dwHeight >= static_cast<DWORD>(th) &&
                      static_cast<int64_t>(locked.lPitch) >= static_cast<int64_t>(tw) * (bitsPerPixel / 8);
    if (fits) {
        SetChannelMasks(locked.ddpfPixelFormat);
        ConvertPixels(static_cast<uint8_t*>(locked.lpSurface), locked.lPitch, bitsPerPixel, tw, th);
    }
    m_systemSurface->Unlock(nullptr);
    if (!fits) return fail();
    // An indexed image is expanded through its palette into an opaque texture.
    m_hasAlpha = m_format == RC_PIXELS_RGBA ? 1 : 0;

    if (FAILED(m_deviceSurface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&m_deviceTexture))) ||
        m_deviceTexture == nullptr) {
        m_deviceTexture = nullptr;
        return fail();
    }
    if (FAILED(m_systemSurface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&m_systemTexture))) ||
        m_systemTexture == nullptr) {
        m_systemTexture = nullptr;
        return fail();
    }
    if (FAILED(m_deviceTexture->Load(m_systemTexture))) return fail();
    D3DTEXTUREHANDLE handle = 0;
    if (FAILED(m_deviceTexture->GetHandle(device, &handle)) || handle == 0) return fail();
    m_handle = handle;
    m_device = device;
    return true;
}

namespace {

// One destination layout per instantiation, so the per-pixel loop carries no format switch.
// Bytes: 4 and 3 take the channel bytes unscaled; 2 rescales each channel to its bit width.
template <int Bytes, bool Alpha>
void ConvertRow(uint8_t* dst, const uint8_t* const* sources, int32_t tw, const ChannelMask* c) {
    for (int32_t j = 0; j < tw; ++j) {
        const uint8_t* src = sources[j];
        const uint32_t r = src[0];
        const uint32_t g = src[1];
        const uint32_t b = src[2];
        if constexpr (Bytes == 2) {
            uint32_t value = (((r * c[0].maxValue / 255) << c[0].shift) & c[0].mask) |
                             (((g * c[1].maxValue / 255) << c[1].shift) & c[1].mask) |
                             (((b * c[2].maxValue / 255) << c[2].shift) & c[2].mask);
            if constexpr (Alpha) value |= ((src[3] * c[3].maxValue / 255) << c[3].shift) & c[3].mask;
            const auto word = static_cast<uint16_t>(value);
            std::memcpy(dst + static_cast<ptrdiff_t>(j) * 2, &word, 2);
        } else {
            uint32_t value = ((r << c[0].shift) & c[0].mask) | ((g << c[1].shift) & c[1].mask) |
                             ((b << c[2].shift) & c[2].mask);
            if constexpr (Alpha) value |= (static_cast<uint32_t>(src[3]) << c[3].shift) & c[3].mask;
            if constexpr (Bytes == 4) {
                std::memcpy(dst + static_cast<ptrdiff_t>(j) * 4, &value, 4);
            } else {
                uint8_t* p = dst + static_cast<ptrdiff_t>(j) * 3;
                p[0] = static_cast<uint8_t>(value);
                p[1] = static_cast<uint8_t>(value >> 8);
                p[2] = static_cast<uint8_t>(value >> 16);
            }
        }
    }
}

}  // namespace

void CTextureSlot::ConvertPixels(uint8_t* surface, int32_t pitch, int32_t bitsPerPixel, int32_t tw, int32_t th) const {
    const int32_t sourceBytes = SourceBytes(m_format);
    const bool alpha = m_format == RC_PIXELS_RGBA;
    // A 4-byte source has no 24-bit layout; the format choice never picks one.
    if (bitsPerPixel == 24 && alpha) return;
    // The source pixel of each texture column, resampled to the nearest image pixel; indexed
    // sources point into the palette.
    const uint8_t* sources[RC_MAX_IMAGE_SIDE];
    for (int32_t i = 0; i < th; ++i) {
        const int64_t row = static_cast<int64_t>(i) * m_height / th;
        const uint8_t* rowStart = m_pixels + row * m_width * sourceBytes;
        for (int32_t j = 0; j < tw; ++j) {
            const uint8_t* src = rowStart + static_cast<int64_t>(j) * m_width / tw * sourceBytes;
            sources[j] = m_format == RC_PIXELS_INDEXED ? m_palette + static_cast<size_t>(src[0]) * 3 : src;
        }
        uint8_t* dst = surface + static_cast<ptrdiff_t>(i) * pitch;
        switch (bitsPerPixel) {
        case 32:
            if (alpha) ConvertRow<4, true>(dst, sources, tw, m_channels);
            else ConvertRow<4, false>(dst, sources, tw, m_channels);
            break;
        case 24:
            ConvertRow<3, false>(dst, sources, tw, m_channels);
            break;
        case 16:
            if (alpha) ConvertRow<2, true>(dst, sources, tw, m_channels);
            else ConvertRow<2, false>(dst, sources, tw, m_channels);
            break;
        default:
            return;  // no layout to write
        }
    }
}

bool CTextureSlot::ApplyState(const TextureStateBlock& block) const {
    if (m_device == nullptr) return false;
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, block.blendMode);
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, block.magFilter);
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREMIN, block.minFilter);
    m_device->SetRenderState(D3DRENDERSTATE_WRAPU, FALSE);
    m_device->SetRenderState(D3DRENDERSTATE_WRAPV, FALSE);
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESSU, block.addressU);
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESSV, block.addressV);
    return true;
}

bool CTextureSlot::BindHandle() const {
    if (m_device == nullptr) return false;
    m_device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, m_handle);
    return true;
}
