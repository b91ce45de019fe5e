// Rectangle fills for colour and depth (clears and colour-fill blits).
#include "platform/d3d/raster/Raster.h"

#include <algorithm>
#include <cstring>

namespace raster {

void FillColor(const ColorTarget& t, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               uint32_t raw)
{
    if (t.pixels == nullptr || !IsSupportedLayout(t.layout)) {
        return;
    }
    const uint32_t bytes = t.layout.bitsPerPixel / 8;
    if (int64_t(t.pitch) < int64_t(t.width) * bytes) {
        return;
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, t.width);
    y1 = std::min(y1, t.height);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const bool aligned = (reinterpret_cast<uintptr_t>(t.pixels) % bytes) == 0 && t.pitch % int32_t(bytes) == 0;
    for (int32_t y = y0; y < y1; ++y) {
        uint8_t* row = t.pixels + ptrdiff_t(y) * t.pitch;
        if (bytes == 4 && aligned) {
            uint32_t* p = reinterpret_cast<uint32_t*>(row) + x0;
            std::fill(p, p + (x1 - x0), raw);
        } else if (bytes == 2 && aligned) {
            uint16_t* p = reinterpret_cast<uint16_t*>(row) + x0;
            std::fill(p, p + (x1 - x0), uint16_t(raw));
        } else {
            for (int32_t x = x0; x < x1; ++x) {
                StorePixel(row + ptrdiff_t(x) * bytes, t.layout.bitsPerPixel, raw);
            }
        }
    }
}

void FillDepth(const DepthTarget& d, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               uint16_t value)
{
    if (d.values == nullptr || int64_t(d.pitch) < int64_t(d.width) * 2) {
        return;
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, d.width);
    y1 = std::min(y1, d.height);
    const bool aligned = (reinterpret_cast<uintptr_t>(d.values) % 2) == 0 && d.pitch % 2 == 0;
    for (int32_t y = y0; y < y1 && x0 < x1; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(d.values) + ptrdiff_t(y) * d.pitch;
        if (aligned) {
            uint16_t* p = reinterpret_cast<uint16_t*>(row) + x0;
            std::fill(p, p + (x1 - x0), value);
        } else {
            for (int32_t x = x0; x < x1; ++x) {
                std::memcpy(row + ptrdiff_t(x) * 2, &value, sizeof value);
            }
        }
    }
}

}  // namespace raster
