// quillmote-render's command line: any argument vector is parsed into options that hold
// together, or refused with a reason that prints safely.
#include "tools/files/TerminalText.h"
#include "tools/render/RenderOptions.h"
#include "fuzz/ArgumentVector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(ArgumentVector(data, size), &options, &error)) {
        if (error.empty()) __builtin_trap();
        RequireTerminalSafe(TerminalSafe(error));
        return 0;
    }
    if (options.help || options.version) return 0;
    if (options.width < 1 || options.height < 1 || options.width > kMaxClientSide || options.height > kMaxClientSide)
        __builtin_trap();
    if (options.benchmarkFrames) {
        if (options.output || options.allFrames || options.animation) __builtin_trap();
        return 0;
    }
    if (options.replayPath && (options.frame || options.angleX || options.angleY)) __builtin_trap();
    if (options.allFrames) {
        if (options.animation.has_value() == options.output.has_value()) __builtin_trap();
        if (options.output) {
            // Every frame gets its own name, and the pattern is gone from it.
            const std::string first = FramePath(*options.output, 0, 1000);
            const std::string last = FramePath(*options.output, 1000, 1000);
            if (first == last || first.find("{frame}") != std::string::npos) __builtin_trap();
        }
    } else if (!options.output || options.animation) {
        __builtin_trap();
    }
    return 0;
}
