// Rectangle fills for colour and depth (clears and colour-fill blits).
#include "platform/d3d/raster/BlockTransfer.h"

#include <algorithm>

namespace raster {

namespace {

// Fills the rectangle [x0, x1) x [y0, y1), clipped to a buffer of `width` x `height` pixels.
void FillClipped(uint8_t* base, int32_t pitch, int32_t width, int32_t height, uint32_t bytesPerPixel,
                 int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t value)
{
    if (base == nullptr || int64_t(pitch) < int64_t(width) * bytesPerPixel) {
        return;
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const RectFill fill{base + ptrdiff_t(y0) * pitch + ptrdiff_t(x0) * bytesPerPixel, pitch, x1 - x0, y1 - y0,
                        bytesPerPixel, value};
    FillRows(fill, 0, fill.height);
}

}  // namespace

void FillColor(const ColorTarget& t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t raw)
{
    if (IsSupportedLayout(t.layout)) {
        FillClipped(t.pixels, t.pitch, t.width, t.height, t.layout.bitsPerPixel / 8, x0, y0, x1, y1, raw);
    }
}

void FillDepth(const DepthTarget& d, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t value)
{
    FillClipped(reinterpret_cast<uint8_t*>(d.values), d.pitch, d.width, d.height, 2, x0, y0, x1, y1, value);
}

}  // namespace raster
