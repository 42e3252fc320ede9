#include "platform/linux/evolution/ical_event.h"

#include <cctype>
#include <strings.h>
#include <string_view>
#include <utility>

namespace quorvantel::evolution {
namespace {

constexpr std::string_view kMailtoScheme = "mailto:";
constexpr const char* kInProcess = "IN-PROCESS";

// The zone a TZID names: the component's own VTIMEZONEs (and those of the calendar
// object around it), the calendar's zones, then libical's built-in zones by their
// full identifier or by location ("Europe/Berlin").
icaltimezone* zoneNamed(icalcomponent* component, const std::string& tzid, const ComponentContext& context) {
    for (icalcomponent* c = component; c != nullptr; c = icalcomponent_get_parent(c)) {
        if (icaltimezone* zone = icalcomponent_get_timezone(c, tzid.c_str())) return zone;
    }
    if (context.zoneNamed) {
        if (icaltimezone* zone = context.zoneNamed(tzid)) return zone;
    }
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone_from_tzid(tzid.c_str())) return zone;
    return icaltimezone_get_builtin_timezone(tzid.c_str());
}

icaltimezone* localZone(const ComponentContext& context) {
    return context.localZone != nullptr ? context.localZone : icaltimezone_get_utc_timezone();
}

// The zone a time of the property is counted in; null when it names a zone nobody
// knows, since guessing one would move the event by hours.
icaltimezone* zoneOf(icalcomponent* component, icalproperty* property, const icaltimetype& time,
                     const ComponentContext& context, bool& unknownZone) {
    unknownZone = false;
    if (time.is_date) return localZone(context);
    if (icaltime_is_utc(time)) return icaltimezone_get_utc_timezone();
    if (icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER)) {
        const char* name = icalparameter_get_tzid(tzid);
        icaltimezone* zone = name != nullptr ? zoneNamed(component, name, context) : nullptr;
        if (zone == nullptr) unknownZone = true;
        return zone;
    }
    // A floating time is the same wall-clock time wherever the user is.
    return localZone(context);
}

std::optional<EKDate> dateIn(const icaltimetype& time, icaltimezone* zone) {
    if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) return std::nullopt;
    return EKDate{static_cast<double>(icaltime_as_timet_with_zone(time, zone))};
}

struct PropertyTime {
    icaltimetype time = icaltime_null_time();
    icaltimezone* zone = nullptr;
    bool usable = false;
};

PropertyTime propertyTime(icalcomponent* component, icalproperty_kind kind, const ComponentContext& context) {
    PropertyTime result;
    icalproperty* property = icalcomponent_get_first_property(component, kind);
    if (property == nullptr) return result;
    icalvalue* value = icalproperty_get_value(property);
    if (value == nullptr) return result;
    const icalvalue_kind valueKind = icalvalue_isa(value);
    if (valueKind != ICAL_DATETIME_VALUE && valueKind != ICAL_DATE_VALUE) return result;
    result.time = icalvalue_get_datetime(value);
    if (icaltime_is_null_time(result.time)) return result;
    bool unknownZone = false;
    result.zone = zoneOf(component, property, result.time, context, unknownZone);
    result.usable = !unknownZone && result.zone != nullptr;
    return result;
}

// The end of the event: DTEND, else DTSTART plus DURATION, else one day for an
// all-day event and the start itself for a timed one.
std::optional<EKDate> endDate(icalcomponent* component, const PropertyTime& start, const ComponentContext& context) {
    const PropertyTime end = propertyTime(component, ICAL_DTEND_PROPERTY, context);
    if (end.usable) return dateIn(end.time, end.zone);
    if (icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY) != nullptr) return std::nullopt;
    if (icalproperty* duration = icalcomponent_get_first_property(component, ICAL_DURATION_PROPERTY)) {
        // Added to the wall-clock time, so that a day stays a day across a change of
        // daylight saving time.
        return dateIn(icaltime_add(start.time, icalproperty_get_duration(duration)), start.zone);
    }
    if (start.time.is_date) {
        icaldurationtype day = icaldurationtype_null_duration();
        day.days = 1;
        return dateIn(icaltime_add(start.time, day), start.zone);
    }
    return dateIn(start.time, start.zone);
}

