// A mouse log for quillmote-render --replay: one event a line, fed to the view's own handlers.
//
//   move X Y            mouse move, no button held
//   move X Y lbutton    mouse move with the left button held (a drag step)
//   down X Y            left button pressed
//
// Blank lines and lines starting with '#' are ignored. X and Y are client coordinates
// (whole numbers, may be negative: the pointer can leave the window during a drag).
//
// A log holds at most kMaxReplayLogBytes bytes and no line more than kMaxReplayLineBytes
// (a move line is about 20 bytes; the limits leave comments plenty of room).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint64_t kMaxReplayLogBytes = 16u * 1024u * 1024u;
constexpr size_t kMaxReplayLineBytes = 1024;

struct ReplayEvent {
    enum class Kind { Move, Down };
    Kind kind = Kind::Move;
    int32_t x = 0;
    int32_t y = 0;
    bool leftButton = false;  // moves only; a press always carries the button
};

struct ReplayParseError {
    uint32_t line = 0;  // 1-based
    std::string reason;
};

// Parses the whole log. On failure returns false with the first bad line in `error`; `events`
// is then left empty.
bool ParseReplayLog(std::string_view text, std::vector<ReplayEvent>* events, ReplayParseError* error);
