// The helper on the desktop's own calendar store: a private evolution-data-server
// that each test starts on its own session bus, filled by the test, and read by the
// built helper without a scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "calendar/tests/calendar_process_support.h"
#include "calendar/tests/evolution_server.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace quorvantel::calendar::testing {
namespace {

using quorvantel::testing::ChildOptions;
using quorvantel::testing::ChildRun;

constexpr const char* kOwner = "owner@example.org";
// 2026-03-02 00:00 UTC to 2026-03-30 00:00 UTC.
constexpr long long kWindowStart = 1'772'409'600'000;
constexpr long long kWindowEnd = 1'774'828'800'000;
constexpr long long kDay = 86'400'000;

constexpr const char* kZone =
    "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

std::string vcalendar(const std::string& body) {
    return std::string("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//quorvantel tests//EN\r\nMETHOD:PUBLISH\r\n") +
           kZone + body + "END:VCALENDAR\r\n";
}

std::string vevent(const std::string& lines) {
    return "BEGIN:VEVENT\r\nDTSTAMP:20260201T000000Z\r\n" + lines + "END:VEVENT\r\n";
}

// A weekly series with one date taken out and one instance moved, meetings with a
// link in each of the three fields, an all-day event and events at the window's
// edges, all in a calendar whose owner is kOwner.
const std::string kWorkEvents = vcalendar(
    vevent("UID:series-1@test\r\nSUMMARY:Team sync\r\n"
           "DTSTART;TZID=W. Europe Standard Time:20260302T100000\r\n"
           "DTEND;TZID=W. Europe Standard Time:20260302T110000\r\n"
           "RRULE:FREQ=WEEKLY;COUNT=6\r\nEXDATE;TZID=W. Europe Standard Time:20260309T100000\r\n"
           "DESCRIPTION:Agenda in the doc. Join: https://meet.google.com/abc-defg-hij?authuser=0\r\n"
           "ORGANIZER:mailto:boss@example.org\r\nATTENDEE;PARTSTAT=ACCEPTED:mailto:boss@example.org\r\n"
           "ATTENDEE;PARTSTAT=ACCEPTED:mailto:owner@example.org\r\nSTATUS:CONFIRMED\r\n") +
    vevent("UID:series-1@test\r\nSUMMARY:Team sync (moved)\r\n"
           "RECURRENCE-ID;TZID=W. Europe Standard Time:20260316T100000\r\n"
           "DTSTART;TZID=W. Europe Standard Time:20260317T150000\r\n"
           "DTEND;TZID=W. Europe Standard Time:20260317T160000\r\n"
           "DESCRIPTION:Join: https://meet.google.com/abc-defg-hij\r\n"
           "ORGANIZER:mailto:boss@example.org\r\nATTENDEE;PARTSTAT=TENTATIVE:mailto:owner@example.org\r\n"
           "STATUS:CONFIRMED\r\n") +
    vevent("UID:zoom-1@test\r\nSUMMARY:Vendor call\r\nDTSTART:20260305T140000Z\r\nDTEND:20260305T150000Z\r\n"
           "LOCATION:https://example.zoom.us/j/123456789?pwd=abc.\r\n"
           "ATTENDEE;PARTSTAT=TENTATIVE:MAILTO:Owner@Example.org\r\nSTATUS:TENTATIVE\r\n") +
    vevent("UID:teams-1@test\r\nSUMMARY:Planning\r\nDTSTART:20260306T090000Z\r\nDTEND:20260306T093000Z\r\n"
           "URL:https://teams.microsoft.com/l/meetup-join/19%3Ameeting_SYNTHETIC%40thread.v2/0\r\n"
           "ATTENDEE;PARTSTAT=DECLINED:mailto:owner@example.org\r\n") +
    vevent("UID:own-1@test\r\nSUMMARY:  Late review  \r\nDTSTART:20260301T233000Z\r\nDTEND:20260302T003000Z\r\n"
           "ORGANIZER:mailto:owner@example.org\r\nSTATUS:CONFIRMED\r\n") +
    vevent("UID:before-1@test\r\nSUMMARY:Ends as the window starts\r\n"
           "DTSTART:20260301T230000Z\r\nDTEND:20260302T000000Z\r\n") +
    vevent("UID:allday-1@test\r\nSUMMARY:Offsite\r\nDTSTART;VALUE=DATE:20260304\r\nDTEND;VALUE=DATE:20260305\r\n") +
    vevent("UID:later-1@test\r\nSUMMARY:After the window\r\nDTSTART:20260410T090000Z\r\nDTEND:20260410T100000Z\r\n"));

// A calendar without an owner: nobody in it is the user. Its floating time is the
// user's wall-clock time (the helper runs with TZ=Asia/Tokyo).
const std::string kTeamEvents = vcalendar(
    vevent("UID:other-1@test\r\nSUMMARY:Lunch\r\nDTSTART:20260303T120000Z\r\nDTEND:20260303T130000Z\r\n"
           "ATTENDEE;PARTSTAT=ACCEPTED:mailto:owner@example.org\r\n") +
    vevent("UID:floating-1@test\r\nSUMMARY:Stand-up\r\nDTSTART:20260304T090000\r\nDTEND:20260304T091500\r\n"
           "STATUS:CONFIRMED\r\n"));

// What a store may hold that the helper must bound: a series repeating every
// minute, a description far over the link search's limit with a link at its end,
// and rules the store cannot expand.
const std::string kBusyEvents = vcalendar(
    vevent("UID:minutely-1@test\r\nSUMMARY:Ticker\r\nDTSTART:20260302T000000Z\r\nDTEND:20260302T000030Z\r\n"
           "RRULE:FREQ=MINUTELY\r\n"));

const std::string kOddEvents = vcalendar(
    vevent("UID:long-1@test\r\nSUMMARY:Long notes\r\nDTSTART:20260303T090000Z\r\nDTEND:20260303T100000Z\r\n"
           "DESCRIPTION:" + std::string(200'000, 'x') + " https://example.zoom.us/j/123456789\r\n") +
    vevent("UID:badrule-1@test\r\nSUMMARY:Bad rule\r\nDTSTART:20260304T090000Z\r\nDTEND:20260304T100000Z\r\n"
           "RRULE:FREQ=WEEKLY;BYDAY=XX;INTERVAL=0\r\n") +
    vevent("UID:badrule-2@test\r\nSUMMARY:No frequency\r\nDTSTART:20260305T090000Z\r\nDTEND:20260305T100000Z\r\n"
           "RRULE:COUNT=3\r\n"));

const std::string kArchiveEvents = vcalendar(
    vevent("UID:archived-1@test\r\nSUMMARY:Old\r\nDTSTART:20260303T120000Z\r\nDTEND:20260303T130000Z\r\n"));

ChildOptions realStore(const std::map<std::string, std::string>& environment) {
    ChildOptions options;
    options.standIn = false;
    options.environment = environment;
    options.environment["TZ"] = "Asia/Tokyo";
    return options;
}

ChildRun ask(const std::map<std::string, std::string>& environment, const std::string& request) {
    return quorvantel::testing::runChild(quorvantel::testing::helperPath(kHelper), realStore(environment), request);
}

// The one JSON line of a run that exited with status 0.
json::Value answerOf(const ChildRun& run) {
    EXPECT_TRUE(run.exit.exited && run.exit.exitStatus == 0) << run.error;
    const std::vector<std::string> lines = run.lines();
    EXPECT_EQ(lines.size(), 1u) << run.output << run.error;
    return lines.empty() ? json::Value() : json::parse(lines[0]);
}

std::string sorted(const json::Value& value) { return json::write(value, json::KeyOrder::sorted); }

std::string occurrencesRequest(const std::vector<std::string>& ids, long long endMs = kWindowEnd) {
    json::Array list;
    for (const std::string& id : ids) list.push_back(json::Value(id));
    return json::write(json::Value(json::Object{{"command", "list-occurrences"},
                                                {"calendarIds", json::Value(list)},
                                                {"startMs", kWindowStart},
                                                {"endMs", endMs}}),
                       json::KeyOrder::insertion);
}

json::Value record(const std::string& calendarId, const std::string& seriesId, long long occurrenceStartMs,
                   long long startMs, long long endMs, const std::string& title, const std::string& status,
                   const std::string& responseStatus, const json::Value& meetingKey, const json::Value& joinUrl) {
    const bool recurring = occurrenceStartMs != 0;
    return json::Value(json::Object{{"calendarId", calendarId},
                                    {"seriesId", seriesId},
                                    {"occurrenceStartMs", occurrenceStartMs},
                                    {"startMs", startMs},
                                    {"endMs", endMs},
                                    {"title", title},
                                    {"isRecurring", recurring},
                                    {"identityStatus", recurring ? "review-required" : "stable"},
                                    {"status", status},
                                    {"responseStatus", responseStatus},
                                    {"meetingKey", meetingKey},
                                    {"joinUrl", joinUrl}});
}

class EvolutionStore : public ::testing::Test {
protected:
    // One store for the suite, started by the first test, so that a store that
    // does not start fails that test.
    void SetUp() override {
        if (server_ != nullptr) return;
        server_ = new PrivateEvolutionServer();
        work_ = server_->addCalendar("Work", true, std::string(kOwner));
        team_ = server_->addCalendar("Team", true);
        archive_ = server_->addCalendar("Archive", false, std::string(kOwner));
        busy_ = server_->addCalendar("Busy", true);
        odd_ = server_->addCalendar("Odd", true);
        server_->addEvents({{work_, kWorkEvents},
                            {team_, kTeamEvents},
                            {archive_, kArchiveEvents},
                            {busy_, kBusyEvents},
                            {odd_, kOddEvents}});
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    static PrivateEvolutionServer* server_;
    static std::string work_, team_, archive_, busy_, odd_;
};

PrivateEvolutionServer* EvolutionStore::server_ = nullptr;
std::string EvolutionStore::work_, EvolutionStore::team_, EvolutionStore::archive_, EvolutionStore::busy_,
    EvolutionStore::odd_;

TEST_F(EvolutionStore, AccessIsFullWithoutAPrompt) {
    for (const char* command : {"get-access", "request-full-access"}) {
        SCOPED_TRACE(command);
        const json::Value answer =
            answerOf(ask(server_->environment(), std::string(R"({"command":")") + command + "\"}"));
        EXPECT_EQ(sorted(answer), sorted(json::parse(accessLine("full-access"))));
    }
}

TEST_F(EvolutionStore, ListsTheEnabledCalendarsByTitle) {
    const json::Value answer = answerOf(ask(server_->environment(), R"({"command":"list-calendars"})"));
    ASSERT_EQ(answer.find("status")->asString(), "ok");
    std::vector<std::pair<std::string, std::string>> listed;
    for (const json::Value& calendar : answer.find("calendars")->asArray()) {
        listed.emplace_back(calendar.find("title")->asString(), calendar.find("id")->asString());
    }
    // The store's own calendars (such as its birthdays calendar) are listed too; in
    // one order, by title and then identifier.
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    const auto has = [&](const std::string& title, const std::string& id) {
        return std::find(listed.begin(), listed.end(), std::make_pair(title, id)) != listed.end();
    };
    EXPECT_TRUE(has("Work", work_));
    EXPECT_TRUE(has("Team", team_));
    for (const auto& [title, id] : listed) EXPECT_NE(id, archive_) << "the disabled calendar is listed";
}

TEST_F(EvolutionStore, OccurrencesMatchTheStore) {
    const json::Value answer = answerOf(ask(server_->environment(), occurrencesRequest({work_, team_})));
    const json::Value none;
    const json::Value meet("meet:abc-defg-hij");
    const json::Value meetUrl("https://meet.google.com/abc-defg-hij");
    const json::Array expected = {
        record(work_, "local:own-1@test", 0, 1'772'407'800'000, 1'772'411'400'000, "Late review", "confirmed",
               "accepted", none, none),
        // The series in its zone; 9 March is taken out, 16 March moved to the 17th.
        record(work_, "series-1@test", 1'772'442'000'000, 1'772'442'000'000, 1'772'445'600'000, "Team sync",
               "confirmed", "accepted", meet, meetUrl),
        record(team_, "local:other-1@test", 0, 1'772'539'200'000, 1'772'542'800'000, "Lunch", "unknown", "unknown",
               none, none),
        record(team_, "local:floating-1@test", 0, 1'772'582'400'000, 1'772'583'300'000, "Stand-up", "confirmed",
               "unknown", none, none),
        record(work_, "local:zoom-1@test", 0, 1'772'719'200'000, 1'772'722'800'000, "Vendor call", "tentative",
               "tentative", json::Value("zoom:123456789"), json::Value("https://example.zoom.us/j/123456789?pwd=abc")),
        record(work_, "local:teams-1@test", 0, 1'772'787'600'000, 1'772'789'400'000, "Planning", "unknown",
               "declined", json::Value("teams:thread:19:meeting_SYNTHETIC@thread.v2"),
               json::Value("https://teams.microsoft.com/l/meetup-join/19%3Ameeting_SYNTHETIC%40thread.v2/0")),
        record(work_, "series-1@test", 1'773'651'600'000, 1'773'756'000'000, 1'773'759'600'000, "Team sync (moved)",
               "confirmed", "tentative", meet, meetUrl),
        record(work_, "series-1@test", 1'774'256'400'000, 1'774'256'400'000, 1'774'260'000'000, "Team sync",
               "confirmed", "accepted", meet, meetUrl),
    };
    EXPECT_EQ(sorted(answer), sorted(json::Value(json::Object{
                                  {"schemaVersion", 1}, {"status", "ok"}, {"occurrences", json::Value(expected)}})));
}

TEST_F(EvolutionStore, ADisabledCalendarIsUnavailable) {
    for (const std::vector<std::string>& ids : {std::vector<std::string>{archive_}, {work_, archive_}}) {
        const json::Value answer = answerOf(ask(server_->environment(), occurrencesRequest(ids)));
        EXPECT_EQ(sorted(answer), sorted(json::parse(errorLine("calendar-unavailable"))));
    }
}

// The store names no time after the year 9999; the latest window a request may
// name is far beyond it and holds nothing.
TEST_F(EvolutionStore, TheLatestWindowIsEmpty) {
    const long long end = 8'640'000'000'000'000;
    const std::string request = json::write(
        json::Value(json::Object{{"command", "list-occurrences"},
                                 {"calendarIds", json::Value(json::Array{json::Value(work_)})},
                                 {"startMs", end - 31 * kDay},
                                 {"endMs", end}}),
        json::KeyOrder::insertion);
    EXPECT_EQ(sorted(answerOf(ask(server_->environment(), request))),
              sorted(json::parse(R"({"schemaVersion":1,"status":"ok","occurrences":[]})")));
}

// A series repeating every minute gives more instances in six days than a query
// gathers: the store's own bound answers, before the store is asked to expand it.
TEST_F(EvolutionStore, ARunawaySeriesIsAResultLimit) {
    const ChildRun run = ask(server_->environment(), occurrencesRequest({busy_}, kWindowStart + 6 * kDay));
    EXPECT_EQ(sorted(answerOf(run)), sorted(json::parse(errorLine("result-limit"))));
    EXPECT_NE(run.error.find("occurrences in the window"), std::string::npos) << run.error;
}

TEST_F(EvolutionStore, HugeTextsAndBrokenRulesStayBounded) {
    const json::Value answer = answerOf(ask(server_->environment(), occurrencesRequest({odd_})));
    const json::Value none;
    // The link after 200,000 characters is beyond the search; rules the store cannot
    // read leave the event once, at its own time.
    const json::Array expected = {
        record(odd_, "local:long-1@test", 0, 1'772'528'400'000, 1'772'532'000'000, "Long notes", "unknown", "unknown",
               none, none),
        record(odd_, "local:badrule-1@test", 0, 1'772'614'800'000, 1'772'618'400'000, "Bad rule", "unknown",
               "unknown", none, none),
        record(odd_, "local:badrule-2@test", 0, 1'772'701'200'000, 1'772'704'800'000, "No frequency", "unknown",
               "unknown", none, none),
    };
    EXPECT_EQ(sorted(answer), sorted(json::Value(json::Object{
                                  {"schemaVersion", 1}, {"status", "ok"}, {"occurrences", json::Value(expected)}})));
}

// Without a bus, or with a bus that has no calendar store, the helper answers at
// once and says on standard error what is missing.
TEST(EvolutionStoreMissing, NoBusOrNoStoreGivesTheReason) {
    const std::string emptyRuntime = quorvantel::testing::writeTemporaryFile("", ".folder");
    std::filesystem::remove(emptyRuntime);
    std::filesystem::create_directory(emptyRuntime);
    std::map<std::string, std::string> noBus = {{"XDG_RUNTIME_DIR", emptyRuntime}};

    PrivateEvolutionServer busWithoutStore(PrivateEvolutionServer::Services::busOnly);
    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
        const char* says;
    };
    const Case cases[] = {
        {"no session bus", noBus, "No session bus is running"},
        {"a bus without the store", busWithoutStore.environment(), "evolution-data-server cannot be reached"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChildOptions options = realStore(c.environment);
        if (c.environment.count("DBUS_SESSION_BUS_ADDRESS") == 0) options.unset.push_back("DBUS_SESSION_BUS_ADDRESS");
        const std::pair<std::string, std::string> answers[] = {
            {R"({"command":"get-access"})", accessLine("unavailable")},
            {R"({"command":"request-full-access"})", accessLine("unavailable")},
            {R"({"command":"list-calendars"})", errorLine("permission-required")},
            {occurrencesRequest({"any"}), errorLine("permission-required")},
        };
        for (const auto& [request, expected] : answers) {
            SCOPED_TRACE(request);
            const ChildRun run =
                quorvantel::testing::runChild(quorvantel::testing::helperPath(kHelper), options, request);
            EXPECT_EQ(sorted(answerOf(run)), sorted(json::parse(expected)));
            EXPECT_NE(run.error.find(c.says), std::string::npos) << run.error;
        }
    }
    std::filesystem::remove_all(emptyRuntime);
}

}  // namespace
}  // namespace quorvantel::calendar::testing
