// One store occurrence shaped into the flat record the host keeps: stable
// identifiers, whole milliseconds, a bounded title, recurrence and identity flags,
// event and response status, and the meeting link.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calendar/meeting_link.h"
#include "platform/eventkit/event_store.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar {

inline constexpr std::string_view kUntitledEvent = "Untitled event";
inline constexpr std::string_view kLocalSeriesPrefix = "local:";

struct OccurrenceRecord {
    std::string calendarId;
    std::string seriesId;
    std::int64_t occurrenceStartMs = 0;
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string title;
    bool isRecurring = false;
    std::string status;
    std::string responseStatus;
    std::optional<MeetingLink> meeting;

    // The record's JSON object, its keys in the host's order.
    json::Value toJSON() const;
};

// A recurring series keeps its external identifier on every occurrence; anything
// else is named by its local identifier. An unusable candidate gives nothing, with
// no fallback from the external to the local identifier.
std::optional<std::string> recordingSeriesIdentifier(bool isRecurring,
                                                     const std::optional<std::string>& externalId,
                                                     std::string_view local);

// The trimmed title when it is usable, else "Untitled event".
std::string boundedTitle(const std::optional<std::string>& title);

// The user's own answer to the invitation: "accepted", "declined", "tentative" or
// "unknown".
std::string responseStatus(const EKEvent& event);

std::string eventStatus(EKEventStatus status);

// An occurrence of a series, or an event with recurrence rules.
bool isRecurring(const EKEvent& event);

// The date's seconds since 1970 times 1000, rounded half away from zero; nothing
// when that is not a finite signed 64-bit count.
std::optional<std::int64_t> millisecondsSince1970(EKDate date);

// The meeting of the event's link, location and notes.
std::optional<MeetingLink> meetingLinkFor(const EKEvent& event);

// The record of one occurrence, or nothing when a per-event rule leaves it out.
std::optional<OccurrenceRecord> occurrenceRecord(const EKEvent& event);

}  // namespace quorvantel::calendar
