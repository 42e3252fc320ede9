#include "platform/linux/evolution/recurrence_bound.h"

#include <algorithm>

namespace quorvantel::evolution {
namespace {

// No zone is more than a day away from UTC.
constexpr std::time_t kZoneSlackSeconds = 86'400;

// A time of the component read as UTC whatever its zone; the slack makes up for it.
std::time_t naiveSeconds(icaltimetype time) {
    time.zone = nullptr;
    time.is_date = 0;
    return icaltime_as_timet_with_zone(time, icaltimezone_get_utc_timezone());
}

std::time_t naiveLength(icalcomponent* component, const icaltimetype& start) {
    if (icalproperty* end = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY)) {
        return std::max<std::time_t>(0, naiveSeconds(icalproperty_get_dtend(end)) - naiveSeconds(start));
    }
    if (icalproperty* duration = icalcomponent_get_first_property(component, ICAL_DURATION_PROPERTY)) {
        return std::max<std::time_t>(0, icaldurationtype_as_int(icalproperty_get_duration(duration)));
    }
    return kZoneSlackSeconds;
}

// The instances of one rule starting in [from, to], up to limit + 1.
std::size_t ruleInstances(const icalrecurrencetype& rule, const icaltimetype& start, std::time_t from, std::time_t to,
                          std::size_t limit, std::size_t& steps) {
    if (rule.freq == ICAL_NO_RECURRENCE) return 0;
    if (rule.count > 0 && static_cast<std::size_t>(rule.count) <= limit) {
        return static_cast<std::size_t>(rule.count);
    }
    icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
    if (iterator == nullptr) return 0;
    // Without COUNT the iterator can begin at the window instead of walking there.
    if (rule.count == 0 && naiveSeconds(start) < from) {
        icaltimetype jump = icaltime_from_timet_with_zone(from, start.is_date, icaltimezone_get_utc_timezone());
        jump.zone = start.zone;
        icalrecur_iterator_set_start(iterator, jump);
    }
    std::size_t found = 0;
    while (found <= limit) {
        if (steps == 0) {
            found = limit + 1;
            break;
        }
        --steps;
        const icaltimetype next = icalrecur_iterator_next(iterator);
        if (icaltime_is_null_time(next)) break;
        const std::time_t at = naiveSeconds(next);
        if (at > to) break;
        if (at >= from) ++found;
    }
    icalrecur_iterator_free(iterator);
    return found;
}

}  // namespace

std::size_t instanceBound(icalcomponent* component, std::time_t windowStart, std::time_t windowEnd, std::size_t limit,
                          std::size_t& steps) {
    icalproperty* startProperty = icalcomponent_get_first_property(component, ICAL_DTSTART_PROPERTY);
    if (startProperty == nullptr) return 1;
    const icaltimetype start = icalproperty_get_dtstart(startProperty);
    if (icaltime_is_null_time(start)) return 1;
    const std::time_t from = windowStart - kZoneSlackSeconds - naiveLength(component, start);
    const std::time_t to = windowEnd + kZoneSlackSeconds;

    // The first instance is the event's own start, rule or not.
    std::size_t total = 1;
    for (icalproperty* rule = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY);
         rule != nullptr && total <= limit; rule = icalcomponent_get_next_property(component, ICAL_RRULE_PROPERTY)) {
        total += ruleInstances(icalproperty_get_rrule(rule), start, from, to, limit - total + 1, steps);
    }
    total += static_cast<std::size_t>(icalcomponent_count_properties(component, ICAL_RDATE_PROPERTY));
    return total;
}

}  // namespace quorvantel::evolution
