// Bytes echoed from inputs are printed so that a terminal shows them and acts on none of them.
#include "tools/files/TerminalText.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalText, ControlBytesAndBrokenUtf8AreEscapedAndTextIsKept) {
    const struct { std::string in, out; } cases[] = {
        {"plain text: 12 {frame}.png", "plain text: 12 {frame}.png"},
        {"a\x1b[2Jb", "a\\x1B[2Jb"},
        {std::string("nul\0after", 9), "nul\\x00after"},
        {"cr\rlf\ntab\tdel\x7f", "cr\\x0Dlf\\x0Atab\\x09del\\x7F"},
        {"\xe3\x83\x80\xe3\x83\xb3\xe3\x82\xb9", "\xe3\x83\x80\xe3\x83\xb3\xe3\x82\xb9"},  // well-formed UTF-8 kept
        {"csi\x9b" "1m", "csi\\x9B1m"},                                                     // a lone C1 byte
        {"utf8 csi \xc2\x9b", "utf8 csi \\xC2\\x9B"},                                       // C1 in UTF-8
        {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\xC0\\xAF \\xE0\\x80\\xAF"},
        {"cut \xe3\x83", "cut \\xE3\\x83"},
        {"back\\slash", "back\\\\slash"},
    };
    for (const auto& c : cases) EXPECT_EQ(TerminalSafe(c.in), c.out) << c.out;
}

}  // namespace
