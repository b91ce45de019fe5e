// A 32-bit RGBA image built from two bitmap file images of the same size: colour from the
// first, alpha from the blue byte of the second. Rows stay in stored order (a bottom-up bitmap
// gives the bottom row first).
#pragma once

#include <cstddef>
#include <cstdint>

class CTextureImage {
public:
    // Bounded form: each file image has the given size in bytes. A pair that cannot be read
    // safely (too short, pixel data not at byte 54, fewer than 24 bits per pixel, sizes,
    // depths or headers that differ, a non-positive or huge width or height) leaves the image
    // empty: no pixels, width and height 0.
    CTextureImage(const uint8_t* colorFile, size_t colorBytes, const uint8_t* alphaFile, size_t alphaBytes);
    // Unsized form for images whose memory holds the whole file as its own header declares it
    // (the file size at byte 2); the same checks apply within that size.
    CTextureImage(const uint8_t* colorFile, const uint8_t* alphaFile);
    virtual ~CTextureImage();
    CTextureImage(const CTextureImage&) = delete;
    CTextureImage& operator=(const CTextureImage&) = delete;

    bool IsEmpty() const { return m_pixels == nullptr; }

    uint8_t* m_pixels;  // m_width x m_height x 4 bytes: red, green, blue, alpha
    int32_t m_width;
    int32_t m_height;
};
