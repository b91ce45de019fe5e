#include "render/TextureImage.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t kHeaderBytes = 54;  // file header (14) + information header (40)
constexpr int32_t kMaxSide = 16384;

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct BitmapLayout {
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    size_t stride;
};

// The layout of a bitmap file image whose pixel data starts right after a 54-byte header, or
// false when it cannot be read safely within `bytes`.
bool ReadLayout(const uint8_t* file, size_t bytes, BitmapLayout* out) {
    if (file == nullptr || bytes < kHeaderBytes) return false;
    if (ReadU32(file + 10) != kHeaderBytes) return false;
    const auto width = static_cast<int32_t>(ReadU32(file + 18));
    const auto height = static_cast<int32_t>(ReadU32(file + 22));
    const uint16_t bits = ReadU16(file + 28);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    if (bits != 24 && bits != 32) return false;
    out->width = width;
    out->height = height;
    out->bytesPerPixel = bits / 8;
    out->stride = (static_cast<size_t>(width) * static_cast<size_t>(out->bytesPerPixel) + 3) & ~static_cast<size_t>(3);
    const size_t pixelBytes = out->stride * static_cast<size_t>(height);
    return pixelBytes <= bytes - kHeaderBytes;
}

size_t DeclaredSize(const uint8_t* file) { return file == nullptr ? 0 : ReadU32(file + 2); }

}  // namespace

CTextureImage::CTextureImage(const uint8_t* colorFile, const uint8_t* alphaFile)
    : CTextureImage(colorFile, DeclaredSize(colorFile), alphaFile, DeclaredSize(alphaFile)) {}

CTextureImage::CTextureImage(const uint8_t* colorFile, size_t colorBytes, const uint8_t* alphaFile, size_t alphaBytes)
    : m_pixels(nullptr), m_width(0), m_height(0) {
    BitmapLayout color{};
    BitmapLayout alpha{};
    if (!ReadLayout(colorFile, colorBytes, &color) || !ReadLayout(alphaFile, alphaBytes, &alpha)) return;
    // The alpha bitmap is read with the colour bitmap's layout, so it must share it.
    if (alpha.width != color.width || alpha.height != color.height || alpha.bytesPerPixel != color.bytesPerPixel) {
        return;
    }

    const size_t count = static_cast<size_t>(color.width) * static_cast<size_t>(color.height);
    m_pixels = new (std::nothrow) uint8_t[count * 4];
    if (m_pixels == nullptr) return;
    m_width = color.width;
    m_height = color.height;

    uint8_t* out = m_pixels;
    for (int32_t i = 0; i < color.height; ++i) {
        const size_t rowStart = kHeaderBytes + static_cast<size_t>(i) * color.stride;
        const uint8_t* c = colorFile + rowStart;
        const uint8_t* a = alphaFile + rowStart;
        for (int32_t j = 0; j < color.width; ++j) {
            out[0] = c[2];
            out[1] = c[1];
            out[2] = c[0];
            out[3] = a[0];
            out += 4;
            c += color.bytesPerPixel;
            a += color.bytesPerPixel;
        }
    }
}

CTextureImage::~CTextureImage() { delete[] m_pixels; }
