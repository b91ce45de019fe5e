// Rectangle fills and copies: the row ranges, the choice of row loops for the processor, and
// the fills of targets clipped to them (clears and colour-fill blits).
#include "platform/d3d/raster/BlockTransfer.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d/raster/BlockTransferLoop.h"

namespace raster {

namespace detail {

namespace {

// One pixel at a time: the reference the vector loops are compared with.
void FillRowGeneric(uint8_t* row, size_t bytes, const uint8_t* pattern)
{
    for (size_t at = 0; at < bytes; ++at) {
        row[at] = pattern[at % kFillPeriod];
    }
}

constexpr RowKernels kGenericKernels{&FillRowGeneric, &CopyBytes, &CopyOpaquePixels};

const RowKernels& KernelsFor(SpanPath path)
{
    const LoopSet* loops = LoopsFor(path);
    return loops != nullptr ? loops->rows : kGenericKernels;
}

// A long run of a pattern that repeats every 8 bytes (pixels of 1, 2 or 4 bytes): the string
// store writes whole cache lines without reading them first, about a fifth faster than vector
// stores over a back buffer, though slower to start than a row's worth of vectors.
constexpr size_t kStringStoreBytes = 16 * 1024;

bool FillByStringStore(uint8_t* run, size_t bytes, const uint8_t* pattern)
{
#if defined(__x86_64__) && defined(__GNUC__)
    const size_t head = (8 - reinterpret_cast<uintptr_t>(run) % 8) % 8;
    std::memcpy(run, pattern, head);
    uint64_t quad;
    std::memcpy(&quad, pattern + head, 8);
    void* at = run + head;
    size_t quads = (bytes - head) / 8;
    asm volatile("rep stosq" : "+D"(at), "+c"(quads) : "a"(quad) : "memory");
    const size_t done = head + (bytes - head) / 8 * 8;
    std::memcpy(run + done, pattern + done % 8, bytes - done);
    return true;
#else
    (void)run, (void)bytes, (void)pattern;
    return false;
#endif
}

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

}  // namespace detail

void FillRows(const RectFill& fill, int32_t rowBegin, int32_t rowEnd, SpanPath path)
{
    rowBegin = std::max(rowBegin, 0);
    rowEnd = std::min(rowEnd, fill.height);
    if (fill.origin == nullptr || fill.width <= 0 || rowBegin >= rowEnd || fill.bytesPerPixel < 1 ||
        fill.bytesPerPixel > 4) {
        return;
    }
    alignas(64) uint8_t pattern[detail::kFillPatternBytes];
    // One pixel, then doubled: every copy starts on a pixel, so the pattern runs on.
    for (uint32_t at = 0; at < fill.bytesPerPixel; ++at) {
        pattern[at] = uint8_t(fill.value >> (8 * at));
    }
    for (size_t filled = fill.bytesPerPixel; filled < sizeof pattern; filled *= 2) {
        std::memcpy(pattern + filled, pattern, std::min(filled, sizeof pattern - filled));
    }
    const size_t bytes = size_t(fill.width) * fill.bytesPerPixel;
    const detail::FillRowFn fillRow = detail::KernelsFor(path).fill;
    if (fill.pitch == ptrdiff_t(bytes)) {  // rows back to back: one long row (the pattern runs on)
        uint8_t* const run = fill.origin + ptrdiff_t(rowBegin) * fill.pitch;
        const size_t runBytes = bytes * size_t(rowEnd - rowBegin);
        const bool stringStore = runBytes >= detail::kStringStoreBytes && fill.bytesPerPixel != 3 &&
                                 path != SpanPath::Generic;
        if (!stringStore || !detail::FillByStringStore(run, runBytes, pattern)) {
            fillRow(run, runBytes, pattern);
        }
        return;
    }
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        fillRow(fill.origin + ptrdiff_t(y) * fill.pitch, bytes, pattern);
    }
}

void CopyRows(const RectCopy& copy, int32_t rowBegin, int32_t rowEnd, SpanPath path)
{
    rowBegin = std::max(rowBegin, 0);
    rowEnd = std::min(rowEnd, copy.height);
    const bool opaque = copy.kind == CopyKind::OpaqueXrgb;
    if (copy.destination == nullptr || copy.source == nullptr || copy.width <= 0 || rowBegin >= rowEnd ||
        copy.bytesPerPixel < 1 || copy.bytesPerPixel > 4 || (opaque && copy.bytesPerPixel != 4)) {
        return;
    }
    const size_t bytes = size_t(copy.width) * copy.bytesPerPixel;
    const detail::RowKernels& kernels = detail::KernelsFor(path);
    const detail::CopyRowFn copyRow = opaque ? kernels.copyOpaque : kernels.copy;
    if (copy.destinationPitch == ptrdiff_t(bytes) && copy.sourcePitch == ptrdiff_t(bytes)) {
        copyRow(copy.destination + ptrdiff_t(rowBegin) * copy.destinationPitch,
                copy.source + ptrdiff_t(rowBegin) * copy.sourcePitch, bytes * size_t(rowEnd - rowBegin));
        return;
    }
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        copyRow(copy.destination + ptrdiff_t(y) * copy.destinationPitch, copy.source + ptrdiff_t(y) * copy.sourcePitch,
                bytes);
    }
}

void FillColor(const ColorTarget& t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t raw)
{
    if (IsSupportedLayout(t.layout)) {
        detail::FillClipped(t.pixels, t.pitch, t.width, t.height, t.layout.bitsPerPixel / 8, x0, y0, x1, y1, raw);
    }
}

void FillDepth(const DepthTarget& d, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t value)
{
    detail::FillClipped(reinterpret_cast<uint8_t*>(d.values), d.pitch, d.width, d.height, 2, x0, y0, x1, y1, value);
}

}  // namespace raster
