// One iCalendar event (a VEVENT, one instance of a series already expanded) as the
// calendar store's event record. Pure apart from libical's time-zone tables: the
// store's own zones come in through ComponentContext.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <libical/ical.h>

#include "platform/eventkit/event_store.h"

namespace quorvantel::evolution {

struct ComponentContext {
    // The identifier of the calendar the component belongs to.
    std::string calendarIdentifier;
    // The calendar owner's e-mail address: the organizer or attendee with this
    // address is the current user. Nothing when the calendar names no owner.
    std::optional<std::string> ownerAddress;
    // The zone of floating times and of all-day dates; UTC when null.
    icaltimezone* localZone = nullptr;
    // A zone the component names by TZID but does not carry itself (the calendar's
    // own VTIMEZONEs); null when the calendar does not know it either.
    std::function<icaltimezone*(const std::string& tzid)> zoneNamed;
};

// The event record of a VEVENT, or nothing when the component has no UID (without
// one it can be neither told apart from other events nor put into a series).
std::optional<EKEvent> eventFromComponent(icalcomponent* event, const ComponentContext& context);

// The address of a CAL-ADDRESS value ("mailto:" dropped), lower-cased for comparison.
std::string comparableAddress(const std::string& calAddress);

}  // namespace quorvantel::evolution
