#include "tools/render/ReplayLog.h"

#include <charconv>

namespace {

// Splits on spaces and tabs; a trailing '\r' (a log written on another system) is whitespace.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !isSpace(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A coordinate: an optional '-' and decimal digits that fit a 32-bit integer, nothing else.
bool ParseCoordinate(std::string_view word, int32_t* value) {
    if (word.empty()) return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(first, last, *value);
    return ec == std::errc() && ptr == last;
}

}  // namespace

bool ParseReplayLog(std::string_view text, std::vector<ReplayEvent>* events, ReplayParseError* error) {
    events->clear();
    uint32_t lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        ++lineNumber;
        pos = end + 1;
        if (line.size() > kMaxReplayLineBytes) {
            events->clear();
            error->line = lineNumber;
            error->reason = "line longer than " + std::to_string(kMaxReplayLineBytes) + " bytes";
            return false;
        }

        const std::vector<std::string_view> words = Words(line);
        if (words.empty() || words[0].front() == '#') {
            if (end == text.size()) break;
            continue;
        }
        auto fail = [&](std::string reason) {
            events->clear();
            error->line = lineNumber;
            error->reason = std::move(reason);
            return false;
        };

        ReplayEvent event;
        if (words[0] == "move") {
            event.kind = ReplayEvent::Kind::Move;
            if (words.size() == 4) {
                if (words[3] != "lbutton") return fail("unknown button '" + std::string(words[3]) + "' (only 'lbutton')");
                event.leftButton = true;
            } else if (words.size() != 3) {
                return fail("expected 'move X Y' or 'move X Y lbutton'");
            }
        } else if (words[0] == "down") {
            event.kind = ReplayEvent::Kind::Down;
            event.leftButton = true;
            if (words.size() != 3) return fail("expected 'down X Y'");
        } else {
            return fail("unknown event '" + std::string(words[0]) + "' (expected 'move' or 'down')");
        }
        if (!ParseCoordinate(words[1], &event.x) || !ParseCoordinate(words[2], &event.y))
            return fail("coordinates must be whole numbers");
        events->push_back(event);
        if (end == text.size()) break;
    }
    return true;
}
