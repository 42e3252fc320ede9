// The occurrences of opened calendars in a window: every event's instances, with
// recurrences expanded and the series' exceptions and moved instances applied by
// the calendar store itself, as event records.
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <libecal/libecal.h>

#include "platform/eventkit/event_store.h"
#include "platform/linux/evolution/glib_handle.h"

namespace quorvantel::evolution {

// At most this many instances are gathered for one query: four times what a
// response may hold, so that occurrences the helper leaves out (all-day ones) still
// leave it its own limit to apply, while a store with runaway series (a rule
// repeating every minute) never fills memory or keeps the host waiting.
inline constexpr std::size_t kMaximumQueriedOccurrences = 8'192;
// A healthy store lists a window's events in milliseconds; one expanding a runaway
// series may take many seconds, and the helper does not wait for it longer.
inline constexpr std::chrono::milliseconds kStoreQueryWait{15'000};
// The last second the store's time ranges can name: the end of the year 9999.
inline constexpr std::time_t kLatestStoreTime = 253'402'300'799;

struct OpenedCalendar {
    std::string uid;
    GObjectHandle<ECalClient> client;
    std::optional<std::string> ownerAddress;
};

// Whether an instance overlaps the window (start before the window's end, end after
// its start). An instance without a start or an end is kept for the caller to judge.
bool overlapsWindow(const EKEvent& event, EKDate windowStart, EKDate windowEnd);

// Adds the calendar's instances overlapping the window to occurrences. Raises
// EKPlatformError with the store's description when a query fails, and
// EKResultLimitExceeded when occurrences would grow beyond
// kMaximumQueriedOccurrences.
void appendOccurrences(OpenedCalendar& calendar, EKDate windowStart, EKDate windowEnd,
                       std::vector<EKEvent>& occurrences);

}  // namespace quorvantel::evolution
