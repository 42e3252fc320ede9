// How many instances a series may have in a window, counted from its rules before
// the store is asked to expand it: the store expands a whole window at once, so a
// rule repeating every minute or second would fill memory before any limit of the
// helper is reached.
#pragma once

#include <cstddef>
#include <ctime>

#include <libical/ical.h>

namespace quorvantel::evolution {

// A rule is followed for at most this many instances from its start; a rule that
// needs more to reach the window counts as one with too many.
inline constexpr std::size_t kMaximumRuleSteps = 1'000'000;

// At least the number of instances the component's RRULEs and RDATEs give that may
// overlap the window (time zones and the event's length are allowed for by
// widening the window), and more than limit when there are more than limit. Not
// exact: exceptions are not subtracted.
std::size_t instanceBound(icalcomponent* component, std::time_t windowStart, std::time_t windowEnd, std::size_t limit);

}  // namespace quorvantel::evolution
