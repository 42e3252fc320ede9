#include "platform/linux/desktop/desktop_entry.h"

#include <gtest/gtest.h>

namespace quorvantel::desktop {
namespace {

constexpr const char* kLocalisedEntry =
    "# A comment\n"
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Files\n"
    "Name[de]=Dateien\n"
    "Name[de_AT]=Dateien (AT)\n"
    "Name[sr@latin]=Datoteke\n"
    "Name[sr_RS@latin]=Datoteke RS\n"
    "Name[fr]=\n"
    "Exec=nautilus --new-window %U\n"
    "\n"
    "[Desktop Action new-window]\n"
    "Name=New Window\n"
    "Name[de]=Neues Fenster\n";

TEST(DesktopEntry, NameInTheUsersLanguageFallsBackStepByStep) {
    const struct {
        const char* locale;
        const char* name;
    } cases[] = {
        {"C", "Files"},
        {"POSIX", "Files"},
        {"", "Files"},
        {"en_US.UTF-8", "Files"},
        {"de_DE.UTF-8", "Dateien"},
        {"de", "Dateien"},
        {"de_AT.UTF-8", "Dateien (AT)"},
        {"sr_RS.UTF-8@latin", "Datoteke RS"},
        {"sr_ME@latin", "Datoteke"},
        {"sr_RS", "Files"},
        // An empty translation is no translation.
        {"fr_FR.UTF-8", "Files"},
    };
    for (const auto& c : cases) {
        const auto entry = parseDesktopEntry(kLocalisedEntry, c.locale);
        ASSERT_TRUE(entry) << c.locale;
        EXPECT_EQ(entry->name, c.name) << c.locale;
        EXPECT_FALSE(entry->noDisplay) << c.locale;
    }
}

TEST(DesktopEntry, WhatMakesAnEntryAnApplicationAndWhetherItIsShown) {
    const struct {
        const char* what;
        const char* text;
        bool isEntry;
        bool noDisplay;
        std::optional<std::string> name;
    } cases[] = {
        {"plain", "[Desktop Entry]\nType=Application\nName=Meet\n", true, false, "Meet"},
        {"no type given", "[Desktop Entry]\nName=Meet\n", true, false, "Meet"},
        {"accessory", "[Desktop Entry]\nType=Application\nName=Tray\nNoDisplay=true\n", true, true, "Tray"},
        {"NoDisplay false", "[Desktop Entry]\nName=Meet\nNoDisplay=false\n", true, false, "Meet"},
        {"hidden (deleted)", "[Desktop Entry]\nName=Meet\nHidden=true\n", false, false, std::nullopt},
        {"a link", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.com\n", false, false, std::nullopt},
        {"no group", "Name=Meet\n", false, false, std::nullopt},
        {"another group only", "[Desktop Action x]\nName=Meet\n", false, false, std::nullopt},
        {"no name", "[Desktop Entry]\nType=Application\n", true, false, std::nullopt},
        {"escapes and spaces", "[Desktop Entry]\r\nName = Team\\sCall\\\\Room \r\n", true, false, "Team Call\\Room"},
        {"first key wins", "[Desktop Entry]\nName=First\nName=Second\n", true, false, "First"},
        {"keys of a later group ignored", "[Desktop Entry]\nName=Meet\n[Other]\nNoDisplay=true\n", true, false, "Meet"},
    };
    for (const auto& c : cases) {
        const auto entry = parseDesktopEntry(c.text, "de_DE.UTF-8");
        ASSERT_EQ(entry.has_value(), c.isEntry) << c.what;
        if (!entry) continue;
        EXPECT_EQ(entry->noDisplay, c.noDisplay) << c.what;
        EXPECT_EQ(entry->name, c.name) << c.what;
    }
}

TEST(DesktopEntry, AnOversizedFileIsNotAnEntry) {
    std::string text = "[Desktop Entry]\nName=Meet\n";
    text.append(kMaximumDesktopEntryBytes, '#');
    EXPECT_FALSE(parseDesktopEntry(text, "C"));
}

}  // namespace
}  // namespace quorvantel::desktop
