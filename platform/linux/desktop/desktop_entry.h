// A freedesktop desktop entry, as far as the list of running applications needs it:
// the name in the user's language and whether the entry wants to be shown at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::desktop {

// Entries are small text files; anything larger is not one.
inline constexpr std::size_t kMaximumDesktopEntryBytes = 256 * 1024;

struct DesktopEntry {
    // Name in the best matching language, or the plain Name; absent without one.
    std::optional<std::string> name;
    // NoDisplay=true: an application that should not appear in menus (a helper or
    // an accessory), though it runs.
    bool noDisplay = false;
};

// Parses the [Desktop Entry] group. messagesLocale is the user's message locale in
// POSIX form (lang_COUNTRY.ENCODING@MODIFIER, any part after lang optional). Nothing
// when the text has no [Desktop Entry] group, its Type is not Application, or
// Hidden=true (an entry deleted by the user).
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view messagesLocale);

// The message locale the user asked for: LC_ALL, else LC_MESSAGES, else LANG.
std::string messagesLocaleFromEnvironment();

}  // namespace quorvantel::desktop
