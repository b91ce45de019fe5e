// The JSON of quillmote-inspect --json must always be a valid document.
#include "tools/inspect/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(InspectJson, NestsObjectsAndArraysWithCommasInPlace) {
    JsonWriter w;
    w.BeginObject();
    w.Key("a");
    w.Int(-3);
    w.Key("list");
    w.BeginArray();
    w.UInt(1);
    w.Bool(true);
    w.Null();
    w.EndArray();
    w.Key("empty");
    w.BeginObject();
    w.EndObject();
    w.EndObject();
    EXPECT_EQ(w.Text(), "{\n  \"a\": -3,\n  \"list\": [\n    1,\n    true,\n    null\n  ],\n  \"empty\": {}\n}\n");
}

TEST(InspectJson, FloatsReadBackExactlyAndShort) {
    JsonWriter w;
    w.BeginArray();
    w.Float(0.1f);
    w.Float(1.5707965f);
    w.Float(-2.0f);
    w.Float(std::numeric_limits<float>::quiet_NaN());
    w.Float(std::numeric_limits<float>::infinity());
    // A float widened to double: the decimal that reads back as that double, not as 0.1.
    w.Double(static_cast<double>(0.1f));
    w.Double(std::numeric_limits<double>::quiet_NaN());
    w.EndArray();
    EXPECT_EQ(w.Text(), "[\n  0.1,\n  1.5707965,\n  -2,\n  null,\n  null,\n  0.10000000149011612,\n  null\n]\n");
}

TEST(InspectJson, StringsWithControlBytesQuotesAndBrokenUtf8StayValid) {
    EXPECT_EQ(JsonQuote("NJCM"), "\"NJCM\"");
    EXPECT_EQ(JsonQuote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonQuote(std::string("\x01\x00z", 3)), "\"\\u0001\\u0000z\"");
    EXPECT_EQ(JsonQuote("\xff\xfe"), "\"\\u00ff\\u00fe\"");
    EXPECT_EQ(JsonQuote("\xe3\x83\xac"), "\"\xe3\x83\xac\"");  // valid UTF-8 passes through
    EXPECT_EQ(JsonQuote("\xe3\x83"), "\"\\u00e3\\u0083\"");     // cut short
}

}  // namespace