std::optional<std::string> text(icalcomponent* component, icalproperty_kind kind) {
    icalproperty* property = icalcomponent_get_first_property(component, kind);
    if (property == nullptr) return std::nullopt;
    const char* value = nullptr;
    switch (kind) {
        case ICAL_SUMMARY_PROPERTY: value = icalproperty_get_summary(property); break;
        case ICAL_LOCATION_PROPERTY: value = icalproperty_get_location(property); break;
        case ICAL_DESCRIPTION_PROPERTY: value = icalproperty_get_description(property); break;
        case ICAL_URL_PROPERTY: value = icalproperty_get_url(property); break;
        case ICAL_UID_PROPERTY: value = icalproperty_get_uid(property); break;
        default: break;
    }
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

EKEventStatus eventStatus(icalcomponent* component) {
    icalproperty* property = icalcomponent_get_first_property(component, ICAL_STATUS_PROPERTY);
    if (property == nullptr) return EKEventStatus::none;
    switch (icalproperty_get_status(property)) {
        case ICAL_STATUS_CONFIRMED: return EKEventStatus::confirmed;
        case ICAL_STATUS_TENTATIVE: return EKEventStatus::tentative;
        case ICAL_STATUS_CANCELLED: return EKEventStatus::canceled;
        case ICAL_STATUS_NONE: return EKEventStatus::none;
        default: return EKEventStatus::other;
    }
}

EKParticipantStatus participantStatus(icalproperty* attendee) {
    icalparameter* partstat = icalproperty_get_first_parameter(attendee, ICAL_PARTSTAT_PARAMETER);
    // Without PARTSTAT an attendee has not answered yet (NEEDS-ACTION).
    if (partstat == nullptr) return EKParticipantStatus::pending;
    switch (icalparameter_get_partstat(partstat)) {
        case ICAL_PARTSTAT_NEEDSACTION: return EKParticipantStatus::pending;
        case ICAL_PARTSTAT_ACCEPTED: return EKParticipantStatus::accepted;
        case ICAL_PARTSTAT_DECLINED: return EKParticipantStatus::declined;
        case ICAL_PARTSTAT_TENTATIVE: return EKParticipantStatus::tentative;
        case ICAL_PARTSTAT_DELEGATED: return EKParticipantStatus::delegated;
        case ICAL_PARTSTAT_COMPLETED: return EKParticipantStatus::completed;
        case ICAL_PARTSTAT_INPROCESS: return EKParticipantStatus::inProcess;
        case ICAL_PARTSTAT_X: {
            // libical's parser does not know its own spelling of IN-PROCESS and keeps
            // it as an extension value.
            const char* value = icalparameter_get_xvalue(partstat);
            if (value != nullptr && ::strcasecmp(value, kInProcess) == 0) return EKParticipantStatus::inProcess;
            return EKParticipantStatus::other;
        }
        default: return EKParticipantStatus::other;
    }
}

bool isOwner(const char* calAddress, const ComponentContext& context) {
    if (calAddress == nullptr || !context.ownerAddress) return false;
    const std::string owner = comparableAddress(*context.ownerAddress);
    return !owner.empty() && comparableAddress(calAddress) == owner;
}

}  // namespace

std::string comparableAddress(const std::string& calAddress) {
    std::string_view address = calAddress;
    while (!address.empty() && std::isspace(static_cast<unsigned char>(address.front()))) address.remove_prefix(1);
    while (!address.empty() && std::isspace(static_cast<unsigned char>(address.back()))) address.remove_suffix(1);
    if (address.size() >= kMailtoScheme.size()) {
        bool mailto = true;
        for (std::size_t i = 0; i < kMailtoScheme.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(address[i])) != kMailtoScheme[i]) mailto = false;
        }
        if (mailto) address.remove_prefix(kMailtoScheme.size());
    }
    std::string result(address);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::optional<EKEvent> eventFromComponent(icalcomponent* component, const ComponentContext& context) {
    const std::optional<std::string> uid = text(component, ICAL_UID_PROPERTY);
    if (!uid || uid->empty()) return std::nullopt;

    EKEvent event;
    event.calendarIdentifier = context.calendarIdentifier;
    event.calendarItemIdentifier = *uid;
    event.calendarItemExternalIdentifier = *uid;

    const PropertyTime start = propertyTime(component, ICAL_DTSTART_PROPERTY, context);
    event.isAllDay = start.usable && start.time.is_date;
    if (start.usable) {
        event.startDate = dateIn(start.time, start.zone);
        if (event.startDate) event.endDate = endDate(component, start, context);
    }

    const PropertyTime recurrenceId = propertyTime(component, ICAL_RECURRENCEID_PROPERTY, context);
    if (recurrenceId.usable) event.occurrenceDate = dateIn(recurrenceId.time, recurrenceId.zone);
    event.recurrenceRuleCount = static_cast<std::size_t>(icalcomponent_count_properties(component, ICAL_RRULE_PROPERTY));

    event.title = text(component, ICAL_SUMMARY_PROPERTY);
    event.URL = text(component, ICAL_URL_PROPERTY);
    event.location = text(component, ICAL_LOCATION_PROPERTY);
    event.notes = text(component, ICAL_DESCRIPTION_PROPERTY);
    event.status = eventStatus(component);

    if (icalproperty* organizer = icalcomponent_get_first_property(component, ICAL_ORGANIZER_PROPERTY)) {
        // The organizer's own answer is not asked for: organising is accepting.
        event.organizer = EKParticipant{isOwner(icalproperty_get_organizer(organizer), context),
                                        EKParticipantStatus::unknown};
    }
    for (icalproperty* attendee = icalcomponent_get_first_property(component, ICAL_ATTENDEE_PROPERTY);
         attendee != nullptr; attendee = icalcomponent_get_next_property(component, ICAL_ATTENDEE_PROPERTY)) {
        event.attendees.push_back(
            EKParticipant{isOwner(icalproperty_get_attendee(attendee), context), participantStatus(attendee)});
    }
    return event;
}

}  // namespace quorvantel::evolution
