// The software rasterizer behind the Direct3D device: pre-lit vertices in, pixels out.
//
// Self-contained on purpose (no device headers): enum values are the platform's numbers as
// plain uint32_t. The device fills the records below from its surfaces, viewport and render
// states and calls DrawLVertices from DrawPrimitive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace raster {

// A surface's pixel format, straight from its DDPIXELFORMAT.
struct PixelLayout {
    uint32_t bitsPerPixel = 32;  // 8, 16, 24 or 32
    uint32_t rMask = 0x00FF0000u;
    uint32_t gMask = 0x0000FF00u;
    uint32_t bMask = 0x000000FFu;
    uint32_t aMask = 0;
};

struct ColorTarget {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;  // bytes per row
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout;
};

// 16-bit Z-buffer; null `values` means no Z-buffer (depth test and writes are skipped).
struct DepthTarget {
    uint16_t* values = nullptr;
    int32_t pitch = 0;  // bytes per row
    int32_t width = 0;
    int32_t height = 0;
};

struct TextureImage {
    const uint8_t* texels = nullptr;
    int32_t pitch = 0;  // bytes per row
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout;
};

// A rectangle [x0, x1) x [y0, y1) of target pixels that a call may write, on top of the
// viewport's. Coverage is still decided on the whole primitive, so drawing the same calls once
// per scissor of a partition writes exactly the pixels one unscissored drawing writes.
struct Scissor {
    int32_t x0 = INT32_MIN, y0 = INT32_MIN, x1 = INT32_MAX, y1 = INT32_MAX;
};

// D3DVIEWPORT2 values.
struct Viewport {
    int32_t x = 0, y = 0, width = 0, height = 0;
    float clipX = -1.0f, clipY = 1.0f, clipWidth = 2.0f, clipHeight = 2.0f;
    float minZ = 0.0f, maxZ = 1.0f;
};

// Platform enum values used by States (same numbers as the device's constants).
enum : uint32_t {
    kShadeFlat = 1, kShadeGouraud = 2, kShadePhong = 3,
    kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3,
    kCullNone = 1, kCullCW = 2, kCullCCW = 3,
    kCmpNever = 1, kCmpLess = 2, kCmpEqual = 3, kCmpLessEqual = 4,
    kCmpGreater = 5, kCmpNotEqual = 6, kCmpGreaterEqual = 7, kCmpAlways = 8,
    kBlendZero = 1, kBlendOne = 2, kBlendSrcColor = 3, kBlendInvSrcColor = 4,
    kBlendSrcAlpha = 5, kBlendInvSrcAlpha = 6, kBlendDestAlpha = 7, kBlendInvDestAlpha = 8,
    kBlendDestColor = 9, kBlendInvDestColor = 10, kBlendSrcAlphaSat = 11,
    kBlendBothSrcAlpha = 12, kBlendBothInvSrcAlpha = 13,
    kTBlendDecal = 1, kTBlendModulate = 2, kTBlendDecalAlpha = 3, kTBlendModulateAlpha = 4,
    kTBlendDecalMask = 5, kTBlendModulateMask = 6, kTBlendCopy = 7, kTBlendAdd = 8,
    kFilterNearest = 1, kFilterLinear = 2, kFilterMipNearest = 3, kFilterMipLinear = 4,
    kFilterLinearMipNearest = 5, kFilterLinearMipLinear = 6,
    kAddressWrap = 1, kAddressMirror = 2, kAddressClamp = 3, kAddressBorder = 4,
    kPrimPointList = 1, kPrimLineList = 2, kPrimLineStrip = 3,
    kPrimTriangleList = 4, kPrimTriangleStrip = 5, kPrimTriangleFan = 6,
};

// The render states that affect pixels, with the platform's values and DX5 defaults.
// Out-of-range values are tolerated: they fall back to the default behaviour of that state.
struct States {
    uint32_t shadeMode = kShadeGouraud;
    uint32_t fillMode = kFillSolid;
    uint32_t cullMode = kCullCCW;
    bool zEnable = false;
    bool zWriteEnable = true;
    uint32_t zFunc = kCmpLessEqual;
    bool alphaTestEnable = false;
    uint32_t alphaFunc = kCmpAlways;
    uint32_t alphaRef = 0;  // compared with fragment alpha in 0..255 (values above 255 clamp)
    bool alphaBlendEnable = false;
    uint32_t srcBlend = kBlendOne;
    uint32_t destBlend = kBlendZero;
    bool specularEnable = true;
    bool texturePerspective = false;
    uint32_t textureMapBlend = kTBlendModulate;
    uint32_t textureMag = kFilterNearest;
    uint32_t textureMin = kFilterNearest;
    uint32_t addressU = kAddressWrap;
    uint32_t addressV = kAddressWrap;
    uint32_t borderColor = 0;  // D3DCOLOR 0xAARRGGBB
    bool wrapU = false;  // interpolate u the short way round (cylinder), not WRAP addressing
    bool wrapV = false;
    const TextureImage* texture = nullptr;  // null = untextured
};

