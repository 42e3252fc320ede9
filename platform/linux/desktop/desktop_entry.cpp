#include "platform/linux/desktop/desktop_entry.h"

#include <cstdlib>
#include <map>
#include <vector>

namespace quorvantel::desktop {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The escapes of string values: \s \n \t \r \\.
std::string unescape(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += value[i]; break;
        }
    }
    return out;
}

// The keys a localised Name is looked up under, best first: lang_COUNTRY@MODIFIER,
// lang_COUNTRY, lang@MODIFIER, lang.
std::vector<std::string> localeKeys(std::string_view locale) {
    std::string_view modifier;
    if (const auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (const auto dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
    std::string_view country;
    if (const auto underscore = locale.find('_'); underscore != std::string_view::npos) {
        country = locale.substr(underscore + 1);
        locale = locale.substr(0, underscore);
    }
    const std::string lang(locale);
    std::vector<std::string> keys;
    if (lang.empty() || lang == "C" || lang == "POSIX") return keys;
    if (!country.empty() && !modifier.empty()) keys.push_back(lang + "_" + std::string(country) + "@" + std::string(modifier));
    if (!country.empty()) keys.push_back(lang + "_" + std::string(country));
    if (!modifier.empty()) keys.push_back(lang + "@" + std::string(modifier));
    keys.push_back(lang);
    return keys;
}

// Name in the best matching language, or the plain Name; an empty value is none.
template <typename Lookup>
std::optional<std::string> localisedName(const Lookup& value, std::string_view messagesLocale) {
    for (const std::string& key : localeKeys(messagesLocale)) {
        if (const auto* name = value("Name[" + key + "]"); name != nullptr && !name->empty()) return *name;
    }
    if (const auto* name = value("Name"); name != nullptr && !name->empty()) return *name;
    return std::nullopt;
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view messagesLocale) {
    if (text.size() > kMaximumDesktopEntryBytes) return std::nullopt;
    bool inGroup = false;
    bool sawGroup = false;
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            // Only the first group of this name counts; later groups are actions.
            inGroup = line == "[Desktop Entry]" && !sawGroup;
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string key(trim(line.substr(0, equals)));
        // The first occurrence of a key wins, as readers of these files agree.
        values.emplace(key, unescape(trim(line.substr(equals + 1))));
    }
    if (!sawGroup) return std::nullopt;
    const auto value = [&](std::string_view key) -> const std::string* {
        const auto found = values.find(key);
        return found == values.end() ? nullptr : &found->second;
    };
    if (const auto* type = value("Type"); type != nullptr && *type != "Application") return std::nullopt;
    if (const auto* hidden = value("Hidden"); hidden != nullptr && *hidden == "true") return std::nullopt;
    const auto* noDisplay = value("NoDisplay");
    return DesktopEntry{localisedName(value, messagesLocale), noDisplay != nullptr && *noDisplay == "true"};
}

std::string messagesLocaleFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

}  // namespace quorvantel::desktop
