#include "calendar/self_test.h"

#include <optional>
#include <string>
#include <vector>

#include "calendar/calendar_error.h"
#include "calendar/meeting_link.h"
#include "calendar/occurrence_record.h"

namespace quorvantel::calendar {
namespace {

struct SeriesCase {
    bool isRecurring;
    std::optional<std::string> externalId;
    std::string local;
    std::optional<std::string> expected;
};

struct LinkCase {
    std::vector<std::optional<std::string>> texts;
    std::optional<std::string> expectedKey;
};

std::string repeated(const std::string& text, std::size_t times) {
    std::string result;
    for (std::size_t i = 0; i < times; ++i) result += text;
    return result;
}

void check(bool passed) {
    if (!passed) throw CalendarFailure(CalendarError::accessFailed);
}

}  // namespace

int runSelfTest() {
    // Just over the identifier limit of 512 bytes.
    const std::string tooLong(513, 'x');
    const std::vector<SeriesCase> seriesCases = {
        {false, tooLong, "one-off", "local:one-off"},
        {false, "valid", tooLong, std::nullopt},
        {true, "external-series", "local-series", "external-series"},
        {true, tooLong, "local-series", std::nullopt},
    };
    const std::string meet = "https://meet.google.com/abc-defg-hij";
    const std::vector<LinkCase> linkCases = {
        {{std::nullopt, "No link"}, std::nullopt},
        {{std::string(16385, 'x')}, std::nullopt},
        {{repeated(meet + " ", 17)}, std::nullopt},
        {{meet}, "meet:abc-defg-hij"},
        {{meet, meet + "?authuser=0"}, "meet:abc-defg-hij"},
        {{meet + " https://meet.google.com/klm-nopq-rst"}, std::nullopt},
        {{"https://us02web.zoom.us/j/123456789?pwd=SYNTHETIC"}, "zoom:123456789"},
        {{"https://teams.microsoft.com/meet/123456789?p=SYNTHETIC"}, "teams:meeting:123456789"},
        {{"https://teams.microsoft.com/l/meetup-join/19%3Ameeting_SYNTHETIC%40thread.v2/0"},
         "teams:thread:19:meeting_SYNTHETIC@thread.v2"},
    };

    int ran = 0;
    for (const SeriesCase& c : seriesCases) {
        check(recordingSeriesIdentifier(c.isRecurring, c.externalId, c.local) == c.expected);
        ++ran;
    }
    for (const LinkCase& c : linkCases) {
        const std::optional<MeetingLink> link = meetingLinkIn(c.texts);
        check((link ? std::optional<std::string>(link->key) : std::nullopt) == c.expectedKey);
        ++ran;
    }
    check(ran == kSyntheticCases);
    return ran;
}

}  // namespace quorvantel::calendar
