#include "calendar/calendar_helper.h"

#include <cerrno>
#include <set>
#include <unistd.h>

#include "calendar/access.h"
#include "calendar/calendar_error.h"
#include "calendar/calendar_listing.h"
#include "calendar/occurrence_listing.h"
#include "calendar/self_test.h"

namespace quorvantel::calendar {
namespace {

constexpr std::string_view kSelfTestArgument = "--self-test";
constexpr std::size_t kSingleKeyCommand = 1;

json::Value okResponse(std::string_view resultKey, json::Value result) {
    return json::Value(json::Object{{"schemaVersion", TovrelCalendarHelper::kSchemaVersion},
                                    {"status", "ok"},
                                    {std::string(resultKey), std::move(result)}});
}

json::Value errorResponse(CalendarError error) {
    return json::Value(json::Object{
        {"schemaVersion", TovrelCalendarHelper::kSchemaVersion}, {"status", "error"}, {"reason", reason(error)}});
}

std::size_t keyCount(const json::Object& object) {
    std::set<std::string_view> keys;
    for (const auto& member : object) keys.insert(member.first);
    return keys.size();
}

json::Value dispatch(const json::Value& request, EventKit& eventKit) {
    if (!request.isObject()) throw CalendarFailure(CalendarError::invalidRequest);
    const json::Value* command = request.find("command");
    if (command == nullptr || !command->isString()) throw CalendarFailure(CalendarError::invalidRequest);
    const std::string& name = command->asString();
    if (name == "list-occurrences") return okResponse("occurrences", occurrences(request, eventKit));
    if (name != "get-access" && name != "request-full-access" && name != "list-calendars") {
        throw CalendarFailure(CalendarError::invalidRequest);
    }
    if (keyCount(request.asObject()) != kSingleKeyCommand) throw CalendarFailure(CalendarError::invalidRequest);
    if (name == "get-access") return okResponse("access", currentAccess(eventKit));
    if (name == "request-full-access") return okResponse("access", requestFullAccess(eventKit));
    return okResponse("calendars", calendars(eventKit));
}

// The one boundary: every failure of the operation becomes its error response.
template <typename Operation>
json::Value guarded(Operation operation) {
    try {
        return operation();
    } catch (const CalendarFailure& failure) {
        return errorResponse(failure.error());
    } catch (...) {
        // Platform errors and anything unforeseen: the host learns that access failed.
        return errorResponse(CalendarError::accessFailed);
    }
}

}  // namespace

std::string TovrelCalendarHelper::readRequest(int input) {
    const std::size_t limit = kMaximumRequestBytes + 1;
    std::string bytes(limit, '\0');
    std::size_t received = 0;
    while (received < limit) {
        const ssize_t n = ::read(input, bytes.data() + received, limit - received);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw CalendarFailure(CalendarError::accessFailed);
        }
        received += static_cast<std::size_t>(n);
    }
    bytes.resize(received);
    return bytes;
}

json::Value TovrelCalendarHelper::respondTo(std::string_view request, EventKit& eventKit) {
    return guarded([&] {
        if (request.size() > kMaximumRequestBytes) throw CalendarFailure(CalendarError::invalidRequest);
        json::Value parsed;
        try {
            parsed = json::parse(request);
        } catch (const json::ParseError&) {
            throw CalendarFailure(CalendarError::accessFailed);
        }
        return dispatch(parsed, eventKit);
    });
}

json::Value TovrelCalendarHelper::respond(const std::vector<std::string>& arguments, EventKit& eventKit,
                                          int input) {
    if (arguments.size() == 1 && arguments[0] == kSelfTestArgument) {
        return guarded([] { return okResponse("syntheticCases", runSelfTest()); });
    }
    if (!arguments.empty()) return errorResponse(CalendarError::invalidRequest);
    std::string request;
    try {
        request = readRequest(input);
    } catch (const CalendarFailure& failure) {
        return errorResponse(failure.error());
    }
    return respondTo(request, eventKit);
}

std::optional<std::string> TovrelCalendarHelper::emittedLine(const json::Value& response) {
    std::string line;
    try {
        line = json::write(response, json::KeyOrder::insertion);
    } catch (const json::WriteError&) {
        return std::nullopt;
    }
    if (line.size() > kMaximumResponseBytes) {
        line = json::write(errorResponse(CalendarError::resultLimit), json::KeyOrder::insertion);
    }
    line += '\n';
    return line;
}

int TovrelCalendarHelper::emit(const json::Value& response, int output) {
    const std::optional<std::string> line = emittedLine(response);
    if (!line) return kWriteFailureStatus;
    std::size_t written = 0;
    while (written < line->size()) {
        const ssize_t n = ::write(output, line->data() + written, line->size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return kWriteFailureStatus;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

int TovrelCalendarHelper::main(const std::vector<std::string>& arguments, EventKit& eventKit, int input,
                               int output) {
    return emit(respond(arguments, eventKit, input), output);
}

}  // namespace quorvantel::calendar
