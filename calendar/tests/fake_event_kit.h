// A calendar store for unit tests: it answers with what the test put in and
// remembers what the helper asked for.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/eventkit/event_store.h"

namespace quorvantel::calendar::testing {

struct FakeStoreState {
    EKAuthorizationStatus authorization = EKAuthorizationStatus::fullAccess;
    std::vector<EKCalendar> calendars;
    // Returned for every query as they are, whatever the predicate.
    std::vector<EKEvent> events;
    std::optional<EKPredicate> lastPredicate;
    int storesMade = 0;
    int accessRequests = 0;
    EKAccessCompletion pendingCompletion;
};

class FakeEventKit final : public EventKit {
public:
    FakeStoreState state;

    EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType) const override {
        return state.authorization;
    }

    std::unique_ptr<EKEventStore> makeEventStore() override {
        ++state.storesMade;
        return std::make_unique<Store>(state);
    }

private:
    class Store final : public EKEventStore {
    public:
        explicit Store(FakeStoreState& state) : state_(state) {}
        void requestFullAccessToEvents(EKAccessCompletion completion) override {
            ++state_.accessRequests;
            state_.pendingCompletion = std::move(completion);
        }
        std::vector<EKCalendar> calendarsForEntityType(EKEntityType) override { return state_.calendars; }
        EKPredicate predicateForEvents(EKDate start, EKDate end, const std::vector<EKCalendar>& calendars) override {
            return EKPredicate{start, end, calendars};
        }
        std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate& predicate) override {
            state_.lastPredicate = predicate;
            return state_.events;
        }

    private:
        FakeStoreState& state_;
    };
};

}  // namespace quorvantel::calendar::testing
