// The simulated machine the software DirectDraw/Direct3D runs on: display drivers, display
// mode, video memory, the texture formats each device lists, and a fault plan. Tests install
// their own machine with ScopedMachine; everything else sees the default one.
#pragma once

#include "platform/ddraw/ddraw.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DisplayDriver {
    bool hasGuid = false;  // the primary display driver enumerates with a null GUID
    GUID guid{};
    std::string description;
    std::string name;
    bool has3D = false;  // DDCAPS_3D in the hardware caps; the HAL device can be created
};

enum class DisplayFormat { R5G6B5, X1R5G5B5, R8G8B8, X8R8G8B8 };

// Makes the `nth` call (1-based) of an operation fail with `result`, and the `repeat` - 1
// matching calls after it too (`repeat` 0 = every call from the nth on).
// `operation` names a call as "CreateSurface", "Blt", "Lock", ...; calls that have a variant
// also match a qualified name: "QueryInterface:IDirectDraw2", "QueryInterface:IDirect3D2",
// "QueryInterface:IDirectDrawSurface3", "QueryInterface:IDirect3DTexture2",
// "CreateDevice:HAL", "CreateDevice:RGB", "GetCaps:IDirectDraw", "GetCaps:IDirectDrawSurface",
// "GetCaps:IDirect3DDevice2". A plain name matches every variant.
struct Fault {
    std::string operation;
    int32_t nth = 1;
    HRESULT result = DDERR_GENERIC;
    int32_t repeat = 1;
};

struct Machine {
    std::vector<DisplayDriver> drivers;  // enumeration order; the first is the primary display driver
    DisplayFormat displayFormat = DisplayFormat::X8R8G8B8;
    int32_t displayWidth = 1280;
    int32_t displayHeight = 1024;
    uint64_t videoMemoryBytes = 64u * 1024u * 1024u;  // shared by every video-memory surface
    std::vector<DDPIXELFORMAT> halTextureFormats;     // what each device lists, in this order
    std::vector<DDPIXELFORMAT> rgbTextureFormats;
    std::vector<Fault> faults;

    // One primary display driver with 3D hardware, 32-bit X8R8G8B8 display, ample video
    // memory, texture formats A8R8G8B8, X8R8G8B8, A4R4G4B4, A1R5G5B5, R5G6B5, X1R5G5B5.
    static Machine Default();
};

// Texture format lists.
std::vector<DDPIXELFORMAT> DefaultTextureFormats();
// X1R5G5B5, A1R5G5B5, A4R4G4B4, R5G6B5, X8R8G8B8, A8R8G8B8, R3G3B2, P8.
std::vector<DDPIXELFORMAT> AlternateTextureFormats();

// Pixel formats by name (dwSize set, DDPF_RGB, masks; ALPHAPIXELS when there is alpha).
DDPIXELFORMAT PixelFormatOf(DisplayFormat format);
DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0);
DDPIXELFORMAT ZBufferFormat(DWORD bits);
DDPIXELFORMAT Palette8Format();

// The machine in force (the default until a ScopedMachine replaces it).
const Machine& CurrentMachine();

// Installs a machine for its lifetime and restores the previous one afterwards. Fault
// counters and call counts start from zero. Throws std::invalid_argument for a fault plan that
// names an unknown operation or a display size outside 1..16384. Objects keep the machine they
// were made on (their video memory is given back to it); calls count on the machine in force.
class ScopedMachine {
public:
    explicit ScopedMachine(Machine machine);
    ~ScopedMachine();
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;

private:
    void* m_saved;
};

// Number of platform objects (DirectDraw objects, surfaces, clippers, devices, viewports)
// currently alive. Back to its starting value when everything made was released.
int64_t PlatformLiveObjectCount();

// Video memory currently taken by surfaces.
uint64_t VideoMemoryInUse();

// How many times a named call was made since the machine was installed (same names as Fault).
int64_t CallCount(const std::string& operation);

}  // namespace platform
