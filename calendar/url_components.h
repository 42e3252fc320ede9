// A link split into its RFC 3986 components, the way the platform's URL components
// present them to the meeting-link rules: the host and the path percent-decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::calendar {

struct URLComponents {
    std::string scheme;
    // Present whenever the link names user information, even an empty one.
    std::optional<std::string> user;
    std::optional<std::string> password;
    // Absent when the link names no port or an empty one.
    std::optional<std::uint32_t> port;
    // Percent-decoded; absent for a link without an authority.
    std::optional<std::string> host;
    // Percent-decoded.
    std::string path;
};

// The components of an RFC 3986 URI, or nothing when the text is not one, or when
// its host or path does not percent-decode to UTF-8. A port too large for a port
// number makes the whole text unusable.
std::optional<URLComponents> parseURLComponents(std::string_view text);

// Each "%XX" replaced by its byte; nothing when a "%" is not followed by two hex
// digits or the result is not well-formed UTF-8.
std::optional<std::string> removingPercentEncoding(std::string_view text);

}  // namespace quorvantel::calendar
