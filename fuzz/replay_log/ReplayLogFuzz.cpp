// Mouse logs for quillmote-render --replay: any bytes up to the log size limit are parsed or
// refused with a line number and a reason that print safely.
#include "tools/files/TerminalText.h"
#include "tools/render/ReplayLog.h"
#include "fuzz/ArgumentVector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxReplayLogBytes) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ReplayEvent> events;
    ReplayParseError error;
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    if (ParseReplayLog(text, &events, &error)) {
        if (events.size() > lines) __builtin_trap();  // at most one event a line
        for (const ReplayEvent& e : events)
            if (e.kind == ReplayEvent::Kind::Down && !e.leftButton) __builtin_trap();
    } else {
        if (!events.empty() || error.line == 0 || error.line > lines || error.reason.empty()) __builtin_trap();
        RequireTerminalSafe(TerminalSafe(error.reason));
    }
    return 0;
}
