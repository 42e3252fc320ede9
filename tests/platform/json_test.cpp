#include "platform/foundation/json.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quorvantel::json;

TEST(JsonWriter, SortsKeysAtEveryLevelOrKeepsInsertionOrder) {
    Value v(Object{{"type", "segment"},
                   {"b", Object{{"z", 1}, {"a", Array{Object{{"y", true}, {"x", nullptr}}}}}},
                   {"a", "x"}});
    EXPECT_EQ(write(v, KeyOrder::sorted),
              R"({"a":"x","b":{"a":[{"x":null,"y":true}],"z":1},"type":"segment"})");
    EXPECT_EQ(write(v, KeyOrder::insertion),
              R"({"type":"segment","b":{"z":1,"a":[{"y":true,"x":null}]},"a":"x"})");
}

TEST(JsonWriter, EscapesSlashControlsAndKeepsUnicode) {
    EXPECT_EQ(write(Value(Array{"a/b", "q\"\\", "\n\t\r\b\f", std::string("\x01\x1f", 2), "é→😀"}),
                    KeyOrder::sorted),
              "[\"a\\/b\",\"q\\\"\\\\\",\"\\n\\t\\r\\b\\f\",\"\\u0001\\u001f\",\"é→😀\"]");
}

TEST(JsonWriter, WritesIntegersAsIntegersAndDoublesExactly) {
    EXPECT_EQ(write(Value(Array{0, -7, INT64_MIN, UINT64_MAX}), KeyOrder::sorted),
              "[0,-7,-9223372036854775808,18446744073709551615]");
    // Whole numbers past the 64-bit integers must not come out as integer digits, which
    // the parser refuses; the ones just inside still do.
    for (double d : {0.1, 12.5, 1.0 / 3.0, 604800000.0, 5e-324, 1.7976931348623157e308, -2.25,
                     1.8446744073709552e19, 1.8446744073709550e19, 9.3e20, 1e21 - 65536.0,
                     -9.223372036854775808e18, -9.223372036854777e18, -5e20, -0.0}) {
        const std::string text = write(Value(Array{d}), KeyOrder::sorted);
        SCOPED_TRACE(text);
        const Value back = parse(text);
        EXPECT_EQ(back.asArray()[0].asDouble(), d) << text;
        EXPECT_EQ(std::signbit(back.asArray()[0].asDouble()), std::signbit(d)) << text;
    }
    EXPECT_EQ(write(Value(Array{12.0}), KeyOrder::sorted), "[12]");
}

TEST(JsonWriter, RejectsWhatHasNoJsonText) {
    EXPECT_THROW(write(Value(std::numeric_limits<double>::infinity()), KeyOrder::sorted), WriteError);
    EXPECT_THROW(write(Value(std::nan("")), KeyOrder::sorted), WriteError);
    for (const char* bad : {"\xff", "\xc0\xaf", "\xed\xa0\x80", "abc\xe2\x82"}) {
        EXPECT_THROW(write(Value(std::string(bad)), KeyOrder::sorted), WriteError) << bad;
    }
}

TEST(JsonParser, KeepsNumberKindsAndDuplicateKeys) {
    Value v = parse(R"({"i":16000,"d":16000.0,"u":18446744073709551615,"b":true,"k":1,"k":2})");
    EXPECT_EQ(v.find("i")->kind(), Kind::integer);
    EXPECT_EQ(v.find("d")->kind(), Kind::number);
    EXPECT_EQ(v.find("u")->kind(), Kind::unsignedInteger);
    EXPECT_TRUE(v.find("b")->isBool());
    EXPECT_FALSE(v.find("b")->isNumber());
    EXPECT_EQ(v.find("k")->asInt(), 2);
    EXPECT_EQ(v.asObject().size(), 6u);
}

TEST(JsonParser, RejectsMalformedTextAndBareValues) {
    for (const char* bad : {"{\"type\":\"audio\"", "\r", "", "{} {}", "[1,]", "{'a':1}"}) {
        EXPECT_THROW(parse(bad), ParseError) << bad;
    }
    EXPECT_THROW(parse("42"), ParseError);
    EXPECT_THROW(parse("\"stop\""), ParseError);
    EXPECT_EQ(parseAny("42").asInt(), 42);
    EXPECT_TRUE(parse("[\"stop\"]").isArray());
}
