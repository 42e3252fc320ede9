// quorvantel-calendar: one request in, one JSON line out. The host starts one process
// per request, writes the request and closes standard input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/eventkit/event_store.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar {

struct TovrelCalendarHelper {
    // A request is at most this long; one byte more is read to tell.
    static constexpr std::size_t kMaximumRequestBytes = 16384;
    // A response longer than this is replaced by the "result-limit" error.
    static constexpr std::size_t kMaximumResponseBytes = 8'388'608;
    static constexpr int kSchemaVersion = 1;
    static constexpr int kWriteFailureStatus = 1;

    // Serves the command line's request on the two descriptors; returns the exit
    // status.
    static int main(const std::vector<std::string>& arguments, EventKit& eventKit, int input, int output);

    // The response to the command line: the self-test, an invalid command line, or
    // the request read from input. Every failure becomes an error response.
    static json::Value respond(const std::vector<std::string>& arguments, EventKit& eventKit, int input);

    // The response to one request's bytes.
    static json::Value respondTo(std::string_view request, EventKit& eventKit);

    // The line emit writes for the response (the "result-limit" error instead of one
    // over the output limit), or nothing when the response has no JSON text.
    static std::optional<std::string> emittedLine(const json::Value& response);

    // Writes the response's line whole; returns the exit status (1 when it cannot be
    // serialised or written, with nothing written in the first case).
    static int emit(const json::Value& response, int output);

    // Reads until end of input or until one byte more than a request may have.
    static std::string readRequest(int input);
};

}  // namespace quorvantel::calendar
