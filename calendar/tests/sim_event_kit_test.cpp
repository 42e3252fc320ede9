#include "platform/sim/eventkit/sim_event_kit.h"

#include <gtest/gtest.h>

#include <set>

#include "calendar/occurrence_record.h"
#include "platform/sim/eventkit/sim_calendar_samples.h"

namespace quorvantel::sim {
namespace {

SimCalendarState stateOf(const std::string& calendarSection) {
    const json::Value scenario = json::parse(R"({"calendar":)" + calendarSection + "}");
    return readCalendarState(Section::root(scenario).section("calendar"));
}

std::string scenarioErrorOf(const std::string& calendarSection) {
    try {
        stateOf(calendarSection);
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "";
}

TEST(SimCalendarScenario, DefaultsToFullAccessAndTheSampleStore) {
    const SimCalendarState state = stateOf("{}");
    EXPECT_EQ(state.authorization, EKAuthorizationStatus::fullAccess);
    EXPECT_EQ(state.requestResult, EKAuthorizationStatus::fullAccess);
    EXPECT_EQ(state.calendars.size(), 2u);
    EXPECT_FALSE(state.events.empty());
}

TEST(SimCalendarScenario, AuthorizationNames) {
    const std::pair<const char*, EKAuthorizationStatus> cases[] = {
        {"notDetermined", EKAuthorizationStatus::notDetermined}, {"restricted", EKAuthorizationStatus::restricted},
        {"denied", EKAuthorizationStatus::denied},               {"fullAccess", EKAuthorizationStatus::fullAccess},
        {"writeOnly", EKAuthorizationStatus::writeOnly},         {"somethingNew", EKAuthorizationStatus::other},
    };
    for (const auto& [name, status] : cases) {
        const SimCalendarState state =
            stateOf(std::string(R"({"authorization":")") + name + R"(","requestResult":")" + name + "\"}");
        EXPECT_EQ(state.authorization, status) << name;
        EXPECT_EQ(state.requestResult, status) << name;
    }
    EXPECT_FALSE(stateOf(R"({"requestResult":"noAnswer"})").requestResult);
}

TEST(SimCalendarScenario, ReadsEveryEventField) {
    const SimCalendarState state = stateOf(R"({"calendars":[{"id":"c","title":"C"}],"events":[
        {"calendarId":"c","title":"T","startMs":1500.5,"endMs":2500,"isAllDay":true,"occurrenceDateMs":1000,
         "recurrenceRuleCount":2,"externalId":"x","localId":"l","status":"canceled","organizerIsCurrentUser":false,
         "attendees":[{"isCurrentUser":true,"participantStatus":"inProcess"},{}],
         "url":"https://u","location":"L","notes":"N"},
        {"calendarId":null,"title":null,"startMs":null,"occurrenceDateMs":null,"externalId":null,"url":null}]})");
    ASSERT_EQ(state.calendars.size(), 1u);
    ASSERT_EQ(state.events.size(), 2u);
    const EKEvent& full = state.events[0];
    EXPECT_EQ(full.calendarIdentifier, "c");
    EXPECT_EQ(full.title, "T");
    EXPECT_DOUBLE_EQ(full.startDate->timeIntervalSince1970, 1.5005);
    EXPECT_DOUBLE_EQ(full.endDate->timeIntervalSince1970, 2.5);
    EXPECT_TRUE(full.isAllDay);
    EXPECT_DOUBLE_EQ(full.occurrenceDate->timeIntervalSince1970, 1.0);
    EXPECT_EQ(full.recurrenceRuleCount, 2u);
    EXPECT_EQ(full.calendarItemExternalIdentifier, "x");
    EXPECT_EQ(full.calendarItemIdentifier, "l");
    EXPECT_EQ(full.status, EKEventStatus::canceled);
    ASSERT_TRUE(full.organizer);
    EXPECT_FALSE(full.organizer->isCurrentUser);
    ASSERT_EQ(full.attendees.size(), 2u);
    EXPECT_TRUE(full.attendees[0].isCurrentUser);
    EXPECT_EQ(full.attendees[0].participantStatus, EKParticipantStatus::inProcess);
    EXPECT_FALSE(full.attendees[1].isCurrentUser);
    EXPECT_EQ(full.attendees[1].participantStatus, EKParticipantStatus::unknown);
    EXPECT_EQ(full.URL, "https://u");
    EXPECT_EQ(full.location, "L");
    EXPECT_EQ(full.notes, "N");

