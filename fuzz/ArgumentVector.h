// Fuzz input as a command line: the bytes split at each NUL into arguments (argv[1..]), as the
// kernel hands a program its arguments. An empty input is an empty command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> ArgumentVector(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    if (size == 0) return args;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    return args;
}

// Aborts when a message that echoes the arguments would still carry a byte a terminal acts on.
inline void RequireTerminalSafe(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) __builtin_trap();
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            __builtin_trap();  // a C1 control in UTF-8
    }
}
