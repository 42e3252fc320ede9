// How many instances a series may have in a window, counted from its rules before
// the store is asked to expand it: the store expands a whole window at once, so a
// rule repeating every minute or second would fill memory before any limit of the
// helper is reached.
#pragma once

#include <cstddef>
#include <ctime>

#include <libical/ical.h>

namespace quorvantel::evolution {

// The rules of one query are followed for at most this many instances in all
// (about a second of work); a rule that needs more to reach the window counts as
// one with too many. Only rules with COUNT beyond the limit are walked at all.
inline constexpr std::size_t kMaximumRuleSteps = 1'000'000;

// At least the number of instances the component's RRULEs and RDATEs give that may
// overlap the window (time zones and the event's length are allowed for by
// widening the window), and more than limit when there are more than limit. Not
// exact: exceptions are not subtracted. steps is what is left of the query's
// kMaximumRuleSteps; the walk uses it up.
std::size_t instanceBound(icalcomponent* component, std::time_t windowStart, std::time_t windowEnd, std::size_t limit,
                          std::size_t& steps);

}  // namespace quorvantel::evolution
