#include "tools/files/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace {

void AppendEscaped(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// Length of the well-formed UTF-8 sequence of two or more bytes at `p`, 0 if there is none.
// Overlong forms, surrogates and code points past U+10FFFF are not well formed.
size_t Utf8Sequence(const unsigned char* p, size_t left) {
    const unsigned char c = p[0];
    size_t length = 0;
    uint32_t min = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        min = 0x80;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        min = 0x800;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        min = 0x10000;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (p[i] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (cp >= 0x80 && cp <= 0x9F) return 0;  // C1 controls (a single-character CSI among them)
    return length;
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = p[i];
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\') out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t n = c >= 0x80 ? Utf8Sequence(p + i, text.size() - i) : 0;
        if (n == 0) {
            AppendEscaped(out, c);
            ++i;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

void PrintErrorLine(std::string_view line) {
    std::string text = TerminalSafe(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
}
