// The texture interface of the render context over its slot table.
#include "render/RenderContext.h"

namespace {
constexpr int32_t kMaxTextureSide = 256;
}

bool CRenderContext::BindTexture(int32_t index) {
    m_textureIndex = index;
    if (index < 0 || index >= m_slotCount || m_slots == nullptr || m_textureEnabled == 0) {
        SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    } else if (IsDeferred()) {
        // The handle and state reach the device with the queued primitives.
        m_slots[index].SetPending(true);
    } else {
        m_slots[index].BindHandle();
    }
    return true;
}

bool CRenderContext::TexImage(int32_t size, int32_t height, int32_t format, const uint8_t* pixels,
                              const uint8_t* palette) {
    if (!IsOpen() || m_textureIndex < 0 || m_textureIndex >= m_slotCount) return false;
    CTextureSlot& slot = m_slots[m_textureIndex];
    // A positive height gives the row count of a non-square image, so a caller holding one
    // never has more rows read than it has; 0 (or less) means square.
    if (!slot.StorePixels(size, height > 0 ? height : size, format, pixels, palette)) return false;
    return slot.Upload(m_device, m_ddraw, kMaxTextureSide, kMaxTextureSide);
}

bool CRenderContext::TexEnv(int32_t target, int32_t name, int32_t value) {
    if (target != RC_TEXTURE_ENV) return false;
    if (m_slots == nullptr || m_textureIndex < 0 || m_textureIndex >= m_slotCount) return false;
    if (name != RC_TEXTURE_ENV_MODE) return false;
    m_slots[m_textureIndex].SetBlendMode(static_cast<uint32_t>(value));
    return true;
}

bool CRenderContext::TexParameter(int32_t target, int32_t name, int32_t value) {
    if (target != RC_TEXTURE_2D) return false;
    if (m_slots == nullptr || m_textureIndex < 0 || m_textureIndex >= m_slotCount) return false;
    CTextureSlot& slot = m_slots[m_textureIndex];
    const auto v = static_cast<uint32_t>(value);
    switch (name) {
    case RC_TEXTURE_MIN_FILTER: slot.SetMinFilter(v); return true;
    case RC_TEXTURE_MAG_FILTER: slot.SetMagFilter(v); return true;
    case RC_TEXTURE_WRAP_S: slot.SetAddressU(v); return true;
    case RC_TEXTURE_WRAP_T: slot.SetAddressV(v); return true;
    default: return false;
    }
}
