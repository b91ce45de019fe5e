// The bitmap pair as the tools reach it: the two bitmaps stand in for resources 138 and 140,
// the real view is created on the headless backend as quillmote-render creates it (texture
// image, texture slot upload) and paints one frame of the embedded model with the textured
// squares. Input as for texture_image_fuzz: a 4-byte little-endian length of the colour file,
// the colour file, then the alpha file (the rest).
#include "app/HeadlessViewer.h"
#include "platform/win/HeadlessBackend.h"
#include "platform/win/Resources.h"
#include "resources/QuillmoteResources.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > (1u << 20)) return 0;
    const size_t colourBytes = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                               static_cast<size_t>(data[2]) << 16 | static_cast<size_t>(data[3]) << 24;
    if (colourBytes > size - 4) return 0;
    // Heap copies of exactly the files, so a read past either is caught.
    const std::vector<uint8_t> colour(data + 4, data + 4 + colourBytes);
    const std::vector<uint8_t> alpha(data + 4 + colourBytes, data + size);
    const ResourceEntry entries[] = {
        {ResourceName("bmpdata"), ResourceIntId(138), QM_UI_LANGUAGE, colour.data(), static_cast<DWORD>(colour.size())},
        {ResourceName("bmpdata"), ResourceIntId(140), QM_UI_LANGUAGE, alpha.data(), static_cast<DWORD>(alpha.size())},
    };
    const ResourceModule module{entries, 2, QuillmoteResources()};
    const HMODULE previous = SetProgramResourceModule(&module);
    {
        CHeadlessViewer viewer;
        if (viewer.Create(64, 48)) {
            AfxPumpMessages();
            viewer.View().InvalidateRect(nullptr, FALSE);
            viewer.View().UpdateWindow();
        }
    }
    SetProgramResourceModule(previous);
    return 0;
}
