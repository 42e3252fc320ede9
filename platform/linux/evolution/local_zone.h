// The user's time zone, for floating times and all-day dates.
#pragma once

#include <libecal/libecal.h>

namespace quorvantel::evolution {

// The zone TZ names (a zone name, with or without a leading ':') when it is set and
// known, as for every other program's local time; else the system's zone as the
// calendar store reads it; null when neither is known (UTC then). Not to be freed.
ICalTimezone* userTimeZone();

}  // namespace quorvantel::evolution
