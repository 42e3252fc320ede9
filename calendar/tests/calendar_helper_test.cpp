#include "calendar/calendar_helper.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "calendar/tests/fake_event_kit.h"

namespace quorvantel::calendar {
namespace {

using testing::FakeEventKit;

std::string answer(const std::string& request, FakeEventKit& eventKit) {
    return json::write(TovrelCalendarHelper::respondTo(request, eventKit), json::KeyOrder::insertion);
}

std::string error(const char* reason) {
    return std::string(R"({"schemaVersion":1,"status":"error","reason":")") + reason + "\"}";
}

struct DispatchCase {
    const char* name;
    std::string request;
    std::string response;
};

TEST(TovrelCalendarHelper, ParsesAndDispatches) {
    const DispatchCase cases[] = {
        {"GetAccess", R"({"command":"get-access"})", R"({"schemaVersion":1,"status":"ok","access":"full-access"})"},
        {"ListCalendars", R"({"command":"list-calendars"})",
         R"({"schemaVersion":1,"status":"ok","calendars":[{"id":"work","title":"Work"}]})"},
        {"ListOccurrences", R"({"command":"list-occurrences","calendarIds":["work"],"startMs":0,"endMs":1})",
         R"({"schemaVersion":1,"status":"ok","occurrences":[]})"},
        {"RequestWhenDecided", R"({"command":"request-full-access"})",
         R"({"schemaVersion":1,"status":"ok","access":"full-access"})"},
        {"ExtraKeyWithGetAccess", R"({"command":"get-access","x":null})", error("invalid-request")},
        {"ExtraKeyWithListCalendars", R"({"command":"list-calendars","calendarIds":[]})", error("invalid-request")},
        {"ExtraKeyWithRequest", R"({"command":"request-full-access","a":1})", error("invalid-request")},
        {"RepeatedCommandKey", R"({"command":"list-calendars","command":"get-access"})",
         R"({"schemaVersion":1,"status":"ok","access":"full-access"})"},
        {"UnknownCommand", R"({"command":"delete-calendar"})", error("invalid-request")},
        {"CommandInOtherCase", R"({"command":"GET-ACCESS"})", error("invalid-request")},
        {"CommandNotString", R"({"command":1})", error("invalid-request")},
        {"NoCommand", R"({"cmd":"get-access"})", error("invalid-request")},
        {"EmptyObject", "{}", error("invalid-request")},
        {"TopLevelArray", R"(["get-access"])", error("invalid-request")},
        {"TopLevelString", R"("get-access")", error("access-failed")},
        {"TopLevelNumber", "1", error("access-failed")},
        {"Empty", "", error("access-failed")},
        {"Malformed", R"({"command":)", error("access-failed")},
        {"TrailingGarbage", R"({"command":"get-access"} x)", error("access-failed")},
        {"SurroundingWhiteSpace", " \n{\"command\":\"get-access\"}\n ",
         R"({"schemaVersion":1,"status":"ok","access":"full-access"})"},
        {"OccurrencesOfUnknownCalendar", R"({"command":"list-occurrences","calendarIds":["x"],"startMs":0,"endMs":1})",
         error("calendar-unavailable")},
    };
    for (const DispatchCase& c : cases) {
        FakeEventKit eventKit;
        eventKit.state.calendars = {{"work", "Work"}};
        EXPECT_EQ(answer(c.request, eventKit), c.response) << c.name;
    }
}

TEST(TovrelCalendarHelper, RequestSizeLimit) {
    FakeEventKit eventKit;
    const std::string request = R"({"command":"get-access"})";
    const std::string atLimit = request + std::string(16384 - request.size(), ' ');
    EXPECT_EQ(answer(atLimit, eventKit), R"({"schemaVersion":1,"status":"ok","access":"full-access"})");
    EXPECT_EQ(answer(atLimit + " ", eventKit), error("invalid-request"));
}

TEST(TovrelCalendarHelper, AccessStatusNames) {
    const std::pair<EKAuthorizationStatus, const char*> cases[] = {
        {EKAuthorizationStatus::notDetermined, "not-determined"}, {EKAuthorizationStatus::restricted, "restricted"},
        {EKAuthorizationStatus::denied, "denied"},                {EKAuthorizationStatus::fullAccess, "full-access"},
        {EKAuthorizationStatus::writeOnly, "write-only"},         {EKAuthorizationStatus::other, "unavailable"},
    };
    for (const auto& [status, name] : cases) {
        FakeEventKit eventKit;
        eventKit.state.authorization = status;
        EXPECT_EQ(answer(R"({"command":"get-access"})", eventKit),
                  std::string(R"({"schemaVersion":1,"status":"ok","access":")") + name + "\"}");
        EXPECT_EQ(eventKit.state.accessRequests, 0);
    }
}

TEST(TovrelCalendarHelper, RequestAfterADecisionDoesNotAsk) {
    FakeEventKit eventKit;
    eventKit.state.authorization = EKAuthorizationStatus::denied;
    EXPECT_EQ(answer(R"({"command":"request-full-access"})", eventKit),
              R"({"schemaVersion":1,"status":"ok","access":"denied"})");
    EXPECT_EQ(eventKit.state.accessRequests, 0);
    EXPECT_EQ(eventKit.state.storesMade, 0);
}

class ThrowingEventKit final : public EventKit {
public:
    EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType) const override {
        return EKAuthorizationStatus::fullAccess;
    }
    std::unique_ptr<EKEventStore> makeEventStore() override { throw EKPlatformError("The store is not available."); }
};

TEST(TovrelCalendarHelper, PlatformErrorIsAccessFailed) {
    ThrowingEventKit eventKit;
    EXPECT_EQ(json::write(TovrelCalendarHelper::respondTo(R"({"command":"list-calendars"})", eventKit),
                          json::KeyOrder::insertion),
              error("access-failed"));
}

TEST(TovrelCalendarHelper, CommandLine) {
    FakeEventKit eventKit;
    const auto respond = [&](std::vector<std::string> arguments) {
        // The command line is judged before any input is read: the descriptor is invalid.
        return json::write(TovrelCalendarHelper::respond(arguments, eventKit, -1), json::KeyOrder::insertion);
    };
    EXPECT_EQ(respond({"--self-test"}), R"({"schemaVersion":1,"status":"ok","syntheticCases":13})");
    EXPECT_EQ(respond({"--self-test", "x"}), error("invalid-request"));
    EXPECT_EQ(respond({"--selftest"}), error("invalid-request"));
    EXPECT_EQ(respond({""}), error("invalid-request"));
    // No arguments: the request is read, and reading a bad descriptor fails.
    EXPECT_EQ(respond({}), error("access-failed"));
}

// A response of exactly the given serialised length.
json::Value responseOfLength(std::size_t bytes) {
    const std::string frame = json::write(
        json::Value(json::Object{{"schemaVersion", 1}, {"status", "ok"}, {"calendars", ""}}), json::KeyOrder::insertion);
    return json::Value(json::Object{
        {"schemaVersion", 1}, {"status", "ok"}, {"calendars", std::string(bytes - frame.size(), 'a')}});
}

TEST(Emit, OutputLimit) {
    const auto atLimit = TovrelCalendarHelper::emittedLine(responseOfLength(8'388'608));
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->size(), 8'388'609u);
    EXPECT_EQ(atLimit->back(), '\n');
    EXPECT_EQ(TovrelCalendarHelper::emittedLine(responseOfLength(8'388'609)), error("result-limit") + "\n");
}

