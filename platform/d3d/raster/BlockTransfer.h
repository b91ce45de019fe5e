// Rectangle fills and copies of pixel memory, run a range of rows at a time: a caller may split
// one rectangle between threads, each running its own rows, and gets the same bytes whatever
// the split. The rows run on the widest vectors the processor has.
#pragma once

#include "platform/d3d/raster/Raster.h"

#include <cstddef>
#include <cstdint>

namespace raster {

// `width` x `height` pixels of `bytesPerPixel` (1 to 4) at `origin`, rows `pitch` bytes apart,
// each set to the low `bytesPerPixel` bytes of `value`, lowest byte first (as StorePixel writes).
struct RectFill {
    uint8_t* origin = nullptr;
    ptrdiff_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t bytesPerPixel = 4;
    uint32_t value = 0;
};

enum class CopyKind : uint8_t {
    Bytes,       // the pixels as they are
    OpaqueXrgb,  // 32-bit pixels with the top byte cleared (a window's pixels have no alpha)
};

// `width` x `height` pixels from `source` to `destination`; the two must not overlap.
struct RectCopy {
    uint8_t* destination = nullptr;
    ptrdiff_t destinationPitch = 0;
    const uint8_t* source = nullptr;
    ptrdiff_t sourcePitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t bytesPerPixel = 4;  // 4 for OpaqueXrgb
    CopyKind kind = CopyKind::Bytes;
};

// Runs rows [rowBegin, rowEnd) of the rectangle (clamped to its rows). `path` picks the
// instruction set as for the span loops; every path writes the same bytes.
void FillRows(const RectFill& fill, int32_t rowBegin, int32_t rowEnd, SpanPath path = SpanPath::Fastest);
void CopyRows(const RectCopy& copy, int32_t rowBegin, int32_t rowEnd, SpanPath path = SpanPath::Fastest);

}  // namespace raster
