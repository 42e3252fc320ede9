#include "calendar/occurrence_listing.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "calendar/access.h"
#include "calendar/calendar_error.h"
#include "calendar/identifier.h"

namespace quorvantel::calendar {
namespace {

[[noreturn]] void invalid() { throw CalendarFailure(CalendarError::invalidRequest); }

// Distinct keys, as the request's dictionary holds them.
std::size_t keyCount(const json::Object& object) {
    std::set<std::string_view> keys;
    for (const auto& member : object) keys.insert(member.first);
    return keys.size();
}

double finiteNumber(const json::Value* value) {
    if (value == nullptr || !value->isNumber()) invalid();
    const double number = value->asDouble();
    if (!std::isfinite(number)) invalid();
    return number;
}

}  // namespace

OccurrenceRequest validatedOccurrenceRequest(const json::Value& request) {
    if (!request.isObject() || keyCount(request.asObject()) != kOccurrenceRequestKeys) invalid();
    const json::Value* calendarIds = request.find("calendarIds");
    const json::Value* startMs = request.find("startMs");
    const json::Value* endMs = request.find("endMs");
    if (calendarIds == nullptr || startMs == nullptr || endMs == nullptr) invalid();

    OccurrenceRequest result;
    if (!calendarIds->isArray()) invalid();
    const json::Array& ids = calendarIds->asArray();
    if (ids.empty() || ids.size() > kMaximumRequestedCalendars) invalid();
    std::set<std::string_view> distinct;
    for (const json::Value& id : ids) {
        if (!id.isString()) invalid();
        distinct.insert(id.asString());
    }
    if (distinct.size() != ids.size()) invalid();
    for (const json::Value& id : ids) {
        if (!validIdentifier(id.asString())) invalid();
        result.calendarIds.push_back(id.asString());
    }

    result.startMs = finiteNumber(startMs);
    result.endMs = finiteNumber(endMs);
    if (result.startMs < 0) invalid();
    if (!(result.startMs < result.endMs)) invalid();
    if (result.endMs > kMaximumWindowEndMs) invalid();
    if (result.endMs - result.startMs > kMaximumWindowMs) invalid();
    return result;
}

std::vector<OccurrenceRecord> occurrenceRecords(const OccurrenceRequest& request, EventKit& eventKit) {
    requireFullAccess(eventKit);
    const std::unique_ptr<EKEventStore> store = eventKit.makeEventStore();

    std::vector<EKCalendar> selected;
    for (const EKCalendar& calendar : store->calendarsForEntityType(EKEntityType::event)) {
        if (std::find(request.calendarIds.begin(), request.calendarIds.end(), calendar.calendarIdentifier) !=
            request.calendarIds.end()) {
            selected.push_back(calendar);
        }
    }
    if (selected.size() != request.calendarIds.size()) throw CalendarFailure(CalendarError::calendarUnavailable);

    const EKPredicate predicate =
        store->predicateForEvents(EKDate{request.startMs / 1000.0}, EKDate{request.endMs / 1000.0}, selected);
    std::vector<EKEvent> events;
    try {
        events = store->eventsMatchingPredicate(predicate);
    } catch (const EKResultLimitExceeded&) {
        throw CalendarFailure(CalendarError::resultLimit);
    }
    std::vector<OccurrenceRecord> records;
    for (const EKEvent& event : events) {
        std::optional<OccurrenceRecord> record = occurrenceRecord(event);
        if (!record) continue;
        records.push_back(std::move(*record));
        if (records.size() > kMaximumOccurrences) throw CalendarFailure(CalendarError::resultLimit);
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const OccurrenceRecord& a, const OccurrenceRecord& b) { return a.startMs < b.startMs; });
    return records;
}

json::Array occurrences(const json::Value& request, EventKit& eventKit) {
    const OccurrenceRequest validated = validatedOccurrenceRequest(request);
    json::Array list;
    for (const OccurrenceRecord& record : occurrenceRecords(validated, eventKit)) list.push_back(record.toJSON());
    return list;
}

}  // namespace quorvantel::calendar
