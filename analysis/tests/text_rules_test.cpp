#include <gtest/gtest.h>

#include "analysis/frame/text_rules.h"

namespace quorvantel::analysis {
namespace {

TEST(TextRules, TrimmingRemovesEveryUnicodeWhiteSpaceAtBothEndsOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"   ", ""},
        {"budget", "budget"},
        {"  budget review \n", "budget review"},
        {"\t\r\n\v\fbudget", "budget"},
        {"\u00a0\u2003budget\u3000\u2028\u2029\u0085", "budget"},
        {"a \u00a0 b", "a \u00a0 b"},
        // A zero-width space is a format character, not white space.
        {"\u200bbudget", "\u200bbudget"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(trimWhiteSpace(text), expected);
    }
}

TEST(TextRules, WordsAreRunsBetweenWhiteSpace) {
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {"", 0},
        {"   ", 0},
        {"Loading dock access", 3},
        {"  surrounded   by  spaces ", 3},
        {"tab\tand\nline", 3},
        {"no\u00a0break", 2},
        {"zero\u200bwidth", 1},
        {"one two three four five six seven eight nine", 9},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(wordCount(text), expected);
    }
}

TEST(TextRules, ControlAndFormatCharactersAreFoundAnywhere) {
    EXPECT_FALSE(hasControlOrFormatCharacter("Loading dock access"));
    EXPECT_FALSE(hasControlOrFormatCharacter("caf\u00e9 \u00a0"));
    EXPECT_TRUE(hasControlOrFormatCharacter("tab\there"));
    EXPECT_TRUE(hasControlOrFormatCharacter("joiner\u200d"));
    EXPECT_TRUE(hasControlOrFormatCharacter("\u00adsoft hyphen"));
    EXPECT_TRUE(hasControlOrFormatCharacter(std::string("nul\0here", 8)));
    EXPECT_TRUE(hasControlOrFormatCharacter("\u0085"));
}

TEST(TextRules, LineBreaksIncludeTheUnicodeSeparators) {
    for (const char* text : {"a\nb", "a\vb", "a\fb", "a\rb", "a\u0085b", "a\u2028b", "a\u2029b"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(hasLineBreak(text));
    }
    EXPECT_FALSE(hasLineBreak("a\tb"));
    EXPECT_FALSE(hasLineBreak("a b"));
}

TEST(TextRules, RegularExpressionsUseIcuSyntax) {
    EXPECT_TRUE(findsMatch("\\p{Cf}", "zero\u200bwidth"));
    EXPECT_FALSE(findsMatch("\\p{Cf}", "plain"));
    EXPECT_TRUE(matchesWhole("[a-z]+", "abc"));
    EXPECT_FALSE(matchesWhole("[a-z]+", "abc1"));
    EXPECT_TRUE(findsMatch("[a-z]+", "abc1"));
}

}  // namespace
}  // namespace quorvantel::analysis
