#include "calendar/identifier.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvantel::calendar {
namespace {

std::string repeat(const std::string& unit, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += unit;
    return s;
}

struct IdentifierCase {
    const char* name;
    std::string identifier;
    bool valid;
};

TEST(ValidIdentifier, Rules) {
    const IdentifierCase cases[] = {
        {"Plain", "work-calendar", true},
        {"Empty", "", false},
        {"At512Bytes", std::string(512, 'x'), true},
        {"At513Bytes", std::string(513, 'x'), false},
        // 170 three-byte scalars and two ASCII bytes: 512 bytes, though only 172 scalars.
        {"MultiByteAt512", "xx" + repeat("\xE2\x82\xAC", 170), true},
        {"MultiByteAt513", "xxx" + repeat("\xE2\x82\xAC", 170), false},
        {"ControlCharacter", "work\ncalendar", false},
        {"DeleteCharacter", "work\x7F", false},
        {"C1Control", "work\xC2\x85", false},
        {"ZeroWidthSpace", "work\xE2\x80\x8B", false},
        {"ByteOrderMark", "\xEF\xBB\xBFwork", false},
        {"SoftHyphen", "work\xC2\xAD", false},
        {"SpaceIsAllowed", "my calendar", true},
        {"EmojiIsAllowed", "\xF0\x9F\x93\x85", true},
        {"IllFormedUTF8", "work\xFF", false},
    };
    for (const IdentifierCase& c : cases) EXPECT_EQ(validIdentifier(c.identifier), c.valid) << c.name;
}

struct TitleCase {
    const char* name;
    std::string title;
    std::optional<std::string> expected;
};

TEST(TrimmedTitle, Rules) {
    const TitleCase cases[] = {
        {"Plain", "Work", "Work"},
        {"SurroundingSpaces", "  Work  ", "Work"},
        {"SurroundingNewlines", "\r\n\x0BWork\x0C\n", "Work"},
        {"NextLineAndUnicodeSpaces", "\xC2\x85\xE2\x80\x83Work\xE3\x80\x80\xE2\x80\xA8\xE2\x80\xA9", "Work"},
        {"NoBreakSpace", "\xC2\xA0Work\xC2\xA0", "Work"},
        {"InnerSpacesKept", " Team  sync ", "Team  sync"},
        // A tab is not white space for this rule, and it is a control character.
        {"TabIsNotTrimmed", "\tWork", std::nullopt},
        {"OnlyWhiteSpace", " \n\xE2\x80\x83 ", std::nullopt},
        {"Empty", "", std::nullopt},
        {"At200Units", std::string(200, 'a'), std::string(200, 'a')},
        {"At201Units", std::string(201, 'a'), std::nullopt},
        {"At201UnitsAfterTrimming", "  " + std::string(201, 'a') + "  ", std::nullopt},
        {"At200UnitsAfterTrimming", "  " + std::string(200, 'a') + "  ", std::string(200, 'a')},
        {"HundredEmojiAre200Units", repeat("\xF0\x9F\x99\x82", 100), repeat("\xF0\x9F\x99\x82", 100)},
        {"HundredAndOneEmoji", repeat("\xF0\x9F\x99\x82", 100) + "a", std::nullopt},
        {"TwoHundredAccentedLetters", repeat("\xC3\xA9", 200), repeat("\xC3\xA9", 200)},
        {"FormatCharacter", "Work\xE2\x80\x8B", std::nullopt},
        {"InnerControl", "Wo\x01rk", std::nullopt},
        {"IllFormedUTF8", "Work\xC3", std::nullopt},
    };
    for (const TitleCase& c : cases) EXPECT_EQ(trimmedTitle(c.title), c.expected) << c.name;
}

}  // namespace
}  // namespace quorvantel::calendar
