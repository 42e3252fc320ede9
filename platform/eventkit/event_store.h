// The calendar store (EventKit): authorisation for events, the access prompt, the
// event calendars and the occurrences of a time window. The calendar helper reaches
// the store only through these types, so that the stand-in and a macOS build are
// interchangeable.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvantel {

// A point in time as the platform's Date: seconds since 1970-01-01 00:00 UTC.
struct EKDate {
    double timeIntervalSince1970 = 0;
};

enum class EKEntityType { event, reminder };

// The authorisation for one entity type; `other` stands for any value the store may
// add later.
enum class EKAuthorizationStatus { notDetermined, restricted, denied, fullAccess, writeOnly, other };

enum class EKEventStatus { none, confirmed, tentative, canceled, other };

enum class EKParticipantStatus {
    unknown,
    pending,
    accepted,
    declined,
    tentative,
    delegated,
    completed,
    inProcess,
    other
};

struct EKCalendar {
    std::string calendarIdentifier;
    std::string title;
};

struct EKParticipant {
    bool isCurrentUser = false;
    EKParticipantStatus participantStatus = EKParticipantStatus::unknown;
};

// One occurrence as the store returns it (a recurring series already expanded).
struct EKEvent {
    bool isAllDay = false;
    // The identifier of the event's calendar; absent when the event has no calendar.
    std::optional<std::string> calendarIdentifier;
    std::optional<EKDate> startDate;
    std::optional<EKDate> endDate;
    std::optional<std::string> title;
    std::optional<EKDate> occurrenceDate;
    std::size_t recurrenceRuleCount = 0;
    std::optional<std::string> calendarItemExternalIdentifier;
    std::string calendarItemIdentifier;
    EKEventStatus status = EKEventStatus::none;
    std::optional<EKParticipant> organizer;
    std::vector<EKParticipant> attendees;
    // The event's link as its absolute string.
    std::optional<std::string> URL;
    std::optional<std::string> location;
    std::optional<std::string> notes;
};

// The query for the occurrences of some calendars that overlap a window.
struct EKPredicate {
    EKDate startDate;
    EKDate endDate;
    std::vector<EKCalendar> calendars;
};

// Raised by a store operation that fails, with the platform's own description.
class EKPlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by eventsMatchingPredicate when the store holds more occurrences in the
// window than it can hand over; the helper answers as for any result too large.
class EKResultLimitExceeded : public EKPlatformError {
public:
    using EKPlatformError::EKPlatformError;
};

// Called once, on any thread, when the user has decided (granted, error text).
using EKAccessCompletion = std::function<void(bool granted, std::optional<std::string> error)>;

// One store object, created for one command.
class EKEventStore {
public:
    virtual ~EKEventStore() = default;
    virtual void requestFullAccessToEvents(EKAccessCompletion completion) = 0;
    // Every calendar of the entity type, in the store's order.
    virtual std::vector<EKCalendar> calendarsForEntityType(EKEntityType type) = 0;
    virtual EKPredicate predicateForEvents(EKDate startDate, EKDate endDate,
                                           const std::vector<EKCalendar>& calendars) = 0;
    // The matching occurrences, in the store's order.
    virtual std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate& predicate) = 0;
};

// The store's class members: the current authorisation and making a store.
class EventKit {
public:
    virtual ~EventKit() = default;
    virtual EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType type) const = 0;
    virtual std::unique_ptr<EKEventStore> makeEventStore() = 0;
};

}  // namespace quorvantel