    const EKEvent& sparse = state.events[1];
    EXPECT_FALSE(sparse.calendarIdentifier);
    EXPECT_FALSE(sparse.title);
    EXPECT_FALSE(sparse.startDate);
    EXPECT_FALSE(sparse.endDate);
    EXPECT_FALSE(sparse.occurrenceDate);
    EXPECT_FALSE(sparse.calendarItemExternalIdentifier);
    EXPECT_EQ(sparse.calendarItemIdentifier, "sim-event-2");
    EXPECT_EQ(sparse.status, EKEventStatus::none);
    EXPECT_FALSE(sparse.organizer);
    EXPECT_FALSE(sparse.URL);
}

TEST(SimCalendarScenario, WrongTypesNameTheirPath) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"authorization":true})", "calendar.authorization must be a string"},
        {R"({"calendars":{}})", "calendar.calendars must be an array"},
        {R"({"calendars":[1]})", "calendar.calendars[0] must be an object"},
        {R"({"calendars":[{"title":"x"}]})", "calendar.calendars[0].id must be a string"},
        {R"({"calendars":[{"id":"x","title":null}]})", "calendar.calendars[0].title must be a string"},
        {R"({"events":[{},{"startMs":"soon"}]})", "calendar.events[1].startMs must be a number"},
        {R"({"events":[{"isAllDay":1}]})", "calendar.events[0].isAllDay must be a boolean"},
        {R"({"events":[{"recurrenceRuleCount":1.5}]})", "calendar.events[0].recurrenceRuleCount must be an integer"},
        {R"({"events":[{"attendees":[{"isCurrentUser":"yes"}]}]})",
         "calendar.events[0].attendees[0].isCurrentUser must be a boolean"},
    };
    for (const auto& [section, message] : cases) EXPECT_EQ(scenarioErrorOf(section), message) << section;
}

TEST(SimEventStore, QueryReturnsOverlappingOccurrencesOfTheSelectedCalendars) {
    const SimCalendarState state = stateOf(R"({"calendars":[{"id":"a","title":"A"},{"id":"b","title":"B"}],"events":[
        {"calendarId":"a","localId":"ends-at-start","startMs":0,"endMs":1000},
        {"calendarId":"a","localId":"overlaps-start","startMs":0,"endMs":1001},
        {"calendarId":"b","localId":"other-calendar","startMs":1000,"endMs":2000},
        {"calendarId":"a","localId":"no-times"},
        {"calendarId":"a","localId":"starts-at-end","startMs":2000,"endMs":3000},
        {"calendarId":"a","localId":"inside","startMs":1500,"endMs":1600},
        {"localId":"no-calendar","startMs":1500,"endMs":1600}]})");
    SimEventKit eventKit(state);
    const auto store = eventKit.makeEventStore();
    const auto calendars = store->calendarsForEntityType(EKEntityType::event);
    const auto predicate = store->predicateForEvents(EKDate{1.0}, EKDate{2.0}, {calendars[0]});
    std::vector<std::string> ids;
    for (const EKEvent& event : store->eventsMatchingPredicate(predicate)) ids.push_back(event.calendarItemIdentifier);
    EXPECT_EQ(ids, (std::vector<std::string>{"overlaps-start", "no-times", "inside"}));
}

TEST(SimCalendarSamples, AWeekOfMeetingsWithEachService) {
    // Wednesday 2026-01-14 12:00 UTC.
    const double nowMs = 1'768'392'000'000.0;
    const SimCalendarSamples samples = sampleCalendarStore(nowMs);
    std::set<std::string> services;
    for (const EKEvent& event : samples.events) {
        ASSERT_TRUE(event.startDate && event.endDate);
        // Within a day and a half of either end of the week that holds the moment.
        EXPECT_LT(std::abs(event.startDate->timeIntervalSince1970 * 1000 - nowMs), 5.5 * 86'400'000);
        if (const auto link = calendar::meetingLinkFor(event)) services.insert(link->key.substr(0, link->key.find(':')));
    }
    EXPECT_EQ(services, (std::set<std::string>{"meet", "teams", "zoom"}));
}

}  // namespace
}  // namespace quorvantel::sim
