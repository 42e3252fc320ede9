#include "calendar/meeting_link.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "calendar/unicode_text.h"
#include "calendar/url_components.h"

namespace quorvantel::calendar {
namespace {

// A link starts with the scheme in lower case and runs to the first white space,
// angle bracket or quote.
constexpr const char* kCandidatePattern = R"(https://[^\s<>"']+)";
constexpr const char* kMeetCodePattern = "[a-z]{3}-[a-z]{4}-[a-z]{3}";
constexpr const char* kTeamsMeetingIdPattern = R"(\d{6,20})";
constexpr const char* kTeamsThreadPattern = R"(19:[A-Za-z0-9_-]+@thread\.v2)";
constexpr std::string_view kCandidateEdgePunctuation = ").,;";
constexpr std::size_t kMinimumZoomDigits = 6;
constexpr std::size_t kMaximumZoomDigits = 15;
constexpr std::uint32_t kHTTPSPort = 443;
constexpr std::size_t kMaximumUTF8BytesPerUTF16Unit = 3;

icu::UnicodeString unicodeOf(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string utf8Of(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

std::unique_ptr<icu::RegexPattern> compile(const char* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(unicodeOf(pattern), parseError, status));
    if (U_FAILURE(status)) throw std::logic_error(std::string("link pattern does not compile: ") + pattern);
    return compiled;
}

// Compiled once per process; each search takes a matcher of its own.
struct Patterns {
    std::unique_ptr<icu::RegexPattern> candidate = compile(kCandidatePattern);
    std::unique_ptr<icu::RegexPattern> meetCode = compile(kMeetCodePattern);
    std::unique_ptr<icu::RegexPattern> teamsMeetingId = compile(kTeamsMeetingIdPattern);
    std::unique_ptr<icu::RegexPattern> teamsThread = compile(kTeamsThreadPattern);
};

const Patterns& patterns() {
    static const Patterns compiledPatterns;
    return compiledPatterns;
}

// The whole text must match: an anchored search would also accept a code followed by
// a line break, which would then end up inside the key.
bool matchesWhole(const icu::RegexPattern& pattern, std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString subject = unicodeOf(text);
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(subject, status));
    if (U_FAILURE(status)) return false;
    const bool matched = matcher->matches(status);
    return U_SUCCESS(status) && matched;
}

// The non-empty "/"-separated segments of a path.
std::vector<std::string_view> segmentsOf(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) segments.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return segments;
}

bool isASCIIDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool isZoomHost(std::string_view host) {
    if (host == kZoomDomain) return true;
    return host.size() > kZoomDomain.size() && host.ends_with(kZoomDomain) &&
           host[host.size() - kZoomDomain.size() - 1] == '.';
}

std::optional<MeetingLink> googleMeet(std::string_view path) {
    std::size_t first = 0, end = path.size();
    while (first < end && path[first] == '/') ++first;
    while (end > first && path[end - 1] == '/') --end;
    const std::string code = lowercased(path.substr(first, end - first));
    if (!matchesWhole(*patterns().meetCode, code)) return std::nullopt;
    return MeetingLink{"meet:" + code, "https://" + std::string(kGoogleMeetHost) + "/" + code};
}

std::optional<MeetingLink> zoom(std::string_view path, const std::string& link) {
    const std::vector<std::string_view> segments = segmentsOf(path);
    if (segments.size() != 2) return std::nullopt;
    if (segments[0] != "j" && segments[0] != "w") return std::nullopt;
    const std::string_view digits = segments[1];
    if (digits.size() < kMinimumZoomDigits || digits.size() > kMaximumZoomDigits || !isASCIIDigits(digits)) {
        return std::nullopt;
    }
    return MeetingLink{"zoom:" + std::string(digits), link};
}

std::optional<MeetingLink> microsoftTeams(std::string_view path, const std::string& link) {
    const std::vector<std::string_view> segments = segmentsOf(path);
    if (path.starts_with("/meet/")) {
        if (segments.size() != 2 || segments[0] != "meet") return std::nullopt;
        if (!matchesWhole(*patterns().teamsMeetingId, segments[1])) return std::nullopt;
        return MeetingLink{"teams:meeting:" + std::string(segments[1]), link};
    }
    if (path.starts_with("/l/meetup-join/")) {
        if (segments.size() != 4 || segments[0] != "l" || segments[1] != "meetup-join" || segments[3] != "0") {
            return std::nullopt;
        }
        const std::optional<std::string> thread = removingPercentEncoding(segments[2]);
        if (!thread || !matchesWhole(*patterns().teamsThread, *thread)) return std::nullopt;
        return MeetingLink{"teams:thread:" + *thread, link};
    }
    return std::nullopt;
}

// The meeting one trimmed candidate names, or nothing.
std::optional<MeetingLink> meetingOf(const std::string& link) {
    if (link.size() > kMaximumLinkCandidateBytes) return std::nullopt;
    const std::optional<URLComponents> components = parseURLComponents(link);
    if (!components) return std::nullopt;
    if (lowercased(components->scheme) != "https") return std::nullopt;
    if (components->user || components->password) return std::nullopt;
    if (components->port && *components->port != kHTTPSPort) return std::nullopt;
    if (!components->host) return std::nullopt;
    const std::string host = lowercased(*components->host);
    if (host == kGoogleMeetHost) return googleMeet(components->path);
    if (isZoomHost(host)) return zoom(components->path, link);
    if (host == kMicrosoftTeamsHost) return microsoftTeams(components->path, link);
    return std::nullopt;
}

bool isEdgePunctuation(UChar unit) {
    return unit < 0x80 && kCandidateEdgePunctuation.find(static_cast<char>(unit)) != std::string_view::npos;
}

}  // namespace

std::optional<MeetingLink> meetingLinkIn(const std::vector<std::optional<std::string>>& texts) {
    std::map<std::string, std::string> linksByKey;
    for (const std::optional<std::string>& text : texts) {
        if (!text) continue;
        // A UTF-16 code unit takes at most three UTF-8 bytes, so a text of more bytes than
        // that is over the limit before it is converted.
        if (text->size() > kMaximumLinkTextUTF16Units * kMaximumUTF8BytesPerUTF16Unit) return std::nullopt;
        const icu::UnicodeString subject = unicodeOf(*text);
        if (static_cast<std::size_t>(subject.length()) > kMaximumLinkTextUTF16Units) return std::nullopt;

        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexMatcher> matcher(patterns().candidate->matcher(subject, status));
        if (U_FAILURE(status)) return std::nullopt;
        std::vector<icu::UnicodeString> candidates;
        while (matcher->find(status) && U_SUCCESS(status)) {
            if (candidates.size() == kMaximumLinkCandidatesPerText) return std::nullopt;
            const std::int32_t start = matcher->start(status);
            const std::int32_t end = matcher->end(status);
            candidates.emplace_back(subject, start, end - start);
        }
        if (U_FAILURE(status)) return std::nullopt;

        for (const icu::UnicodeString& candidate : candidates) {
            std::int32_t first = 0, end = candidate.length();
            while (first < end && isEdgePunctuation(candidate.charAt(first))) ++first;
            while (end > first && isEdgePunctuation(candidate.charAt(end - 1))) --end;
            const std::string link = utf8Of(icu::UnicodeString(candidate, first, end - first));
            if (std::optional<MeetingLink> meeting = meetingOf(link)) {
                linksByKey[meeting->key] = std::move(meeting->url);
            }
        }
    }
    if (linksByKey.size() != 1) return std::nullopt;
    return MeetingLink{linksByKey.begin()->first, linksByKey.begin()->second};
}

}  // namespace quorvantel::calendar
