// Builds bitmap file images in memory for the texture-image tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace rendertest {

struct Bgr {
    uint8_t b, g, r;
};

// A bitmap file image: 14-byte file header, 40-byte information header, rows padded to four
// bytes, stored in the order given (row 0 first). `pixel(column, storedRow)` gives each pixel;
// for 32-bit images the fourth byte is 0xEE.
inline std::vector<uint8_t> MakeBitmap(int32_t width, int32_t height, int32_t bits,
                                       const std::function<Bgr(int32_t, int32_t)>& pixel) {
    const int32_t bytesPerPixel = bits / 8;
    const int32_t stride = (width * bytesPerPixel + 3) & ~3;
    const uint32_t fileSize = 54u + static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> file(fileSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) file[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = static_cast<uint8_t>(bits);
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t col = 0; col < width; ++col) {
            const Bgr p = pixel(col, row);
            uint8_t* at = &file[54 + static_cast<size_t>(row * stride + col * bytesPerPixel)];
            at[0] = p.b;
            at[1] = p.g;
            at[2] = p.r;
            if (bytesPerPixel == 4) at[3] = 0xEE;
        }
        // Padding bytes get a marker that must never reach the image.
        for (int32_t k = width * bytesPerPixel; k < stride; ++k) file[54 + static_cast<size_t>(row * stride + k)] = 0x5A;
    }
    return file;
}

inline void Put32(std::vector<uint8_t>& file, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) file[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
}

}  // namespace rendertest
