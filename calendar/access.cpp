#include "calendar/access.h"

#include <memory>
#include <semaphore>

#include "calendar/calendar_error.h"

namespace quorvantel::calendar {

std::string accessStatus(EKAuthorizationStatus status) {
    switch (status) {
        case EKAuthorizationStatus::notDetermined: return "not-determined";
        case EKAuthorizationStatus::restricted: return "restricted";
        case EKAuthorizationStatus::denied: return "denied";
        case EKAuthorizationStatus::fullAccess: return "full-access";
        case EKAuthorizationStatus::writeOnly: return "write-only";
        default: return "unavailable";
    }
}

std::string currentAccess(const EventKit& eventKit) {
    return accessStatus(eventKit.authorizationStatusForEntityType(EKEntityType::event));
}

std::string requestFullAccess(EventKit& eventKit, std::chrono::milliseconds wait) {
    const EKAuthorizationStatus before = eventKit.authorizationStatusForEntityType(EKEntityType::event);
    if (before != EKAuthorizationStatus::notDetermined) return accessStatus(before);

    const std::unique_ptr<EKEventStore> store = eventKit.makeEventStore();
    // The handler may run after the wait has given up; it shares the semaphore so
    // that a late answer never signals a semaphore that is gone.
    auto decided = std::make_shared<std::counting_semaphore<>>(0);
    // What the user chose is read from the store afterwards, never from the
    // handler's arguments.
    store->requestFullAccessToEvents([decided](bool, std::optional<std::string>) { decided->release(); });
    if (!decided->try_acquire_for(wait)) throw CalendarFailure(CalendarError::accessFailed);
    return currentAccess(eventKit);
}

void requireFullAccess(const EventKit& eventKit) {
    if (eventKit.authorizationStatusForEntityType(EKEntityType::event) != EKAuthorizationStatus::fullAccess) {
        throw CalendarFailure(CalendarError::permissionRequired);
    }
}

}  // namespace quorvantel::calendar
