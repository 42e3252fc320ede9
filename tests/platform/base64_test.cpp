#include "platform/foundation/base64.h"

#include <gtest/gtest.h>

using namespace quorvantel;

TEST(Base64, RoundTripsEveryLengthAndByte) {
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < 300; ++n) {
        const std::string text = base64::encode(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        auto back = base64::decodeCanonical(text);
        ASSERT_TRUE(back) << n;
        EXPECT_EQ(*back, bytes);
        bytes.push_back(static_cast<std::uint8_t>(n * 37 + 11));
    }
    EXPECT_EQ(base64::encode(std::vector<std::uint8_t>{'f', 'o', 'o', 'b', 'a'}), "Zm9vYmE=");
}

TEST(Base64, AcceptsOnlyTheCanonicalText) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"AAAA", true},     {"AAA=", true},    {"AA==", true},    {"+/+/", true},
        {"AA", false},      {"AAA", false},    {"!!!!", false},   {"AA=A", false},
        {"A===", false},    {"AAB=", false},   {"AB==", false},   {"AA\nAA==", false},
        {"AAAA AAA", false}, {"====", false},  {"AA==AAAA", false}, {"-_-_", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(base64::decodeCanonical(c.text).has_value(), c.accepted) << c.text;
    }
    EXPECT_EQ(base64::decodeCanonical("")->size(), 0u);
}