// D3DLVERTEX, 32 bytes.
struct LVertex {
    float x, y, z;
    uint32_t reserved;
    uint32_t color;     // 0xAARRGGBB
    uint32_t specular;  // 0xAARRGGBB (alpha = fog factor, unused)
    float tu, tv;
};
static_assert(sizeof(LVertex) == 32, "D3DLVERTEX is 32 bytes");

// A vertex after transform: clip-space position (viewport clip matrix folded in) and attributes.
struct ClipVertex {
    float x, y, z, w;
    float r, g, b, a;      // diffuse, 0..255
    float sr, sg, sb;      // specular, 0..255
    float u, v;
};

// A vertex after the divide and viewport mapping: screen position, depth 0..1, 1/w.
struct ScreenVertex {
    float x, y, z, invW;
    float r, g, b, a;
    float sr, sg, sb;
    float u, v;
};

// Which span loops may run: the fastest the processor allows, those up to AVX-512, those up to
// AVX2, only the SSE2 baseline ones, or only the generic per-pixel path. Every choice gives the
// same pixels; tests compare them. A choice the processor cannot run falls back to a narrower
// one, so tests ask SpanPathRuns first.
enum class SpanPath : uint8_t { Fastest, Avx512, Avx2, Baseline, Generic };

// Whether the processor (and this build) runs the loops of `path` itself, not a narrower choice.
bool SpanPathRuns(SpanPath path);
// "fastest", "AVX-512", "AVX2", "SSE2" or "generic".
const char* SpanPathName(SpanPath path);

// Per-device scratch memory, reused across calls; grows only when a call needs more, so a
// steady frame allocates nothing.
class Scratch {
public:
    std::vector<ClipVertex> clip;      // transformed vertices of the current call
    std::vector<ScreenVertex> screen;  // mapped vertices of the current call (unclipped prims)
    std::vector<uint32_t> codes;       // per vertex: outside-plane bits, not-finite, not-mapped
    uint64_t fragments = 0;            // pixels covered by primitives since the last reset
                                       // (before depth and alpha tests; fill-rate stats)
    SpanPath spanPath = SpanPath::Fastest;
    // With `measureRows`: the screen rows the last call's vertices reach, [top, bottom] (pixel
    // centres at whole numbers), so that its pixels lie within a row of them; -inf and +inf when
    // a vertex was clipped or the call stopped early (it may reach any row). Without: -inf, +inf.
    bool measureRows = false;
    float top = 0.0f, bottom = 0.0f;
    void resetStats() { fragments = 0; }
};

// Draws `count` D3DLVERTEX-layout vertices (32 bytes each) of the given D3DPRIMITIVETYPE,
// transformed by `worldViewProjection` (row-vector 4x4, world x view x projection), clipped
// against the viewport's clip volume, mapped, and rasterized into the targets.
// Returns false for an invalid primitive type (nothing drawn); true otherwise, including
// when every primitive was clipped, culled or dropped as degenerate or non-finite, and when
// the targets or the viewport are unusable (null pixels, unsupported layout, empty or
// non-finite clip volume) or the call is too large to buffer: then nothing is drawn.
// A texture whose image is unusable (null texels, unsupported layout) draws untextured.
// Only pixels inside `scissor` are written and counted.
bool DrawLVertices(const ColorTarget& target, const DepthTarget& depth, const Viewport& viewport,
                   const States& states, const float worldViewProjection[16],
                   uint32_t primitiveType, const void* vertices, uint32_t count, Scratch& scratch,
                   const Scissor& scissor = Scissor{});

// Packs/unpacks an 8-bit-per-channel colour (0xAARRGGBB) to/from a pixel of `layout`
// (truncation for narrower channels, channel replication on unpack; a layout without alpha
// unpacks with alpha 255). Used by blits, colour fills and texture loads as well.
uint32_t PackColor(const PixelLayout& layout, uint32_t argb);
uint32_t UnpackColor(const PixelLayout& layout, uint32_t pixel);

// Reads/writes one raw pixel value of `bitsPerPixel` (8, 16, 24 or 32) at `p`.
uint32_t LoadPixel(const uint8_t* p, uint32_t bitsPerPixel);
void StorePixel(uint8_t* p, uint32_t bitsPerPixel, uint32_t value);

// Fills the rectangle [x0, x1) x [y0, y1), clipped to the target, with a raw pixel value.
void FillColor(const ColorTarget& target, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               uint32_t rawValue);
// Fills the rectangle, clipped to the buffer, with a 16-bit depth value.
void FillDepth(const DepthTarget& depth, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               uint16_t value);

// True when the layout is one the rasterizer can read and write (8/16/24/32 bpp, non-empty
// masks that fit the pixel size).
bool IsSupportedLayout(const PixelLayout& layout);

}  // namespace raster
