// A small streaming JSON writer: objects, arrays, strings, numbers. Keys and commas are placed
// for the caller; non-finite numbers (which JSON cannot carry) are written as null.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(std::string_view key);

    void String(std::string_view text);
    void Int(int64_t value);
    void UInt(uint64_t value);
    // The shortest decimal that reads back as the same float.
    void Float(float value);
    // The shortest decimal that reads back as the same double (a float widened to double reads
    // back exactly, for readers that compare in double precision).
    void Double(double value);
    void Bool(bool value);
    void Null();

    // The document so far, ending in a newline once the outermost value is closed.
    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();
    void Indent();

    std::string m_text;
    // Per open container: has it a member yet?
    std::vector<bool> m_hasMember;
    bool m_afterKey = false;
};

// Escapes a string for JSON (quotes included); bytes below 0x20 and invalid UTF-8 become \u
// escapes, so any tag or file name gives a valid document.
std::string JsonQuote(std::string_view text);
