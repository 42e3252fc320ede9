#include "platform/sim/eventkit/sim_event_kit.h"

#include <algorithm>
#include <thread>

#include "platform/foundation/clock.h"
#include "platform/sim/eventkit/sim_calendar_samples.h"

namespace quorvantel::sim {
namespace {

// A scenario value that may be missing or null, both meaning absent.
std::optional<std::string> nullableString(const Section& section, std::string_view key) {
    if (section.isNull(key)) return std::nullopt;
    return section.string(key);
}

std::optional<EKDate> nullableDate(const Section& section, std::string_view key) {
    if (section.isNull(key)) return std::nullopt;
    const std::optional<double> ms = section.number(key);
    if (!ms) return std::nullopt;
    return EKDate{*ms / 1000.0};
}

bool flag(const Section& section, std::string_view key, bool fallback) {
    if (section.isNull(key)) return fallback;
    return section.boolean(key).value_or(fallback);
}

std::string requiredString(const Section& section, std::string_view key) {
    const std::optional<std::string> value = section.isNull(key) ? std::nullopt : section.string(key);
    if (!value) section.wrongType(key, "a string");
    return *value;
}

EKEventStatus eventStatusNamed(std::string_view name) {
    if (name == "none") return EKEventStatus::none;
    if (name == "confirmed") return EKEventStatus::confirmed;
    if (name == "tentative") return EKEventStatus::tentative;
    if (name == "canceled") return EKEventStatus::canceled;
    return EKEventStatus::other;
}

EKParticipantStatus participantStatusNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, EKParticipantStatus> kNames[] = {
        {"unknown", EKParticipantStatus::unknown},     {"pending", EKParticipantStatus::pending},
        {"accepted", EKParticipantStatus::accepted},   {"declined", EKParticipantStatus::declined},
        {"tentative", EKParticipantStatus::tentative}, {"delegated", EKParticipantStatus::delegated},
        {"completed", EKParticipantStatus::completed}, {"inProcess", EKParticipantStatus::inProcess},
    };
    for (const auto& [text, status] : kNames) {
        if (text == name) return status;
    }
    return EKParticipantStatus::other;
}

// The i-th element of an array member, which must be an object.
Section element(const Section& parent, std::string_view key, const json::Value& value, std::size_t i) {
    const std::string path = parent.pathOf(key) + "[" + std::to_string(i) + "]";
    if (!value.isObject()) throw ScenarioError(path + " must be an object");
    return Section(&value, path);
}

EKEvent readEvent(const Section& event, std::size_t index) {
    EKEvent result;
    result.calendarIdentifier = nullableString(event, "calendarId");
    result.title = nullableString(event, "title");
    result.startDate = nullableDate(event, "startMs");
    result.endDate = nullableDate(event, "endMs");
    result.isAllDay = flag(event, "isAllDay", false);
    result.occurrenceDate = nullableDate(event, "occurrenceDateMs");
    if (!event.isNull("recurrenceRuleCount")) {
        const std::int64_t count = event.integer("recurrenceRuleCount").value_or(0);
        if (count < 0) event.wrongType("recurrenceRuleCount", "a count of zero or more");
        result.recurrenceRuleCount = static_cast<std::size_t>(count);
    }
    result.calendarItemExternalIdentifier = nullableString(event, "externalId");
    // The store always has a local identifier; a scenario that leaves it out gets one
    // that is unique within the store.
    result.calendarItemIdentifier =
        nullableString(event, "localId").value_or("sim-event-" + std::to_string(index + 1));
    result.status = eventStatusNamed(nullableString(event, "status").value_or("none"));
    if (!event.isNull("organizerIsCurrentUser")) {
        if (const std::optional<bool> organizer = event.boolean("organizerIsCurrentUser")) {
            result.organizer = EKParticipant{*organizer, EKParticipantStatus::accepted};
        }
    }
    if (!event.isNull("attendees")) {
        if (const json::Array* attendees = event.array("attendees")) {
            for (std::size_t i = 0; i < attendees->size(); ++i) {
                const Section attendee = element(event, "attendees", (*attendees)[i], i);
                result.attendees.push_back(EKParticipant{
                    flag(attendee, "isCurrentUser", false),
                    participantStatusNamed(nullableString(attendee, "participantStatus").value_or("unknown"))});
            }
        }
    }
    result.URL = nullableString(event, "url");
    result.location = nullableString(event, "location");
    result.notes = nullableString(event, "notes");
    return result;
}

}  // namespace

EKAuthorizationStatus authorizationStatusNamed(std::string_view name) {
    if (name == "notDetermined") return EKAuthorizationStatus::notDetermined;
    if (name == "restricted") return EKAuthorizationStatus::restricted;
    if (name == "denied") return EKAuthorizationStatus::denied;
    if (name == "fullAccess") return EKAuthorizationStatus::fullAccess;
    if (name == "writeOnly") return EKAuthorizationStatus::writeOnly;
    return EKAuthorizationStatus::other;
}

