// The calendar helper's requests over a store whose events carry the input's texts:
// whatever the request and the texts, the response has one line that can be written,
// within the output limit, without a line break, reading back as the response.
//
// Input: fields separated by the byte 0x1F: the request, then the title, link,
// location and notes of each event in turn (an empty field is an absent text).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/calendar_helper.h"
#include "calendar/tests/fake_event_kit.h"
#include "platform/foundation/json.h"
#include "tests/fuzz/fuzz_check.h"

using namespace quorvantel;
using namespace quorvantel::calendar;

namespace {

constexpr char kFieldSeparator = '\x1f';
constexpr std::size_t kTextsPerEvent = 4;
// 2026-01-01 00:00 UTC, in the window of the seed requests.
constexpr double kEventStartSeconds = 1'767'225'600;

std::vector<std::string_view> fields(std::string_view input) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find(kFieldSeparator, start);
        parts.push_back(input.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::optional<std::string> text(std::string_view field) {
    if (field.empty()) return std::nullopt;
    return std::string(field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts = fields(std::string_view(reinterpret_cast<const char*>(data), size));

    testing::FakeEventKit eventKit;
    eventKit.state.calendars = {{"work", "Work"}, {"home", "Home"}};
    for (std::size_t first = 1; first < parts.size(); first += kTextsPerEvent) {
        EKEvent event;
        event.calendarIdentifier = (first / kTextsPerEvent) % 2 ? "home" : "work";
        event.startDate = EKDate{kEventStartSeconds + double(first) * 60};
        event.endDate = EKDate{kEventStartSeconds + double(first) * 60 + 1800};
        event.calendarItemIdentifier = "item-" + std::to_string(first);
        event.calendarItemExternalIdentifier = "external-" + std::to_string(first);
        event.title = text(parts[first]);
        if (first + 1 < parts.size()) event.URL = text(parts[first + 1]);
        if (first + 2 < parts.size()) event.location = text(parts[first + 2]);
        if (first + 3 < parts.size()) event.notes = text(parts[first + 3]);
        eventKit.state.events.push_back(std::move(event));
    }

    const json::Value response = TovrelCalendarHelper::respondTo(parts[0], eventKit);
    const std::optional<std::string> line = TovrelCalendarHelper::emittedLine(response);
    fuzzCheck(line.has_value(), "the response has no line that can be written", std::string(parts[0]));
    fuzzCheck(line->size() <= TovrelCalendarHelper::kMaximumResponseBytes, "the line is over the output limit",
              line->substr(0, 200));
    fuzzCheck(line->find('\n') == std::string::npos || line->find('\n') == line->size() - 1,
              "the line holds a line break", *line);
    json::Value back;
    try {
        back = json::parse(*line);
    } catch (const json::ParseError& error) {
        fuzzFailure("the line is not JSON", *line + ": " + error.what());
    }
    const json::Value* status = back.find("status");
    const json::Value* schema = back.find("schemaVersion");
    fuzzCheck(status && status->isString() && schema && schema->isInteger() &&
                  schema->asInt() == TovrelCalendarHelper::kSchemaVersion,
              "the line is not a response", *line);
    return 0;
}
