// Opening calendars: one client per selected source, all opened at once, since each
// open waits on its backend for up to a second.
#pragma once

#include <chrono>
#include <vector>

#include <libedataserver/libedataserver.h>

#include "platform/linux/evolution/calendar_sources.h"
#include "platform/linux/evolution/occurrence_query.h"

namespace quorvantel::evolution {

// How long an open waits for its backend to be online. Zero makes the store's
// own wait never end.
inline constexpr guint32 kBackendOnlineWaitSeconds = 1;
// Starting the calendar factory by bus activation and opening every backend.
inline constexpr std::chrono::milliseconds kCalendarOpenWait{30'000};

// The opened calendars, in the order of sources. Raises EKPlatformError naming the
// calendar that could not be opened, or the wait that ran out.
std::vector<OpenedCalendar> openCalendars(ESourceRegistry* registry, const std::vector<const CalendarSource*>& sources,
                                          std::chrono::milliseconds wait = kCalendarOpenWait);

}  // namespace quorvantel::evolution
