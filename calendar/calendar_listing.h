// The store's event calendars as the host lists them: usable identifiers and
// trimmed titles, in the store's order.
#pragma once

#include <cstddef>

#include "platform/eventkit/event_store.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar {

inline constexpr std::size_t kMaximumListedCalendars = 128;

// The calendar objects ({"id", "title"}); raises CalendarFailure for missing
// access or a store with more than 128 event calendars.
json::Array calendars(EventKit& eventKit);

}  // namespace quorvantel::calendar
