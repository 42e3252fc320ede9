#include "capture/info_plist.h"

namespace quorvantel::capture {

std::optional<std::string> infoPlistString(std::string_view plist, std::string_view key) {
    const std::string keyElement = "<key>" + std::string(key) + "</key>";
    const std::size_t keyAt = plist.find(keyElement);
    if (keyAt == std::string_view::npos) return std::nullopt;
    std::size_t at = keyAt + keyElement.size();
    while (at < plist.size() && (plist[at] == ' ' || plist[at] == '\t' || plist[at] == '\n' || plist[at] == '\r')) ++at;
    constexpr std::string_view open = "<string>";
    constexpr std::string_view close = "</string>";
    if (plist.substr(at, open.size()) != open) return std::nullopt;
    at += open.size();
    const std::size_t end = plist.find(close, at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view value = plist.substr(at, end - at);
    // The helper's own list holds plain text; an entity or markup is not one of its values.
    if (value.find_first_of("<&") != std::string_view::npos) return std::nullopt;
    return std::string(value);
}

}  // namespace quorvantel::capture
