#include "calendar/occurrence_listing.h"

#include <gtest/gtest.h>

#include <string>

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

std::optional<CalendarError> validationError(const std::string& request) {
    try {
        validatedOccurrenceRequest(json::parse(request));
        return std::nullopt;
    } catch (const CalendarFailure& failure) {
        return failure.error();
    }
}

std::string idsOf(int count, const std::string& prefix = "c") {
    std::string ids;
    for (int i = 0; i < count; ++i) ids += (i ? ",\"" : "\"") + prefix + std::to_string(i) + "\"";
    return "[" + ids + "]";
}

std::string request(const std::string& ids, const std::string& start, const std::string& end) {
    return R"({"command":"list-occurrences","calendarIds":)" + ids + R"(,"startMs":)" + start + R"(,"endMs":)" + end +
           "}";
}

struct ValidationCase {
    const char* name;
    std::string request;
    bool valid;
};

TEST(OccurrenceRequestValidation, Rules) {
    const std::string one = R"(["a"])";
    const ValidationCase cases[] = {
        {"Minimal", request(one, "0", "1"), true},
        {"FractionalTimes", request(one, "0.5", "1.25"), true},
        {"ThirtyTwoCalendars", request(idsOf(32), "0", "1"), true},
        {"ThirtyThreeCalendars", request(idsOf(33), "0", "1"), false},
        {"NoCalendars", request("[]", "0", "1"), false},
        {"DuplicateCalendars", request(R"(["a","b","a"])", "0", "1"), false},
        {"EmptyCalendarIdentifier", request(R"(["a",""])", "0", "1"), false},
        {"CalendarIdentifierAt512Bytes", request("[\"" + std::string(512, 'x') + "\"]", "0", "1"), true},
        {"CalendarIdentifierAt513Bytes", request("[\"" + std::string(513, 'x') + "\"]", "0", "1"), false},
        {"CalendarIdentifierWithControl", request(R"(["a\u0007"])", "0", "1"), false},
        {"CalendarIdentifierNotString", request(R"(["a",1])", "0", "1"), false},
        {"CalendarIdsNotArray", request(R"("a")", "0", "1"), false},
        {"WindowOf31Days", request(one, "1000", "2678401000"), true},
        {"WindowOneMillisecondLonger", request(one, "1000", "2678401001"), false},
        {"WindowOneMillisecondShorter", request(one, "1000", "2678400999"), true},
        {"EmptyWindow", request(one, "5", "5"), false},
        {"ReversedWindow", request(one, "6", "5"), false},
        {"NegativeStart", request(one, "-1", "5"), false},
        {"NegativeZeroStart", request(one, "-0.0", "5"), true},
        {"EndAtTheLastDate", request(one, "8639999000000000", "8640000000000000"), true},
        {"EndBeyondTheLastDate", request(one, "8639999000000000", "8640000000000001"), false},
        {"EndAsDoubleBeyondTheLastDate", request(one, "8639999000000000", "8.640000000000002e15"), false},
        {"StartAsString", request(one, R"("0")", "1"), false},
        {"EndAsBoolean", request(one, "0", "true"), false},
        {"EndNull", request(one, "0", "null"), false},
        {"MissingEnd", R"({"command":"list-occurrences","calendarIds":["a"],"startMs":0})", false},
        {"FifthKey", R"({"command":"list-occurrences","calendarIds":["a"],"startMs":0,"endMs":1,"x":1})", false},
        {"OtherKeyInsteadOfEnd", R"({"command":"list-occurrences","calendarIds":["a"],"startMs":0,"x":1})", false},
        {"RepeatedKeyCountsOnce",
         R"({"command":"list-occurrences","calendarIds":["a"],"startMs":0,"endMs":1,"endMs":2})", true},
    };
    for (const ValidationCase& c : cases) {
        const auto error = validationError(c.request);
        if (c.valid) {
            EXPECT_FALSE(error) << c.name;
        } else {
            EXPECT_EQ(error, CalendarError::invalidRequest) << c.name;
        }
    }
}

