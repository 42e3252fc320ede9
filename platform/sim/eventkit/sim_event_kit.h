// The stand-in calendar store. Its state comes from the scenario's "calendar"
// section: "authorization", "requestResult" (or "noAnswer": the prompt's completion
// handler is never called), "calendars" and "events" (occurrences, recurring series
// already expanded). Without them it presents full access and the sample store of
// sim_calendar_samples.h.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/eventkit/event_store.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

// The store's contents and the answer the user gives to the access prompt.
struct SimCalendarState {
    EKAuthorizationStatus authorization = EKAuthorizationStatus::fullAccess;
    // Nothing: the user never answers.
    std::optional<EKAuthorizationStatus> requestResult = EKAuthorizationStatus::fullAccess;
    std::vector<EKCalendar> calendars;
    std::vector<EKEvent> events;
};

// Reads the "calendar" section; a member of the wrong type raises ScenarioError.
SimCalendarState readCalendarState(const Section& calendar);

// "notDetermined", "restricted", "denied", "fullAccess", "writeOnly"; any other text
// is a status the helper does not know.
EKAuthorizationStatus authorizationStatusNamed(std::string_view name);

class SimEventKit final : public EventKit {
public:
    explicit SimEventKit(SimCalendarState state);
    // Built from the scenario's top-level object.
    static std::unique_ptr<SimEventKit> fromScenario(const json::Value& scenario);

    EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType type) const override;
    std::unique_ptr<EKEventStore> makeEventStore() override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace quorvantel::sim
