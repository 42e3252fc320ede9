// The occurrences of opened calendars in a window: every event's instances, with
// recurrences expanded and the series' exceptions and moved instances applied by
// the calendar store itself, as event records.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <libecal/libecal.h>

#include "platform/eventkit/event_store.h"
#include "platform/linux/evolution/glib_handle.h"

namespace quorvantel::evolution {

// At most this many instances are gathered for one query. Far more than a response
// may hold, so that the helper's own limit is what the host sees; the bound keeps a
// store with runaway series (a rule repeating every minute) from filling memory.
inline constexpr std::size_t kMaximumQueriedOccurrences = 32'768;
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
