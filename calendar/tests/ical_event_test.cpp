// The desktop store's events as event records, from iCalendar text: times through
// their own zones, all-day dates as whole local days, floating times, status and
// participation values, and what is left absent.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/evolution/ical_event.h"

namespace quorvantel::evolution {
namespace {

constexpr const char* kOwner = "owner@example.org";

// A zone only the calendar object carries, as calendar servers send them.
constexpr const char* kWindowsZone =
    "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};

// The calendar object around one event; the event's lines come without UID unless
// they bring their own.
class Calendar {
public:
    explicit Calendar(const std::string& eventLines, const std::string& zones = "", bool withUid = true) {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + zones + "BEGIN:VEVENT\r\n";
        if (withUid) text += "UID:event-1@example.org\r\n";
        text += eventLines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
        calendar_.reset(icalparser_parse_string(text.c_str()));
    }
    icalcomponent* event() const { return icalcomponent_get_first_component(calendar_.get(), ICAL_VEVENT_COMPONENT); }

private:
    std::unique_ptr<icalcomponent, ComponentDeleter> calendar_;
};

ComponentContext berlinContext() {
    ComponentContext context;
    context.calendarIdentifier = "calendar-source-1";
    context.ownerAddress = kOwner;
    context.localZone = icaltimezone_get_builtin_timezone("Europe/Berlin");
    // The calendar's own zone table knows one zone by a private name.
    context.zoneNamed = [](const std::string& tzid) -> icaltimezone* {
        return tzid == "Calendar Private Tokyo" ? icaltimezone_get_builtin_timezone("Asia/Tokyo") : nullptr;
    };
    return context;
}

std::optional<long long> ms(const std::optional<EKDate>& date) {
    if (!date) return std::nullopt;
    return std::llround(date->timeIntervalSince1970 * 1000.0);
}

EKEvent mapped(const Calendar& calendar, const ComponentContext& context = berlinContext()) {
    std::optional<EKEvent> event = eventFromComponent(calendar.event(), context);
    EXPECT_TRUE(event.has_value());
    return event.value_or(EKEvent{});
}

struct TimeCase {
    const char* name;
    std::string lines;
    std::string zones;
    bool isAllDay;
    std::optional<long long> startMs;
    std::optional<long long> endMs;
};

TEST(ICalEvent, TimesThroughTheirOwnZones) {
    const TimeCase cases[] = {
        {"UTC", "DTSTART:20260302T090000Z\r\nDTEND:20260302T100000Z\r\n", "", false, 1772442000000, 1772445600000},
        {"zone carried by the calendar object, in summer time",
         "DTSTART;TZID=W. Europe Standard Time:20260701T090000\r\nDTEND;TZID=W. Europe Standard Time:20260701T100000\r\n",
         kWindowsZone, false, 1782889200000, 1782892800000},
        {"zone named by location",
         "DTSTART;TZID=America/New_York:20260302T090000\r\nDTEND;TZID=America/New_York:20260302T103000\r\n", "",
         false, 1772460000000, 1772465400000},
        {"zone from the calendar's own table",
         "DTSTART;TZID=Calendar Private Tokyo:20260302T090000\r\nDTEND;TZID=Calendar Private Tokyo:20260302T100000\r\n",
         "", false, 1772409600000, 1772413200000},
        {"floating time in the local zone", "DTSTART:20260302T090000\r\nDTEND:20260302T100000\r\n", "", false,
         1772438400000, 1772442000000},
        {"duration instead of an end", "DTSTART:20260302T090000\r\nDURATION:PT45M\r\n", "", false, 1772438400000,
         1772441100000},
        {"timed without end or duration lasts no time", "DTSTART:20260302T090000\r\n", "", false, 1772438400000,
         1772438400000},
        {"all-day, one day", "DTSTART;VALUE=DATE:20260302\r\nDTEND;VALUE=DATE:20260303\r\n", "", true,
         1772406000000, 1772492400000},
        {"all-day without an end is one day", "DTSTART;VALUE=DATE:20260302\r\n", "", true, 1772406000000,
         1772492400000},
        {"all-day across the change to summer time is whole local days",
         "DTSTART;VALUE=DATE:20260328\r\nDTEND;VALUE=DATE:20260330\r\n", "", true, 1774652400000, 1774821600000},
        {"all-day by duration across the change to summer time", "DTSTART;VALUE=DATE:20260328\r\nDURATION:P2D\r\n",
         "", true, 1774652400000, 1774821600000},
        {"a zone nobody knows leaves the event without times",
         "DTSTART;TZID=Nowhere/Unknown:20260302T090000\r\nDTEND;TZID=Nowhere/Unknown:20260302T100000\r\n", "", false,
         std::nullopt, std::nullopt},
        {"an end in a zone nobody knows leaves the end absent",
         "DTSTART:20260302T090000Z\r\nDTEND;TZID=Nowhere/Unknown:20260302T100000\r\n", "", false, 1772442000000,
         std::nullopt},
        {"no start at all", "SUMMARY:No start\r\n", "", false, std::nullopt, std::nullopt},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const EKEvent event = mapped(Calendar(c.lines, c.zones));
        EXPECT_EQ(event.isAllDay, c.isAllDay);
        EXPECT_EQ(ms(event.startDate), c.startMs);
        EXPECT_EQ(ms(event.endDate), c.endMs);
    }
}

TEST(ICalEvent, FloatingTimesWithoutALocalZoneAreUtc) {
    ComponentContext context = berlinContext();
    context.localZone = nullptr;
    const EKEvent event = mapped(Calendar("DTSTART:20260302T090000\r\nDTEND:20260302T100000\r\n"), context);
    EXPECT_EQ(ms(event.startDate), 1772442000000);
    EXPECT_EQ(ms(event.endDate), 1772445600000);
}

TEST(ICalEvent, SeriesInstancesCarryTheirOccurrenceAndRules) {
    // An instance the store expanded keeps the series' rule and names its slot.
    const EKEvent expanded = mapped(Calendar(
        "DTSTART;TZID=Europe/Berlin:20260309T090000\r\nDTEND;TZID=Europe/Berlin:20260309T100000\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=4\r\nRECURRENCE-ID;TZID=Europe/Berlin:20260309T090000\r\n"));
    EXPECT_EQ(ms(expanded.occurrenceDate), 1773043200000);
    EXPECT_EQ(expanded.recurrenceRuleCount, 1u);
    EXPECT_EQ(expanded.calendarItemExternalIdentifier, "event-1@example.org");
    EXPECT_EQ(expanded.calendarItemIdentifier, "event-1@example.org");
    EXPECT_EQ(expanded.calendarIdentifier, "calendar-source-1");

    // A moved instance has no rule of its own but keeps its original slot.
    const EKEvent moved = mapped(
        Calendar("DTSTART:20260310T140000Z\r\nDTEND:20260310T150000Z\r\nRECURRENCE-ID:20260309T080000Z\r\n"));
    EXPECT_EQ(ms(moved.occurrenceDate), 1773043200000);
    EXPECT_EQ(moved.recurrenceRuleCount, 0u);
    EXPECT_EQ(ms(moved.startDate), 1773151200000);

    const EKEvent single = mapped(Calendar("DTSTART:20260302T090000Z\r\nDTEND:20260302T100000Z\r\n"));
    EXPECT_FALSE(single.occurrenceDate.has_value());
    EXPECT_EQ(single.recurrenceRuleCount, 0u);
}

TEST(ICalEvent, StatusValues) {
    const std::pair<const char*, EKEventStatus> cases[] = {
        {"STATUS:CONFIRMED\r\n", EKEventStatus::confirmed}, {"STATUS:TENTATIVE\r\n", EKEventStatus::tentative},
        {"STATUS:CANCELLED\r\n", EKEventStatus::canceled},  {"", EKEventStatus::none},
        {"STATUS:NEEDS-ACTION\r\n", EKEventStatus::other},  {"STATUS:X-POSTPONED\r\n", EKEventStatus::other},
    };
    for (const auto& [line, status] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(mapped(Calendar(std::string("DTSTART:20260302T090000Z\r\n") + line)).status, status);
    }
}

TEST(ICalEvent, ParticipationValuesAndTheOwner) {
    const std::pair<const char*, EKParticipantStatus> cases[] = {
        {"", EKParticipantStatus::pending},
        {";PARTSTAT=NEEDS-ACTION", EKParticipantStatus::pending},
        {";PARTSTAT=ACCEPTED", EKParticipantStatus::accepted},
        {";PARTSTAT=DECLINED", EKParticipantStatus::declined},
        {";PARTSTAT=TENTATIVE", EKParticipantStatus::tentative},
        {";PARTSTAT=DELEGATED", EKParticipantStatus::delegated},
        {";PARTSTAT=COMPLETED", EKParticipantStatus::completed},
        {";PARTSTAT=IN-PROCESS", EKParticipantStatus::inProcess},
        {";PARTSTAT=X-MAYBE", EKParticipantStatus::other},
    };
    for (const auto& [parameter, status] : cases) {
        SCOPED_TRACE(parameter);
        const EKEvent event = mapped(Calendar(std::string("DTSTART:20260302T090000Z\r\n") + "ATTENDEE" + parameter +
                                              ":mailto:someone@example.org\r\n"));
        ASSERT_EQ(event.attendees.size(), 1u);
        EXPECT_EQ(event.attendees[0].participantStatus, status);
        EXPECT_FALSE(event.attendees[0].isCurrentUser);
    }

    // The owner is found whatever the case of the scheme and address, in the
    // attendees' own order, and as organizer.
    const EKEvent event = mapped(Calendar(
        "DTSTART:20260302T090000Z\r\nORGANIZER;CN=Boss:mailto:boss@example.org\r\n"
        "ATTENDEE;PARTSTAT=ACCEPTED:mailto:boss@example.org\r\n"
        "ATTENDEE;PARTSTAT=TENTATIVE;CN=Me:MAILTO:Owner@Example.ORG\r\n"));
    ASSERT_TRUE(event.organizer.has_value());
    EXPECT_FALSE(event.organizer->isCurrentUser);
    ASSERT_EQ(event.attendees.size(), 2u);
    EXPECT_FALSE(event.attendees[0].isCurrentUser);
    EXPECT_TRUE(event.attendees[1].isCurrentUser);
    EXPECT_EQ(event.attendees[1].participantStatus, EKParticipantStatus::tentative);

    const EKEvent organised = mapped(Calendar("DTSTART:20260302T090000Z\r\nORGANIZER:mailto:owner@example.org\r\n"));
    ASSERT_TRUE(organised.organizer.has_value());
    EXPECT_TRUE(organised.organizer->isCurrentUser);

    // A calendar that names no owner has no current user.
    ComponentContext ownerless = berlinContext();
    ownerless.ownerAddress.reset();
    const EKEvent unowned = mapped(
        Calendar("DTSTART:20260302T090000Z\r\nORGANIZER:mailto:owner@example.org\r\n"
                 "ATTENDEE;PARTSTAT=ACCEPTED:mailto:owner@example.org\r\n"),
        ownerless);
    EXPECT_FALSE(unowned.organizer->isCurrentUser);
    EXPECT_FALSE(unowned.attendees[0].isCurrentUser);
}

TEST(ICalEvent, TextsAsWrittenAndMissingFieldsAbsent) {
    const EKEvent full = mapped(Calendar(
        "DTSTART:20260302T090000Z\r\nSUMMARY:Weekly sync\\, team\r\nURL:https://example.zoom.us/j/123456789\r\n"
        "LOCATION:Room 4\\; floor 2\r\nDESCRIPTION:Agenda:\\nJoin at https://meet.google.com/abc-defg-hij\r\n"));
    EXPECT_EQ(full.title, "Weekly sync, team");
    EXPECT_EQ(full.URL, "https://example.zoom.us/j/123456789");
    EXPECT_EQ(full.location, "Room 4; floor 2");
    EXPECT_EQ(full.notes, "Agenda:\nJoin at https://meet.google.com/abc-defg-hij");

    const EKEvent bare = mapped(Calendar("DTSTART:20260302T090000Z\r\n"));
    EXPECT_FALSE(bare.title.has_value());
    EXPECT_FALSE(bare.URL.has_value());
    EXPECT_FALSE(bare.location.has_value());
    EXPECT_FALSE(bare.notes.has_value());
    EXPECT_FALSE(bare.organizer.has_value());
    EXPECT_TRUE(bare.attendees.empty());
    EXPECT_EQ(bare.status, EKEventStatus::none);

}

TEST(ICalEvent, AnEventWithoutUidHasNoRecord) {
    const Calendar calendar("DTSTART:20260302T090000Z\r\nSUMMARY:Nameless\r\n", "", false);
    ASSERT_NE(calendar.event(), nullptr);
    EXPECT_FALSE(eventFromComponent(calendar.event(), berlinContext()).has_value());
}

TEST(ICalEvent, ComparableAddresses) {
    const std::pair<const char*, const char*> cases[] = {
        {"mailto:Owner@Example.org", "owner@example.org"},
        {"MAILTO:owner@example.org", "owner@example.org"},
        {"  owner@example.org ", "owner@example.org"},
        {"mailto:", ""},
        {"urn:uuid:1234", "urn:uuid:1234"},
    };
    for (const auto& [written, comparable] : cases) EXPECT_EQ(comparableAddress(written), comparable) << written;
}

}  // namespace
}  // namespace quorvantel::evolution
