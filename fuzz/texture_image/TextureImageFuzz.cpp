// The texture image from a bitmap pair on arbitrary bytes. Input: a 4-byte little-endian length
// of the colour file, the colour file, then the alpha file (the rest).
#include "render/TextureImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const size_t colorBytes = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                              static_cast<size_t>(data[2]) << 16 | static_cast<size_t>(data[3]) << 24;
    const uint8_t* rest = data + 4;
    const size_t restBytes = size - 4;
    if (colorBytes > restBytes) return 0;
    CTextureImage image(rest, colorBytes, rest + colorBytes, restBytes - colorBytes);
    if (image.IsEmpty()) {
        if (image.m_width != 0 || image.m_height != 0) std::abort();
        return 0;
    }
    // Every pixel the image claims must be readable.
    unsigned sum = 0;
    const size_t bytes = static_cast<size_t>(image.m_width) * static_cast<size_t>(image.m_height) * 4;
    for (size_t i = 0; i < bytes; ++i) sum += image.m_pixels[i];
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
