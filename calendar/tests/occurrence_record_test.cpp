#include "calendar/occurrence_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/foundation/json.h"

namespace quorvantel::calendar {
namespace {

struct SeriesCase {
    const char* name;
    bool isRecurring;
    std::optional<std::string> externalId;
    std::string local;
    std::optional<std::string> expected;
};

TEST(RecordingSeriesIdentifier, Rules) {
    const std::string tooLong(513, 'x');
    const SeriesCase cases[] = {
        // The four built-in self-test cases.
        {"OneOffIgnoresExternal", false, tooLong, "one-off", "local:one-off"},
        {"OneOffLocalTooLong", false, "valid", tooLong, std::nullopt},
        {"RecurringUsesExternal", true, "external-series", "local-series", "external-series"},
        {"RecurringExternalTooLongHasNoFallback", true, tooLong, "local-series", std::nullopt},
        // The prefix counts towards the limit.
        {"LocalAt506Bytes", false, std::nullopt, std::string(506, 'x'), "local:" + std::string(506, 'x')},
        {"LocalAt507Bytes", false, std::nullopt, std::string(507, 'x'), std::nullopt},
        {"RecurringWithoutExternal", true, std::nullopt, "local-series", "local:local-series"},
        {"RecurringExternalAt512", true, std::string(512, 'e'), "l", std::string(512, 'e')},
        {"RecurringEmptyExternal", true, std::string(), "local-series", std::nullopt},
        {"RecurringExternalWithFormatCharacter", true, "series\xE2\x80\x8B", "local-series", std::nullopt},
        {"EmptyLocalStillHasThePrefix", false, std::nullopt, "", "local:"},
        {"LocalWithControlCharacter", false, std::nullopt, "a\tb", std::nullopt},
        {"ExternalKeptUnchanged", true, "  Series/ID  ", "l", "  Series/ID  "},
    };
    for (const SeriesCase& c : cases) {
        EXPECT_EQ(recordingSeriesIdentifier(c.isRecurring, c.externalId, c.local), c.expected) << c.name;
    }
}

TEST(BoundedTitle, FallsBackToUntitled) {
    struct Case {
        std::optional<std::string> title;
        std::string expected;
    };
    const Case cases[] = {
        {"Weekly sync", "Weekly sync"},
        {"\n  Weekly sync \xE2\x80\x83", "Weekly sync"},
        {std::nullopt, "Untitled event"},
        {"", "Untitled event"},
        {"   ", "Untitled event"},
        {std::string(200, 'a'), std::string(200, 'a')},
        {std::string(201, 'a'), "Untitled event"},
        {"Sync\xE2\x80\x8E", "Untitled event"},
        {"Line\nbreak", "Untitled event"},
    };
    for (const Case& c : cases) EXPECT_EQ(boundedTitle(c.title), c.expected) << c.title.value_or("<none>");
}

EKParticipant me(EKParticipantStatus status) { return {true, status}; }
EKParticipant other(EKParticipantStatus status) { return {false, status}; }

TEST(ResponseStatus, OrganizerThenFirstOwnAttendee) {
    struct Case {
        const char* name;
        std::optional<EKParticipant> organizer;
        std::vector<EKParticipant> attendees;
        const char* expected;
    };
    using S = EKParticipantStatus;
    const Case cases[] = {
        {"OrganizedByMe", me(S::unknown), {me(S::declined)}, "accepted"},
        {"OrganizedByOtherNoAttendees", other(S::accepted), {}, "unknown"},
        {"NoOrganizerNoAttendees", std::nullopt, {}, "unknown"},
        {"Accepted", other(S::accepted), {other(S::declined), me(S::accepted)}, "accepted"},
        {"Declined", std::nullopt, {me(S::declined)}, "declined"},
        {"Tentative", std::nullopt, {me(S::tentative)}, "tentative"},
        {"Pending", std::nullopt, {me(S::pending)}, "unknown"},
        {"Delegated", std::nullopt, {me(S::delegated)}, "unknown"},
        {"Completed", std::nullopt, {me(S::completed)}, "unknown"},
        {"InProcess", std::nullopt, {me(S::inProcess)}, "unknown"},
        {"UnknownStatus", std::nullopt, {me(S::unknown)}, "unknown"},
        {"UnlistedStatus", std::nullopt, {me(S::other)}, "unknown"},
        {"FirstOwnAttendeeDecides", std::nullopt, {me(S::pending), me(S::accepted)}, "unknown"},
        {"OthersDoNotCount", std::nullopt, {other(S::accepted), other(S::declined)}, "unknown"},
    };
    for (const Case& c : cases) {
        EKEvent event;
        event.organizer = c.organizer;
        event.attendees = c.attendees;
        EXPECT_EQ(responseStatus(event), c.expected) << c.name;
    }
}

TEST(EventStatus, Names) {
    EXPECT_EQ(eventStatus(EKEventStatus::confirmed), "confirmed");
    EXPECT_EQ(eventStatus(EKEventStatus::tentative), "tentative");
    EXPECT_EQ(eventStatus(EKEventStatus::canceled), "canceled");
    EXPECT_EQ(eventStatus(EKEventStatus::none), "unknown");
    EXPECT_EQ(eventStatus(EKEventStatus::other), "unknown");
}

TEST(MillisecondsSince1970, RoundsHalfAwayFromZero) {
    // 0.0005 s times 1000 is exactly 0.5 in binary: halves go away from zero, not to even
    // and not up.
    EXPECT_EQ(millisecondsSince1970(EKDate{0.0005}), std::optional<std::int64_t>(1));
    EXPECT_EQ(millisecondsSince1970(EKDate{-0.0005}), std::optional<std::int64_t>(-1));
    EXPECT_EQ(millisecondsSince1970(EKDate{0.0025}), std::optional<std::int64_t>(3));
    EXPECT_EQ(millisecondsSince1970(EKDate{1.0 + 1.0 / 2048}), std::optional<std::int64_t>(1000));
    EXPECT_EQ(millisecondsSince1970(EKDate{1.0 + 3.0 / 4096}), std::optional<std::int64_t>(1001));
    EXPECT_EQ(millisecondsSince1970(EKDate{-1.0 - 3.0 / 4096}), std::optional<std::int64_t>(-1001));
    EXPECT_EQ(millisecondsSince1970(EKDate{1'700'000'000.0}), std::optional<std::int64_t>(1'700'000'000'000));
    EXPECT_EQ(millisecondsSince1970(EKDate{-0.25}), std::optional<std::int64_t>(-250));
}

TEST(MillisecondsSince1970, NothingOutsideSignedSixtyFourBits) {
    EXPECT_FALSE(millisecondsSince1970(EKDate{1e300}));
    EXPECT_FALSE(millisecondsSince1970(EKDate{-1e300}));
    EXPECT_FALSE(millisecondsSince1970(EKDate{9223372036854775.808}));
    EXPECT_TRUE(millisecondsSince1970(EKDate{9223372036854774.0}));
}

// A confirmed one-off event of the user's own, with a Meet link.
EKEvent oneOff() {
    EKEvent event;
    event.calendarIdentifier = "cal";
    event.title = " Planning ";
    event.startDate = EKDate{1'700'000'000.0};
    event.endDate = EKDate{1'700'003'600.0};
    event.calendarItemIdentifier = "event-1";
    event.calendarItemExternalIdentifier = "external-1";
    event.status = EKEventStatus::confirmed;
    event.organizer = me(EKParticipantStatus::accepted);
    event.notes = "Join https://meet.google.com/abc-defg-hij.";
    return event;
}

TEST(OccurrenceRecord, OneOffEventOfTheUser) {
    const auto record = occurrenceRecord(oneOff());
    ASSERT_TRUE(record);
    EXPECT_EQ(json::write(record->toJSON(), json::KeyOrder::insertion),
              R"({"calendarId":"cal","seriesId":"local:event-1","occurrenceStartMs":0,"startMs":1700000000000,)"
              R"("endMs":1700003600000,"title":"Planning","isRecurring":false,"identityStatus":"stable",)"
              R"("status":"confirmed","responseStatus":"accepted","meetingKey":"meet:abc-defg-hij",)"
              R"("joinUrl":"https:\/\/meet.google.com\/abc-defg-hij"})");
}

TEST(OccurrenceRecord, OccurrenceOfASeries) {
    EKEvent event = oneOff();
    event.occurrenceDate = EKDate{1'699'999'000.0};
    event.notes.reset();
    event.title.reset();
    event.status = EKEventStatus::tentative;
    const auto record = occurrenceRecord(event);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isRecurring);
    EXPECT_EQ(record->seriesId, "external-1");
    EXPECT_EQ(record->occurrenceStartMs, 1'699'999'000'000);
    EXPECT_EQ(record->title, "Untitled event");
    const json::Value json = record->toJSON();
    EXPECT_EQ(*json.find("identityStatus"), json::Value("review-required"));
    EXPECT_EQ(*json.find("status"), json::Value("tentative"));
    EXPECT_TRUE(json.find("meetingKey")->isNull());
    EXPECT_TRUE(json.find("joinUrl")->isNull());
}

TEST(OccurrenceRecord, RecurrenceRulesWithoutOccurrenceDateUseTheStart) {
    EKEvent event = oneOff();
    event.recurrenceRuleCount = 1;
    const auto record = occurrenceRecord(event);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isRecurring);
    EXPECT_EQ(record->occurrenceStartMs, 1'700'000'000'000);
    EXPECT_EQ(record->seriesId, "external-1");
}

TEST(OccurrenceRecord, PerEventRulesLeaveEventsOut) {
    struct Case {
        const char* name;
        void (*change)(EKEvent&);
    };
    const Case cases[] = {
        {"AllDay", [](EKEvent& e) { e.isAllDay = true; }},
        {"NoCalendar", [](EKEvent& e) { e.calendarIdentifier.reset(); }},
        {"EmptyCalendarIdentifier", [](EKEvent& e) { e.calendarIdentifier = ""; }},
        {"CalendarIdentifierWithControl", [](EKEvent& e) { e.calendarIdentifier = "c\x1F"; }},
        {"NoStart", [](EKEvent& e) { e.startDate.reset(); }},
        {"NoEnd", [](EKEvent& e) { e.endDate.reset(); }},
        {"EmptySpan", [](EKEvent& e) { e.endDate = e.startDate; }},
        {"EndBeforeStart", [](EKEvent& e) { e.endDate = EKDate{e.startDate->timeIntervalSince1970 - 1}; }},
        {"NoSeriesIdentifier", [](EKEvent& e) { e.calendarItemIdentifier = std::string(507, 'x'); }},
        {"RecurringWithBadExternal",
         [](EKEvent& e) {
             e.recurrenceRuleCount = 2;
             e.calendarItemExternalIdentifier = "";
         }},
        {"StartBeyondSixtyFourBits", [](EKEvent& e) { e.startDate = EKDate{-1e300}; }},
        {"EndBeyondSixtyFourBits", [](EKEvent& e) { e.endDate = EKDate{1e300}; }},
        {"OccurrenceBeyondSixtyFourBits", [](EKEvent& e) { e.occurrenceDate = EKDate{1e300}; }},
    };
    for (const Case& c : cases) {
        EKEvent event = oneOff();
        c.change(event);
        EXPECT_FALSE(occurrenceRecord(event)) << c.name;
    }
}

TEST(OccurrenceRecord, SubMillisecondSpanIsKeptWithItsRoundedTimes) {
    EKEvent event = oneOff();
    event.startDate = EKDate{1.0};
    event.endDate = EKDate{1.0 + 1.0 / 4096};
    const auto record = occurrenceRecord(event);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->startMs, 1000);
    EXPECT_EQ(record->endMs, 1000);
}

TEST(MeetingLinkFor, ReadsLinkLocationAndNotesInOrder) {
    EKEvent event;
    event.URL = "https://zoom.us/j/123456789";
    event.location = "https://zoom.us/j/123456789?pwd=A";
    event.notes = "https://zoom.us/j/123456789?pwd=B";
    EXPECT_EQ(meetingLinkFor(event), (MeetingLink{"zoom:123456789", "https://zoom.us/j/123456789?pwd=B"}));
    event.notes = "https://meet.google.com/abc-defg-hij";
    EXPECT_FALSE(meetingLinkFor(event));
    event.notes.reset();
    event.URL.reset();
    EXPECT_EQ(meetingLinkFor(event), (MeetingLink{"zoom:123456789", "https://zoom.us/j/123456789?pwd=A"}));
}

}  // namespace
}  // namespace quorvantel::calendar
