// quillmote-inspect's command line: any argument vector is parsed or refused with a reason
// that prints safely.
#include "tools/files/TerminalText.h"
#include "tools/inspect/InspectOptions.h"
#include "fuzz/ArgumentVector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    InspectOptions options;
    std::string error;
    if (!ParseInspectOptions(ArgumentVector(data, size), &options, &error)) {
        if (error.empty()) __builtin_trap();
        RequireTerminalSafe(TerminalSafe(error));
    }
    return 0;
}