TEST(OccurrenceRequestValidation, KeepsTheFields) {
    const OccurrenceRequest r = validatedOccurrenceRequest(json::parse(request(R"(["b","a"])", "1.5", "9")));
    EXPECT_EQ(r.calendarIds, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(r.startMs, 1.5);
    EXPECT_EQ(r.endMs, 9.0);
}

EKEvent eventAt(const std::string& calendar, double startSeconds, const std::string& localId) {
    EKEvent event;
    event.calendarIdentifier = calendar;
    event.startDate = EKDate{startSeconds};
    event.endDate = EKDate{startSeconds + 60};
    event.calendarItemIdentifier = localId;
    return event;
}

class OccurrenceListingTest : public ::testing::Test {
protected:
    OccurrenceListingTest() {
        eventKit.state.calendars = {{"work", "Work"}, {"home", "Home"}, {"shared", "Shared"}};
    }

    std::optional<CalendarError> errorOf(const OccurrenceRequest& r) {
        try {
            occurrenceRecords(r, eventKit);
            return std::nullopt;
        } catch (const CalendarFailure& failure) {
            return failure.error();
        }
    }

    FakeEventKit eventKit;
};

TEST_F(OccurrenceListingTest, SelectsCalendarsInTheStoresOrderAndQueriesTheWindow) {
    occurrenceRecords({{"shared", "work"}, 1'500.0, 2'000'000.0}, eventKit);
    ASSERT_TRUE(eventKit.state.lastPredicate);
    const EKPredicate& predicate = *eventKit.state.lastPredicate;
    EXPECT_EQ(predicate.startDate.timeIntervalSince1970, 1.5);
    EXPECT_EQ(predicate.endDate.timeIntervalSince1970, 2000.0);
    ASSERT_EQ(predicate.calendars.size(), 2u);
    EXPECT_EQ(predicate.calendars[0].calendarIdentifier, "work");
    EXPECT_EQ(predicate.calendars[1].calendarIdentifier, "shared");
}

TEST_F(OccurrenceListingTest, UnknownCalendarAmongKnownOnes) {
    EXPECT_EQ(errorOf({{"work", "gone", "home"}, 0, 1}), CalendarError::calendarUnavailable);
    EXPECT_FALSE(eventKit.state.lastPredicate);
}

TEST_F(OccurrenceListingTest, CalendarListedTwiceByTheStoreIsUnavailable) {
    eventKit.state.calendars.push_back({"work", "Work again"});
    EXPECT_EQ(errorOf({{"work"}, 0, 1}), CalendarError::calendarUnavailable);
}

TEST_F(OccurrenceListingTest, NeedsFullAccess) {
    for (const auto status : {EKAuthorizationStatus::notDetermined, EKAuthorizationStatus::restricted,
                              EKAuthorizationStatus::denied, EKAuthorizationStatus::writeOnly,
                              EKAuthorizationStatus::other}) {
        eventKit.state.authorization = status;
        EXPECT_EQ(errorOf({{"work"}, 0, 1}), CalendarError::permissionRequired);
    }
    EXPECT_EQ(eventKit.state.storesMade, 0);
}

TEST_F(OccurrenceListingTest, SortsByStartKeepingTheStoresOrderForTies) {
    eventKit.state.events = {eventAt("work", 30, "late"), eventAt("home", 10, "tie-first"),
                             eventAt("work", 20, "middle"), eventAt("work", 10, "tie-second"),
                             eventAt("home", 10, "tie-third")};
    const auto records = occurrenceRecords({{"work", "home"}, 0, 1e6}, eventKit);
    std::vector<std::string> order;
    for (const auto& record : records) order.push_back(record.seriesId);
    EXPECT_EQ(order, (std::vector<std::string>{"local:tie-first", "local:tie-second", "local:tie-third",
                                               "local:middle", "local:late"}));
}

TEST_F(OccurrenceListingTest, ReportsOccurrencesWithTheirOwnTimesUnclipped) {
    eventKit.state.events = {eventAt("work", 0.5, "before")};
    eventKit.state.events[0].endDate = EKDate{5000};
    const auto records = occurrenceRecords({{"work"}, 1'000, 2'000}, eventKit);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].startMs, 500);
    EXPECT_EQ(records[0].endMs, 5'000'000);
}

TEST_F(OccurrenceListingTest, ResultLimitCountsOnlyUsableOccurrences) {
    for (int i = 0; i < 2048; ++i) eventKit.state.events.push_back(eventAt("work", i, numbered("e", i)));
    EKEvent allDay = eventAt("work", 1, "all-day");
    allDay.isAllDay = true;
    eventKit.state.events.insert(eventKit.state.events.begin(), 10, allDay);
    EXPECT_EQ(occurrenceRecords({{"work"}, 0, 1e6}, eventKit).size(), 2048u);

    eventKit.state.events.push_back(eventAt("work", 5000, "one-more"));
    EXPECT_EQ(errorOf({{"work"}, 0, 1e6}), CalendarError::resultLimit);
}

TEST_F(OccurrenceListingTest, DropsUnusableEventsSilently) {
    EKEvent noCalendar = eventAt("work", 1, "no-calendar");
    noCalendar.calendarIdentifier.reset();
    EKEvent noEnd = eventAt("work", 2, "no-end");
    noEnd.endDate.reset();
    eventKit.state.events = {noCalendar, noEnd, eventAt("work", 3, "kept")};
    const auto records = occurrenceRecords({{"work"}, 0, 1e6}, eventKit);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].seriesId, "local:kept");
}

TEST_F(OccurrenceListingTest, CommandGivesTheRecordsAsJSON) {
    eventKit.state.events = {eventAt("work", 1, "one")};
    const json::Array list = occurrences(json::parse(request(R"(["work"])", "0", "100000")), eventKit);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(*list[0].find("seriesId"), json::Value("local:one"));
    EXPECT_EQ(*list[0].find("startMs"), json::Value(1000));
}

}  // namespace
}  // namespace quorvantel::calendar
