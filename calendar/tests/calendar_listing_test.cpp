#include "calendar/calendar_listing.h"

#include <gtest/gtest.h>

#include "calendar/calendar_error.h"
#include "calendar/tests/fake_event_kit.h"

namespace quorvantel::calendar {
namespace {

using testing::FakeEventKit;

// The text and the number written after it.
std::string numbered(const char* prefix, int number) {
    std::string text = prefix;
    text += std::to_string(number);
    return text;
}

std::optional<CalendarError> errorOf(FakeEventKit& eventKit) {
    try {
        calendars(eventKit);
        return std::nullopt;
    } catch (const CalendarFailure& failure) {
        return failure.error();
    }
}

TEST(CalendarListing, KeepsUsableCalendarsInTheStoresOrder) {
    FakeEventKit eventKit;
    eventKit.state.calendars = {
        {"b-work", "  Work  "},
        {"", "No identifier"},
        {"a-home", "Home"},
        {"spaces", " \n "},
        {"long", std::string(201, 't')},
        {"format", "Hidden\xE2\x80\x8B"},
        {std::string(513, 'x'), "Too long an identifier"},
        {"c-team", std::string(200, 't')},
    };
    const json::Array listed = calendars(eventKit);
    EXPECT_EQ(json::write(json::Value(listed), json::KeyOrder::insertion),
              R"([{"id":"b-work","title":"Work"},{"id":"a-home","title":"Home"},{"id":"c-team","title":")" +
                  std::string(200, 't') + R"("}])");
}

TEST(CalendarListing, EmptyStoreGivesAnEmptyList) {
    FakeEventKit eventKit;
    EXPECT_TRUE(calendars(eventKit).empty());
}

TEST(CalendarListing, At128CalendarsAndOneMore) {
    FakeEventKit eventKit;
    for (int i = 0; i < 128; ++i) eventKit.state.calendars.push_back({numbered("c", i), "Calendar"});
    EXPECT_EQ(calendars(eventKit).size(), 128u);
    eventKit.state.calendars.push_back({"bad", ""});
    EXPECT_EQ(errorOf(eventKit), CalendarError::resultLimit);
}

TEST(CalendarListing, NeedsFullAccess) {
    FakeEventKit eventKit;
    eventKit.state.calendars = {{"c", "Calendar"}};
    eventKit.state.authorization = EKAuthorizationStatus::writeOnly;
    EXPECT_EQ(errorOf(eventKit), CalendarError::permissionRequired);
}

}  // namespace
}  // namespace quorvantel::calendar
