#include "calendar/occurrence_record.h"

#include <cmath>

#include "calendar/identifier.h"

namespace quorvantel::calendar {
namespace {

// 2^63: the first value that no longer fits a signed 64-bit count.
constexpr double kInt64Bound = 9223372036854775808.0;

json::Value nullable(const std::optional<MeetingLink>& meeting, std::string MeetingLink::*member) {
    if (!meeting) return json::Value(nullptr);
    return json::Value((*meeting).*member);
}

}  // namespace

json::Value OccurrenceRecord::toJSON() const {
    return json::Value(json::Object{
        {"calendarId", calendarId},
        {"seriesId", seriesId},
        {"occurrenceStartMs", static_cast<long long>(occurrenceStartMs)},
        {"startMs", static_cast<long long>(startMs)},
        {"endMs", static_cast<long long>(endMs)},
        {"title", title},
        {"isRecurring", isRecurring},
        {"identityStatus", isRecurring ? "review-required" : "stable"},
        {"status", status},
        {"responseStatus", responseStatus},
        {"meetingKey", nullable(meeting, &MeetingLink::key)},
        {"joinUrl", nullable(meeting, &MeetingLink::url)},
    });
}

std::optional<std::string> recordingSeriesIdentifier(bool isRecurring,
                                                     const std::optional<std::string>& externalId,
                                                     std::string_view local) {
    std::string candidate;
    if (isRecurring && externalId) {
        candidate = *externalId;
    } else {
        candidate = std::string(kLocalSeriesPrefix) + std::string(local);
    }
    if (!validIdentifier(candidate)) return std::nullopt;
    return candidate;
}

std::string boundedTitle(const std::optional<std::string>& title) {
    if (title) {
        if (std::optional<std::string> trimmed = trimmedTitle(*title)) return std::move(*trimmed);
    }
    return std::string(kUntitledEvent);
}

std::string responseStatus(const EKEvent& event) {
    if (event.organizer && event.organizer->isCurrentUser) return "accepted";
    for (const EKParticipant& attendee : event.attendees) {
        if (!attendee.isCurrentUser) continue;
        switch (attendee.participantStatus) {
            case EKParticipantStatus::accepted: return "accepted";
            case EKParticipantStatus::declined: return "declined";
            case EKParticipantStatus::tentative: return "tentative";
            default: return "unknown";
        }
    }
    return "unknown";
}

std::string eventStatus(EKEventStatus status) {
    switch (status) {
        case EKEventStatus::confirmed: return "confirmed";
        case EKEventStatus::tentative: return "tentative";
        case EKEventStatus::canceled: return "canceled";
        default: return "unknown";
    }
}

bool isRecurring(const EKEvent& event) { return event.occurrenceDate.has_value() || event.recurrenceRuleCount > 0; }

std::optional<std::int64_t> millisecondsSince1970(EKDate date) {
    const double rounded = std::round(date.timeIntervalSince1970 * 1000.0);
    if (!std::isfinite(rounded) || rounded < -kInt64Bound || rounded >= kInt64Bound) return std::nullopt;
    return static_cast<std::int64_t>(rounded);
}

std::optional<MeetingLink> meetingLinkFor(const EKEvent& event) {
    return meetingLinkIn({event.URL, event.location, event.notes});
}

std::optional<OccurrenceRecord> occurrenceRecord(const EKEvent& event) {
    if (event.isAllDay) return std::nullopt;
    if (!event.calendarIdentifier || !validIdentifier(*event.calendarIdentifier)) return std::nullopt;
    if (!event.startDate || !event.endDate) return std::nullopt;
    if (!(event.endDate->timeIntervalSince1970 > event.startDate->timeIntervalSince1970)) return std::nullopt;

    OccurrenceRecord record;
    record.calendarId = *event.calendarIdentifier;
    record.title = boundedTitle(event.title);
    record.isRecurring = isRecurring(event);
    std::optional<std::string> seriesId = recordingSeriesIdentifier(
        record.isRecurring, event.calendarItemExternalIdentifier, event.calendarItemIdentifier);
    if (!seriesId) return std::nullopt;
    record.seriesId = std::move(*seriesId);

    // A time that has no whole-millisecond count would have to be invented; such an
    // occurrence is left out like one without a time.
    const std::optional<std::int64_t> startMs = millisecondsSince1970(*event.startDate);
    const std::optional<std::int64_t> endMs = millisecondsSince1970(*event.endDate);
    if (!startMs || !endMs) return std::nullopt;
    record.startMs = *startMs;
    record.endMs = *endMs;
    if (record.isRecurring) {
        const std::optional<std::int64_t> occurrenceMs =
            millisecondsSince1970(event.occurrenceDate.value_or(*event.startDate));
        if (!occurrenceMs) return std::nullopt;
        record.occurrenceStartMs = *occurrenceMs;
    }
    record.meeting = meetingLinkFor(event);
    record.status = eventStatus(event.status);
    record.responseStatus = responseStatus(event);
    return record;
}

}  // namespace quorvantel::calendar
