// Toolbar bitmaps: any bytes are decoded or refused, never read out of bounds.
#include "platform/win/afxwin.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (AfxDecodeBitmap(data, size, pixels, width, height)) {
        if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
            std::abort();
        }
    } else if (!pixels.empty() || width != 0 || height != 0) {
        std::abort();
    }
    return 0;
}
