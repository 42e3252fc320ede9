#include "platform/linux/desktop/application_id.h"

#include <vector>

namespace quorvantel::desktop {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text = text.substr(at + 1);
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescapeUnitText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            if (i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
            const int high = hexDigit(text[i + 2]);
            const int low = hexDigit(text[i + 3]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isAppUnit(std::string_view name) {
    return name.starts_with("app-") && (name.ends_with(".service") || name.ends_with(".scope"));
}

std::string_view trimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    return line;
}

}  // namespace

std::optional<std::string> applicationUnit(std::string_view cgroupFile) {
    std::optional<std::string_view> unified;
    std::optional<std::string_view> systemd;
    for (std::string_view line : split(cgroupFile, '\n')) {
        line = trimLine(line);
        const auto first = line.find(':');
        if (first == std::string_view::npos) continue;
        const auto second = line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        const std::string_view hierarchy = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (hierarchy == "0" && controllers.empty()) unified = path;
        if (controllers == "name=systemd") systemd = path;
    }
    const auto path = unified ? unified : systemd;
    if (!path) return std::nullopt;
    const auto components = split(*path, '/');
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (isAppUnit(*it)) return std::string(*it);
    }
    return std::nullopt;
}

std::optional<std::string> unitApplicationId(std::string_view unitName) {
    if (!isAppUnit(unitName)) return std::nullopt;
    const bool scope = unitName.ends_with(".scope");
    std::string_view body = unitName.substr(4, unitName.size() - 4 - (scope ? 6 : 8));
    if (!scope) {
        // A template instance (…@<instance>.service) names the same application.
        if (const auto at = body.find('@'); at != std::string_view::npos) body = body.substr(0, at);
    }
    const auto parts = split(body, '-');
    // The id is the last part of a service and the second-to-last of a scope; a
    // launcher name may come before it.
    const std::size_t idParts = scope ? 2 : 1;
    if (parts.size() != idParts && parts.size() != idParts + 1) return std::nullopt;
    const std::string_view id = parts[parts.size() - idParts];
    if (id.empty() || (scope && parts.back().empty())) return std::nullopt;
    if (parts.size() == idParts + 1 && parts.front().empty()) return std::nullopt;
    return unescapeUnitText(id);
}

std::optional<std::string> desktopFileId(std::string_view path) {
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    constexpr std::string_view suffix = ".desktop";
    if (name.size() <= suffix.size() || !name.ends_with(suffix)) return std::nullopt;
    return std::string(name.substr(0, name.size() - suffix.size()));
}

std::optional<std::string> flatpakApplicationId(std::string_view flatpakInfo) {
    bool inApplication = false;
    for (std::string_view line : split(flatpakInfo, '\n')) {
        line = trimLine(line);
        if (line.starts_with("[")) {
            inApplication = line == "[Application]";
            continue;
        }
        if (inApplication && line.starts_with("name=") && line.size() > 5) return std::string(line.substr(5));
    }
    return std::nullopt;
}

}  // namespace quorvantel::desktop
