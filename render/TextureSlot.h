// One entry of the render context's texture table: the slot's copy of the source pixels, the
// surfaces and texture objects made from them, the handle the device binds and the five
// render-state values that travel with the texture.
#pragma once

#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"

#include <cstdint>

// Pixel formats of TexImage.
constexpr int32_t RC_PIXELS_RGB = 0;      // 3 bytes: red, green, blue
constexpr int32_t RC_PIXELS_RGBA = 1;     // 4 bytes: red, green, blue, alpha
constexpr int32_t RC_PIXELS_INDEXED = 2;  // 1 byte index into a 256 x 3-byte palette

// Largest image side a slot accepts (keeps width x height x 4 well inside 32 bits).
constexpr int32_t RC_MAX_IMAGE_SIDE = 4096;

struct TextureStateBlock {
    uint32_t blendMode;  // D3DRENDERSTATE_TEXTUREMAPBLEND
    uint32_t minFilter;  // D3DRENDERSTATE_TEXTUREMIN
    uint32_t magFilter;  // D3DRENDERSTATE_TEXTUREMAG
    uint32_t addressU;   // D3DRENDERSTATE_TEXTUREADDRESSU
    uint32_t addressV;   // D3DRENDERSTATE_TEXTUREADDRESSV
};

struct ChannelMask {
    int32_t shift;      // zero bits below the mask
    uint32_t mask;      // the channel's bits in the texture surface's format
    uint32_t maxValue;  // mask >> shift
};

class CTextureSlot {
public:
    CTextureSlot();
    virtual ~CTextureSlot();
    CTextureSlot(const CTextureSlot&) = delete;
    CTextureSlot& operator=(const CTextureSlot&) = delete;

    // Keeps a copy of width x height pixels (and the 768-byte palette of an indexed image).
    // Refused (false, nothing changes) for a size outside 1..RC_MAX_IMAGE_SIDE, a null pixel
    // pointer, an indexed image without palette, an unknown format, a failed allocation, or a
    // slot that already holds a texture.
    bool StorePixels(int32_t width, int32_t height, int32_t format, const uint8_t* pixels, const uint8_t* palette);
    // Converts the stored pixels into a texture for `device`, at most maxWidth x maxHeight
    // (larger images are resampled, nearest pixel). False when the slot is already loaded,
    // holds no pixels, or any platform step fails; a failed upload leaves no objects behind.
    bool Upload(IDirect3DDevice2* device, IDirectDraw2* ddraw, int32_t maxWidth, int32_t maxHeight);
    void SetChannelMasks(const DDPIXELFORMAT& format);

    void SetBlendMode(uint32_t value) { m_state.blendMode = value; m_pending = 1; }
    void SetMinFilter(uint32_t value) { m_state.minFilter = value; m_pending = 1; }
    void SetMagFilter(uint32_t value) { m_state.magFilter = value; m_pending = 1; }
    void SetAddressU(uint32_t value) { m_state.addressU = value; m_pending = 1; }
    void SetAddressV(uint32_t value) { m_state.addressV = value; m_pending = 1; }

    // Seven render states on m_device; false and nothing sent while the slot has no texture.
    bool ApplyState(const TextureStateBlock& block) const;
    bool ApplyOwnState() const { return ApplyState(m_state); }
    void CopyState(TextureStateBlock* destination) const { *destination = m_state; }
    // The texture handle on m_device; false and nothing sent while the slot has no texture.
    bool BindHandle() const;

    bool HasAlpha() const { return m_hasAlpha != 0; }
    bool IsPending() const { return m_pending != 0; }
    void SetPending(bool pending) { m_pending = pending ? 1 : 0; }
    bool IsLoaded() const { return m_handle != 0; }

    IDirect3DDevice2* m_device;
    IDirectDrawSurface* m_systemSurface;
    IDirectDrawSurface* m_deviceSurface;
    IDirect3DTexture2* m_systemTexture;
    IDirect3DTexture2* m_deviceTexture;
    D3DTEXTUREHANDLE m_handle;
    int32_t m_width;
    int32_t m_height;
    int32_t m_format;
    uint8_t* m_pixels;
    uint8_t* m_palette;
    uint8_t m_pending;
    TextureStateBlock m_state;
    uint8_t m_hasAlpha;
    ChannelMask m_channels[4];  // red, green, blue, alpha

private:
    void ReleaseObjects();
    void ConvertPixels(uint8_t* surface, int32_t pitch, int32_t bitsPerPixel, int32_t tw, int32_t th) const;
};
