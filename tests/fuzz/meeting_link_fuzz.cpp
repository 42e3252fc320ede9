// Meeting links: whatever texts an event carries, a link the helper returns names its
// meeting by itself: fed back as the event's only text, it gives the same key.
//
// Input: up to three texts (the event's link, location and notes) separated by the
// byte 0x1F; an empty text is an absent one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/meeting_link.h"
#include "tests/fuzz/fuzz_check.h"

using namespace quorvantel::calendar;

namespace {

constexpr char kTextSeparator = '\x1f';
constexpr std::size_t kTextsPerEvent = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::optional<std::string>> texts;
    std::size_t start = 0;
    while (texts.size() < kTextsPerEvent) {
        const std::size_t end = input.find(kTextSeparator, start);
        const std::string_view part = input.substr(start, end == std::string_view::npos ? end : end - start);
        texts.push_back(part.empty() ? std::nullopt : std::optional<std::string>(part));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }

    const std::optional<MeetingLink> link = meetingLinkIn(texts);
    if (!link) return 0;
    fuzzCheck(!link->key.empty() && !link->url.empty(), "a meeting without a key or a link", link->url);
    // Wherever the link stands among the event's texts, it names the same meeting.
    for (std::size_t at = 0; at < kTextsPerEvent; ++at) {
        std::vector<std::optional<std::string>> alone(kTextsPerEvent);
        alone[at] = link->url;
        const std::optional<MeetingLink> again = meetingLinkIn(alone);
        fuzzCheck(again.has_value(), "a returned link names no meeting when fed back", link->url);
        fuzzCheck(again->key == link->key, "a returned link names another meeting when fed back",
                  link->url + ": " + link->key + " became " + again->key);
    }
    return 0;
}
