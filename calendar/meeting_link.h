// One online meeting per event: the Google Meet, Zoom or Microsoft Teams link found
// in the event's texts, reduced to a key that names the meeting however the link was
// written. No meeting, or more than one different meeting, gives nothing rather
// than a guess.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvantel::calendar {

// The services' web hosts; every subdomain of the Zoom domain counts as Zoom.
inline constexpr std::string_view kGoogleMeetHost = "meet.google.com";
inline constexpr std::string_view kZoomDomain = "zoom.us";
inline constexpr std::string_view kMicrosoftTeamsHost = "teams.microsoft.com";

// A longer text makes the whole result nothing.
inline constexpr std::size_t kMaximumLinkTextUTF16Units = 16384;
// More link candidates in one text make the whole result nothing.
inline constexpr std::size_t kMaximumLinkCandidatesPerText = 16;
// A longer candidate is ignored.
inline constexpr std::size_t kMaximumLinkCandidateBytes = 2048;

struct MeetingLink {
    std::string key;
    std::string url;
    bool operator==(const MeetingLink&) const = default;
};

// The meeting named by the texts (in order: the event's link, location, notes; an
// absent text is skipped), or nothing.
std::optional<MeetingLink> meetingLinkIn(const std::vector<std::optional<std::string>>& texts);

}  // namespace quorvantel::calendar
