#include "calendar/url_components.h"

#include <uriparser/Uri.h>

#include "calendar/unicode_text.h"

namespace quorvantel::calendar {
namespace {

// The largest port number a link may carry.
constexpr std::uint32_t kMaximumPort = 65535;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view rangeText(const UriTextRangeA& range) {
    if (range.first == nullptr) return {};
    return std::string_view(range.first, static_cast<std::size_t>(range.afterLast - range.first));
}

// Frees the parser's members on every path.
class ParsedURI {
public:
    ParsedURI() = default;
    ~ParsedURI() {
        if (parsed_) uriFreeUriMembersA(&uri_);
    }
    ParsedURI(const ParsedURI&) = delete;
    ParsedURI& operator=(const ParsedURI&) = delete;

    bool parse(std::string_view text) {
        const char* errorPosition = nullptr;
        parsed_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &errorPosition) ==
                  URI_SUCCESS;
        return parsed_;
    }
    const UriUriA& uri() const { return uri_; }

private:
    UriUriA uri_{};
    bool parsed_ = false;
};

}  // namespace

std::optional<std::string> removingPercentEncoding(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!utf16Length(decoded)) return std::nullopt;
    return decoded;
}

std::optional<URLComponents> parseURLComponents(std::string_view text) {
    ParsedURI parsed;
    if (text.empty() || !parsed.parse(text)) return std::nullopt;
    const UriUriA& uri = parsed.uri();

    URLComponents components;
    components.scheme = std::string(rangeText(uri.scheme));
    if (uri.userInfo.first != nullptr) {
        const std::string_view userInfo = rangeText(uri.userInfo);
        const std::size_t colon = userInfo.find(':');
        components.user = std::string(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) components.password = std::string(userInfo.substr(colon + 1));
    }
    const std::string_view port = rangeText(uri.portText);
    if (!port.empty()) {
        std::uint32_t value = 0;
        for (const char digit : port) {
            value = value * 10 + static_cast<std::uint32_t>(digit - '0');
            if (value > kMaximumPort) return std::nullopt;
        }
        components.port = value;
    }
    if (uri.hostText.first != nullptr) {
        std::optional<std::string> host = removingPercentEncoding(rangeText(uri.hostText));
        if (!host) return std::nullopt;
        components.host = std::move(*host);
    }
    // With an authority the path is empty or absolute; the parser keeps its segments
    // without the separators, an empty segment for each doubled or trailing "/".
    std::string path;
    if (uri.absolutePath || (uri.hostText.first != nullptr && uri.pathHead != nullptr)) path += '/';
    for (const UriPathSegmentA* segment = uri.pathHead; segment != nullptr; segment = segment->next) {
        if (segment != uri.pathHead) path += '/';
        path += rangeText(segment->text);
    }
    std::optional<std::string> decodedPath = removingPercentEncoding(path);
    if (!decodedPath) return std::nullopt;
    components.path = std::move(*decodedPath);
    return components;
}

}  // namespace quorvantel::calendar
