// The helper as the host sees it: one request on standard input, one line out.
#include <gtest/gtest.h>

#include <string>

#include "calendar/tests/calendar_process_support.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar::testing {
namespace {

using quorvantel::testing::Child;
using quorvantel::testing::helperPath;

const std::string kGetAccess = R"({"command":"get-access"})";
const std::string kListCalendars = R"({"command":"list-calendars"})";

std::string withAuthorization(const std::string& authorization) {
    return R"({"calendar":{"authorization":")" + authorization + R"(","requestResult":"noAnswer"}})";
}

// The helper must answer without reading standard input, which stays open here.
std::string answerWithoutInput(std::vector<std::string> arguments) {
    Child child(helperPath(kHelper), optionsFor(nullptr, std::move(arguments)));
    const auto line = child.readLine();
    child.closeInput();
    const auto exit = child.wait();
    EXPECT_TRUE(exit.exited && exit.exitStatus == 0);
    return line.value_or("<no line>");
}

TEST(CalendarCommandLine, SelfTestNeedsNoInput) {
    EXPECT_EQ(answerWithoutInput({"--self-test"}), R"({"schemaVersion":1,"status":"ok","syntheticCases":13})");
}

TEST(CalendarCommandLine, AnyOtherArgumentsAreAnInvalidRequest) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--self-test", "--self-test"}, {"--self-test", "x"}, {"list-calendars"}, {"-"}, {""}}) {
        EXPECT_EQ(answerWithoutInput(arguments), errorLine("invalid-request")) << arguments[0];
    }
}

TEST(CalendarRequest, SizeLimit) {
    const std::string atLimit = kGetAccess + std::string(16384 - kGetAccess.size(), ' ');
    EXPECT_EQ(answerTo(atLimit), accessLine("full-access"));
    EXPECT_EQ(answerTo(atLimit + " "), errorLine("invalid-request"));
    // Far more than the helper reads: it answers without waiting for the rest.
    EXPECT_EQ(answerTo(kGetAccess + std::string(1 << 20, ' ')), errorLine("invalid-request"));
}

TEST(CalendarRequest, ParseAndDispatch) {
    const std::pair<std::string, std::string> cases[] = {
        {"", errorLine("access-failed")},
        {"{", errorLine("access-failed")},
        {"\"get-access\"", errorLine("access-failed")},
        {"null", errorLine("access-failed")},
        {"[]", errorLine("invalid-request")},
        {"{}", errorLine("invalid-request")},
        {R"({"command":null})", errorLine("invalid-request")},
        {R"({"command":"sync"})", errorLine("invalid-request")},
        {R"({"command":"get-access","extra":{}})", errorLine("invalid-request")},
        {R"({"command":"request-full-access","extra":0})", errorLine("invalid-request")},
        {R"({"command":"list-calendars","extra":""})", errorLine("invalid-request")},
        {R"({"command":"list-occurrences"})", errorLine("invalid-request")},
        {kGetAccess + "\n", accessLine("full-access")},
    };
    for (const auto& [request, response] : cases) EXPECT_EQ(answerTo(request), response) << request;
}

TEST(CalendarAccess, GetAccessReportsEachStatusWithoutAsking) {
    // The prompt would never be answered, so a helper that asked would not answer.
    const std::pair<const char*, const char*> cases[] = {
        {"notDetermined", "not-determined"}, {"restricted", "restricted"}, {"denied", "denied"},
        {"fullAccess", "full-access"},       {"writeOnly", "write-only"},  {"futureStatus", "unavailable"},
    };
    for (const auto& [authorization, access] : cases) {
        EXPECT_EQ(answerTo(kGetAccess, withAuthorization(authorization)), accessLine(access)) << authorization;
    }
}

TEST(CalendarAccess, ListingsNeedFullAccess) {
    const std::string occurrences =
        R"({"command":"list-occurrences","calendarIds":["sim-calendar-work"],"startMs":0,"endMs":1})";
    for (const char* authorization : {"notDetermined", "restricted", "denied", "writeOnly", "futureStatus"}) {
        EXPECT_EQ(answerTo(kListCalendars, withAuthorization(authorization)), errorLine("permission-required"));
        EXPECT_EQ(answerTo(occurrences, withAuthorization(authorization)), errorLine("permission-required"));
    }
}

TEST(CalendarListing, SampleStore) {
    EXPECT_EQ(answerTo(kListCalendars), R"({"schemaVersion":1,"status":"ok","calendars":[)"
                                        R"({"id":"sim-calendar-work","title":"Work"},)"
                                        R"({"id":"sim-calendar-home","title":"Home"}]})");
}

TEST(CalendarListing, TitlesAndIdentifiers) {
    const std::string scenario = R"({"calendar":{"calendars":[
        {"id":"z","title":"  Team \u2003"},
        {"id":"blank","title":" \n\t "},
        {"id":"long","title":")" + std::string(201, 'a') + R"("},
        {"id":"hidden","title":"Hidden\u200B"},
        {"id":"","title":"No id"},
        {"id":"bad\u0000id","title":"Control in id"},
        {"id":"a/b","title":")" + std::string(200, 'b') + R"("}]}})";
    EXPECT_EQ(answerTo(kListCalendars, scenario),
              R"({"schemaVersion":1,"status":"ok","calendars":[{"id":"z","title":"Team"},{"id":"a\/b","title":")" +
                  std::string(200, 'b') + R"("}]})");
}

std::string storeWithCalendars(int count) {
    std::string calendars;
    for (int i = 0; i < count; ++i) {
        if (i) calendars += ",";
        calendars += R"({"id":"c)" + std::to_string(i) + R"(","title":"Calendar"})";
    }
    return R"({"calendar":{"calendars":[)" + calendars + "]}}";
}

TEST(CalendarListing, At128CalendarsAndOneMore) {
    const auto listed = json::parse(answerTo(kListCalendars, storeWithCalendars(128)));
    EXPECT_EQ(listed.find("calendars")->asArray().size(), 128u);
    EXPECT_EQ(answerTo(kListCalendars, storeWithCalendars(129)), errorLine("result-limit"));
}

TEST(CalendarListing, EmptyStore) {
    EXPECT_EQ(answerTo(kListCalendars, R"({"calendar":{"calendars":[]}})"),
              R"({"schemaVersion":1,"status":"ok","calendars":[]})");
}

TEST(StandInScenario, BadScenarioEndsTheProcessFirst) {
    ScenarioFile file(R"({"calendar":{"events":[{"startMs":"soon"}]}})");
    const auto run = quorvantel::testing::runChild(helperPath(kHelper), optionsFor(&file, {"--self-test"}));
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.error, "quorvantel simulation: calendar.events[0].startMs must be a number\n");
    EXPECT_TRUE(run.exit.exited);
    EXPECT_EQ(run.exit.exitStatus, 70);
}

}  // namespace
}  // namespace quorvantel::calendar::testing
