// Calendar access: the current authorisation as the host names it, and the one
// access prompt, whose answer is waited for at most 90 seconds.
#pragma once

#include <chrono>
#include <string>

#include "platform/eventkit/event_store.h"

namespace quorvantel::calendar {

inline constexpr std::chrono::seconds kAccessDecisionWait{90};

// "not-determined", "restricted", "denied", "full-access", "write-only" or
// "unavailable".
std::string accessStatus(EKAuthorizationStatus status);

// The current access for events; the user is never asked.
std::string currentAccess(const EventKit& eventKit);

// Asks the user when nobody has decided yet, then reports the access the store
// records; raises CalendarFailure(accessFailed) when no answer comes within wait.
std::string requestFullAccess(EventKit& eventKit, std::chrono::milliseconds wait = kAccessDecisionWait);

// Raises CalendarFailure(permissionRequired) unless the user gave full access.
void requireFullAccess(const EventKit& eventKit);

}  // namespace quorvantel::calendar
