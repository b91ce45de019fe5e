// Text from files and command lines, made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

// `text` with every byte a terminal could act on written as \xNN: control bytes (a NUL, an
// escape, a carriage return, a newline), DEL, the C1 controls encoded in UTF-8, and bytes that
// are not part of well-formed UTF-8. A backslash is doubled so the escapes stay unambiguous.
// Printable ASCII and well-formed UTF-8 (Japanese names included) pass unchanged.
std::string TerminalSafe(std::string_view text);

// Writes `line` made terminal-safe, then a newline, to standard error in one write.
void PrintErrorLine(std::string_view line);
