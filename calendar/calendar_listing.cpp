#include "calendar/calendar_listing.h"

#include "calendar/access.h"
#include "calendar/calendar_error.h"
#include "calendar/identifier.h"

namespace quorvantel::calendar {

json::Array calendars(EventKit& eventKit) {
    requireFullAccess(eventKit);
    const std::unique_ptr<EKEventStore> store = eventKit.makeEventStore();
    const std::vector<EKCalendar> all = store->calendarsForEntityType(EKEntityType::event);
    if (all.size() > kMaximumListedCalendars) throw CalendarFailure(CalendarError::resultLimit);
    json::Array listed;
    for (const EKCalendar& calendar : all) {
        // A calendar the host could not key or label is left out, never fatal.
        if (!validIdentifier(calendar.calendarIdentifier)) continue;
        std::optional<std::string> title = trimmedTitle(calendar.title);
        if (!title) continue;
        listed.push_back(json::Value(json::Object{{"id", calendar.calendarIdentifier}, {"title", std::move(*title)}}));
    }
    return listed;
}

}  // namespace quorvantel::calendar
