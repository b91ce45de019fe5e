// Command line of quillmote-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Width and height of the drawing surfaces.
struct SurfaceSize {
    int32_t width;
    int32_t height;
};

struct RenderOptions {
    std::optional<std::string> modelPath;   // absent: the embedded model
    std::optional<std::string> motionPath;  // absent: the embedded motion
    std::optional<int64_t> frame;           // checked against the motion once it is loaded
    std::optional<float> angleX;
    std::optional<float> angleY;
    int32_t width = 640;
    int32_t height = 480;
    std::optional<std::string> replayPath;
    std::optional<std::string> output;      // -o: a PNG, or with --all-frames a '{frame}' pattern
    bool allFrames = false;
    std::optional<std::string> animation;  // --animation OUT.png (with --all-frames)
    std::optional<int64_t> benchmarkFrames;
    // --render-size (benchmarks only): surfaces of this size and a client area to match, so
    // the same scene is drawn into a larger picture. Absent: the viewer's own 640 x 480.
    std::optional<SurfaceSize> renderSize;
    std::optional<int> threads;  // --threads: 1 or 2 (absent: the device default, 1)
    // Raised work limits (absent: the defaults of tools/render/WorkLimits.h).
    std::optional<uint64_t> maxModelSteps;
    std::optional<uint64_t> maxFragments;
    std::optional<uint64_t> maxFrames;
    bool help = false;
    bool version = false;
};

// Largest client area the tool accepts in either direction.
constexpr int32_t kMaxClientSide = 4096;

// Parses argv[1..]. On a usage error returns false with a one-line reason in `error`.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options, std::string* error);

// "WxH" with both sides 1..kMaxClientSide.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height);

// Output path of one frame: every "{frame}" in `pattern` replaced by the frame number,
// zero-padded to the digits of `lastFrame`, so the files sort in playing order.
std::string FramePath(const std::string& pattern, uint32_t frame, uint32_t lastFrame);

extern const char kRenderUsage[];
extern const char kRenderHelp[];
