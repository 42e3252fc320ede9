// The list-occurrences command: the request's window and calendars, the store's
// occurrences in them, shaped and ordered by start.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "calendar/occurrence_record.h"
#include "platform/eventkit/event_store.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar {

inline constexpr std::size_t kMaximumRequestedCalendars = 32;
// 31 days.
inline constexpr double kMaximumWindowMs = 2'678'400'000.0;
// The last moment the platform's dates reach: 100,000,000 days after 1970.
inline constexpr double kMaximumWindowEndMs = 8'640'000'000'000'000.0;
inline constexpr std::size_t kMaximumOccurrences = 2048;
inline constexpr std::size_t kOccurrenceRequestKeys = 4;

struct OccurrenceRequest {
    std::vector<std::string> calendarIds;
    double startMs = 0;
    double endMs = 0;
};

// The request's fields, checked in order; raises CalendarFailure(invalidRequest).
OccurrenceRequest validatedOccurrenceRequest(const json::Value& request);

// The records of the requested calendars' occurrences, sorted by start with ties in
// the store's order; raises CalendarFailure.
std::vector<OccurrenceRecord> occurrenceRecords(const OccurrenceRequest& request, EventKit& eventKit);

// The whole command: validation, access, the records as JSON objects.
json::Array occurrences(const json::Value& request, EventKit& eventKit);

}  // namespace quorvantel::calendar
