// The sample store the stand-in presents when the scenario names no calendars or
// events: two calendars and a week of meetings around the current one, so that the
// helper shows something real on a machine without a calendar.
#pragma once

#include <vector>

#include "platform/eventkit/event_store.h"

namespace quorvantel::sim {

struct SimCalendarSamples {
    std::vector<EKCalendar> calendars;
    std::vector<EKEvent> events;
};

// The samples for the week (Monday to Sunday, local time) that holds nowMs.
SimCalendarSamples sampleCalendarStore(double nowMs);

}  // namespace quorvantel::sim