SimCalendarState readCalendarState(const Section& calendar) {
    SimCalendarState state;
    if (const auto authorization = calendar.string("authorization")) {
        state.authorization = authorizationStatusNamed(*authorization);
    }
    if (const auto answer = calendar.string("requestResult")) {
        if (*answer == "noAnswer") {
            state.requestResult = std::nullopt;
        } else {
            state.requestResult = authorizationStatusNamed(*answer);
        }
    }
    const json::Array* calendars = calendar.array("calendars");
    const json::Array* events = calendar.array("events");
    const SimCalendarSamples samples = sampleCalendarStore(wallClockMilliseconds());
    if (calendars) {
        for (std::size_t i = 0; i < calendars->size(); ++i) {
            const Section entry = element(calendar, "calendars", (*calendars)[i], i);
            state.calendars.push_back(EKCalendar{requiredString(entry, "id"), requiredString(entry, "title")});
        }
    } else {
        state.calendars = samples.calendars;
    }
    if (events) {
        for (std::size_t i = 0; i < events->size(); ++i) {
            state.events.push_back(readEvent(element(calendar, "events", (*events)[i], i), i));
        }
    } else {
        state.events = samples.events;
    }
    return state;
}

// What the class members and every store of the process share: the authorisation
// changes when the user answers a prompt.
struct SimEventKit::Shared {
    std::atomic<EKAuthorizationStatus> authorization;
    std::optional<EKAuthorizationStatus> requestResult;
    std::vector<EKCalendar> calendars;
    std::vector<EKEvent> events;
};

namespace {

class SimEventStore final : public EKEventStore {
public:
    SimEventStore(std::atomic<EKAuthorizationStatus>& authorization,
                  std::optional<EKAuthorizationStatus> requestResult, const std::vector<EKCalendar>& calendars,
                  const std::vector<EKEvent>& events, std::shared_ptr<void> keepAlive)
        : authorization_(authorization),
          requestResult_(requestResult),
          calendars_(calendars),
          events_(events),
          keepAlive_(std::move(keepAlive)) {}

    ~SimEventStore() override {
        for (std::thread& answer : answers_) answer.join();
    }

    void requestFullAccessToEvents(EKAccessCompletion completion) override {
        // A user who never answers: the handler is kept by nobody and never called.
        if (!requestResult_) return;
        const EKAuthorizationStatus result = *requestResult_;
        // The platform answers on a thread of its own, as the real prompt does.
        answers_.emplace_back([this, result, completion = std::move(completion)] {
            authorization_.store(result);
            completion(result == EKAuthorizationStatus::fullAccess, std::nullopt);
        });
    }

    std::vector<EKCalendar> calendarsForEntityType(EKEntityType type) override {
        if (type != EKEntityType::event) return {};
        return calendars_;
    }

    EKPredicate predicateForEvents(EKDate startDate, EKDate endDate,
                                   const std::vector<EKCalendar>& calendars) override {
        return EKPredicate{startDate, endDate, calendars};
    }

    std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate& predicate) override {
        std::vector<EKEvent> matching;
        for (const EKEvent& event : events_) {
            if (!event.calendarIdentifier) continue;
            const bool selected = std::any_of(
                predicate.calendars.begin(), predicate.calendars.end(),
                [&](const EKCalendar& calendar) { return calendar.calendarIdentifier == *event.calendarIdentifier; });
            if (!selected) continue;
            // An occurrence without a start or an end is taken to overlap any window.
            const bool startsBeforeEnd =
                !event.startDate || event.startDate->timeIntervalSince1970 < predicate.endDate.timeIntervalSince1970;
            const bool endsAfterStart =
                !event.endDate || event.endDate->timeIntervalSince1970 > predicate.startDate.timeIntervalSince1970;
            if (startsBeforeEnd && endsAfterStart) matching.push_back(event);
        }
        return matching;
    }

private:
    std::atomic<EKAuthorizationStatus>& authorization_;
    const std::optional<EKAuthorizationStatus> requestResult_;
    const std::vector<EKCalendar>& calendars_;
    const std::vector<EKEvent>& events_;
    const std::shared_ptr<void> keepAlive_;
    std::vector<std::thread> answers_;
};

}  // namespace

SimEventKit::SimEventKit(SimCalendarState state) : shared_(std::make_shared<Shared>()) {
    shared_->authorization.store(state.authorization);
    shared_->requestResult = state.requestResult;
    shared_->calendars = std::move(state.calendars);
    shared_->events = std::move(state.events);
}

std::unique_ptr<SimEventKit> SimEventKit::fromScenario(const json::Value& scenario) {
    return std::make_unique<SimEventKit>(readCalendarState(Section::root(scenario).section("calendar")));
}

EKAuthorizationStatus SimEventKit::authorizationStatusForEntityType(EKEntityType type) const {
    // Only events are modelled; reminders were never asked for.
    if (type != EKEntityType::event) return EKAuthorizationStatus::notDetermined;
    return shared_->authorization.load();
}

std::unique_ptr<EKEventStore> SimEventKit::makeEventStore() {
    return std::make_unique<SimEventStore>(shared_->authorization, shared_->requestResult, shared_->calendars,
                                           shared_->events, shared_);
}

}  // namespace quorvantel::sim
