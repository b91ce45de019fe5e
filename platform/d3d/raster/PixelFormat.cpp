// Pixel packing for every surface format the device can list: masks say where each channel lives.
#include "platform/d3d/raster/Raster.h"

#include <bit>

namespace raster {

namespace {

// Places the top bits of an 8-bit channel into `mask` (truncation when the mask is narrower).
inline uint32_t PackChannel(uint32_t value8, uint32_t mask)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t v = value8 & 0xFFu;
    if (bits < 8) {
        v >>= (8 - bits);
    } else if (bits > 8) {
        v <<= (bits - 8);
    }
    return (v << shift) & mask;
}

// Reads a channel from `mask` and widens it to 8 bits by bit replication (so 0x1F -> 0xFF).
inline uint32_t UnpackChannel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) {
        return v >> (bits - 8);
    }
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | v;
        filled += bits;
    }
    return out >> (filled - 8);
}

}  // namespace

uint32_t PackColor(const PixelLayout& layout, uint32_t argb)
{
    return PackChannel(argb >> 16, layout.rMask) | PackChannel(argb >> 8, layout.gMask) |
           PackChannel(argb, layout.bMask) | PackChannel(argb >> 24, layout.aMask);
}

uint32_t UnpackColor(const PixelLayout& layout, uint32_t pixel)
{
    const uint32_t a = layout.aMask != 0 ? UnpackChannel(pixel, layout.aMask) : 0xFFu;
    return (a << 24) | (UnpackChannel(pixel, layout.rMask) << 16) |
           (UnpackChannel(pixel, layout.gMask) << 8) | UnpackChannel(pixel, layout.bMask);
}

uint32_t LoadPixel(const uint8_t* p, uint32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 8:
        return p[0];
    case 16:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
    case 24:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    default:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
    }
}

void StorePixel(uint8_t* p, uint32_t bitsPerPixel, uint32_t value)
{
    switch (bitsPerPixel) {
    case 8:
        p[0] = uint8_t(value);
        break;
    case 16:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        break;
    case 24:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value >> 16);
        break;
    default:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value >> 16);
        p[3] = uint8_t(value >> 24);
        break;
    }
}

bool IsSupportedLayout(const PixelLayout& layout)
{
    const uint32_t bpp = layout.bitsPerPixel;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        return false;
    }
    // Every mask fits the pixel.
    if ((uint64_t(layout.rMask | layout.gMask | layout.bMask | layout.aMask) >> bpp) != 0) {
        return false;
    }
    if (layout.rMask == 0 || layout.gMask == 0 || layout.bMask == 0) {
        return false;
    }
    // Channels must not overlap.
    const uint32_t masks[4] = {layout.rMask, layout.gMask, layout.bMask, layout.aMask};
    uint32_t seen = 0;
    for (uint32_t m : masks) {
        if ((seen & m) != 0) {
            return false;
        }
        seen |= m;
        // Each channel is one contiguous run of bits.
        if (m != 0) {
            const uint32_t run = m >> std::countr_zero(m);
            if ((run & (run + 1)) != 0) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace raster
