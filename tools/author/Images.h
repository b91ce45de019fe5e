// The images the viewer carries: the texture pair (colour and grey alpha, 256 x 256), the
// toolbar strip (five 16 x 15 buttons) and the program icon (a PNG with alpha, any size; 32 x 32
// embedded, the desktop's icon theme gets the same design at its sizes).
#pragma once

#include <cstdint>
#include <vector>

namespace author {

// A picture as a viewer shows it: rows from the top, 0x00RRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    std::vector<uint8_t> alpha;  // empty when the picture is opaque
};

// Windows bitmap file, 24 bits per pixel, pixel data at byte 54, bottom row stored first.
std::vector<uint8_t> EncodeBmp24(const Picture& picture);

// PNG file, 8-bit RGBA, stored (uncompressed) deflate blocks: the same bytes with any zlib.
std::vector<uint8_t> EncodePngStored(const Picture& picture);

// The floor-and-panel texture: tiles with thin grout lines, hatching and fine checkers, the
// songbird emblem in the middle, round holes in the corner tiles (alpha 0), a translucent
// gradient along the top row and a soft halo around the emblem.
Picture TexturePicture();
std::vector<uint8_t> TextureColorBmp(const Picture& texture);
std::vector<uint8_t> TextureAlphaBmp(const Picture& texture);  // grey: alpha in all three bytes

// Toolbar buttons cut, copy, paste, print, about, 16 x 15 each, on the button face grey.
constexpr uint32_t kButtonFace = 0xC0C0C0u;
Picture ToolbarPicture();

// The program icon: quillmote, the songbird, drawn afresh for a square of `size` pixels (1 to
// 1024; others are clamped), so every size is sharp. The embedded icon is 32 x 32.
Picture IconPicture(int size = 32);

}  // namespace author
