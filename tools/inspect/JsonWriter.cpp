#include "tools/inspect/JsonWriter.h"

#include <charconv>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Length of the valid UTF-8 sequence at `p`, or 0.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    uint32_t min = 0;
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) { n = 2; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { n = 3; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { n = 4; min = 0x10000; }
    else return 0;
    if (i + n > s.size()) return 0;
    uint32_t cp = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string JsonQuote(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"') { out += "\\\""; ++i; continue; }
        if (c == '\\') { out += "\\\\"; ++i; continue; }
        if (c == '\n') { out += "\\n"; ++i; continue; }
        if (c == '\t') { out += "\\t"; ++i; continue; }
        const size_t n = c < 0x20 ? 0 : Utf8Length(text, i);
        if (n == 0) {
            // A control byte or a byte that is not UTF-8: keep its value visible.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    out += '"';
    return out;
}

void JsonWriter::Indent() {
    m_text += '\n';
    m_text.append(m_hasMember.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasMember.empty()) {
        if (m_hasMember.back()) m_text += ',';
        m_hasMember.back() = true;
        Indent();
    }
}

void JsonWriter::Key(std::string_view key) {
    if (!m_hasMember.empty()) {
        if (m_hasMember.back()) m_text += ',';
        m_hasMember.back() = true;
        Indent();
    }
    m_text += JsonQuote(key);
    m_text += ": ";
    m_afterKey = true;
}

void JsonWriter::BeginObject() {
    BeforeValue();
    m_text += '{';
    m_hasMember.push_back(false);
}

void JsonWriter::EndObject() {
    const bool any = m_hasMember.back();
    m_hasMember.pop_back();
    if (any) Indent();
    m_text += '}';
    if (m_hasMember.empty()) m_text += '\n';
}

void JsonWriter::BeginArray() {
    BeforeValue();
    m_text += '[';
    m_hasMember.push_back(false);
}

void JsonWriter::EndArray() {
    const bool any = m_hasMember.back();
    m_hasMember.pop_back();
    if (any) Indent();
    m_text += ']';
    if (m_hasMember.empty()) m_text += '\n';
}

void JsonWriter::String(std::string_view text) {
    BeforeValue();
    m_text += JsonQuote(text);
}

void JsonWriter::Int(int64_t value) {
    BeforeValue();
    m_text += std::to_string(value);
}

void JsonWriter::UInt(uint64_t value) {
    BeforeValue();
    m_text += std::to_string(value);
}

void JsonWriter::Float(float value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        m_text += "null";
        return;
    }
    // Shortest form that reads back as the same float (the values come from 32-bit floats).
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    for (int digits = 1; digits <= 9; ++digits) {
        char trial[32];
        std::snprintf(trial, sizeof trial, "%.*g", digits, static_cast<double>(value));
        if (static_cast<float>(std::strtod(trial, nullptr)) == value) {
            std::snprintf(buf, sizeof buf, "%s", trial);
            break;
        }
    }
    m_text += buf;
}

void JsonWriter::Double(double value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        m_text += "null";
        return;
    }
    char buf[40];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    m_text.append(buf, result.ptr);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    m_text += value ? "true" : "false";
}

void JsonWriter::Null() {
    BeforeValue();
    m_text += "null";
}