TEST(Emit, EscapedCharactersCountTowardsTheLimit) {
    // 4,194,305 slashes are written as 8,388,610 bytes.
    const json::Value response(json::Object{{"x", std::string(4'194'305, '/')}});
    EXPECT_EQ(TovrelCalendarHelper::emittedLine(response), error("result-limit") + "\n");
}

TEST(Emit, UnserialisableResponseWritesNothing) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const json::Value response(json::Object{{"title", "bad \xFF"}});
    EXPECT_EQ(TovrelCalendarHelper::emit(response, fds[1]), 1);
    close(fds[1]);
    char byte;
    EXPECT_EQ(read(fds[0], &byte, 1), 0);
    close(fds[0]);
}

TEST(Emit, WritesOneLine) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(TovrelCalendarHelper::emit(json::Value(json::Object{{"b", 1}, {"a", "x/y"}}), fds[1]), 0);
    close(fds[1]);
    char buffer[64];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    close(fds[0]);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), "{\"b\":1,\"a\":\"x\\/y\"}\n");
}

TEST(Emit, WriteFailureIsStatusOne) {
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    EXPECT_EQ(TovrelCalendarHelper::emit(json::Value(json::Object{{"a", 1}}), fds[1]), 1);
    close(fds[1]);
}

TEST(ReadRequest, StopsOneByteAfterTheLimit) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    // Larger than a pipe holds: the reader must not wait for the end of input.
    const std::string big(16385 + 100, 'x');
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::size_t written = 0;
    while (written < 16385) {
        const ssize_t n = write(fds[1], big.data() + written, big.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(TovrelCalendarHelper::readRequest(fds[0]).size(), 16385u);
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
}  // namespace quorvantel::calendar
