#include "platform/linux/pocketsphinx/token_filter.h"

#include <gtest/gtest.h>

using quorvantel::pocketsphinx::spokenWord;

TEST(TokenFilter, KeepsWordsAndDropsMarksSilenceAndFillers) {
    struct Case {
        const char* token;
        std::optional<std::string> word;
    };
    const Case cases[] = {
        {"hello", "hello"},
        {"don't", "don't"},
        {"was(2)", "was"},
        {"an(12)", "an"},
        // Parentheses that are not a pronunciation number stay.
        {"a(b)", "a(b)"},
        {"(2)", "(2)"},
        {"x()", "x()"},
        {"<s>", std::nullopt},
        {"</s>", std::nullopt},
        {"<sil>", std::nullopt},
        {"[NOISE]", std::nullopt},
        {"[SPEECH]", std::nullopt},
        {"++UH++", std::nullopt},
        {"+", "+"},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(spokenWord(c.token), c.word) << c.token;
}
