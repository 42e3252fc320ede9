// The access prompt is answered on a platform thread while the helper waits.
#include "calendar/access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "calendar/calendar_error.h"
#include "platform/sim/eventkit/sim_event_kit.h"

namespace quorvantel::calendar {
namespace {

using namespace std::chrono_literals;

// A store whose user answers on a thread of its own, with the given handler
// arguments and the given status recorded afterwards.
class AnsweringEventKit final : public EventKit {
public:
    enum class Answer { onAnotherThread, synchronously, never };

    AnsweringEventKit(Answer answer, EKAuthorizationStatus result, bool grantedArgument)
        : answer_(answer), result_(result), grantedArgument_(grantedArgument) {}
    ~AnsweringEventKit() override {
        if (thread_.joinable()) thread_.join();
    }

    EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType) const override { return status_.load(); }
    std::unique_ptr<EKEventStore> makeEventStore() override { return std::make_unique<Store>(*this); }

    void answerLate() {
        ASSERT_TRUE(kept_);
        kept_(true, std::nullopt);
    }
    int requests() const { return requests_.load(); }

private:
    class Store final : public EKEventStore {
    public:
        explicit Store(AnsweringEventKit& kit) : kit_(kit) {}
        void requestFullAccessToEvents(EKAccessCompletion completion) override {
            ++kit_.requests_;
            switch (kit_.answer_) {
                case Answer::onAnotherThread:
                    kit_.thread_ = std::thread([this, completion] {
                        kit_.status_.store(kit_.result_);
                        completion(kit_.grantedArgument_, std::nullopt);
                    });
                    break;
                case Answer::synchronously:
                    kit_.status_.store(kit_.result_);
                    completion(kit_.grantedArgument_, "answered at once");
                    break;
                case Answer::never: kit_.kept_ = std::move(completion); break;
            }
        }
        std::vector<EKCalendar> calendarsForEntityType(EKEntityType) override { return {}; }
        EKPredicate predicateForEvents(EKDate s, EKDate e, const std::vector<EKCalendar>& c) override {
            return {s, e, c};
        }
        std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate&) override { return {}; }

    private:
        AnsweringEventKit& kit_;
    };

    const Answer answer_;
    const EKAuthorizationStatus result_;
    const bool grantedArgument_;
    std::atomic<EKAuthorizationStatus> status_{EKAuthorizationStatus::notDetermined};
    std::atomic<int> requests_{0};
    std::thread thread_;
    EKAccessCompletion kept_;
};

std::optional<CalendarError> failureOf(EventKit& eventKit, std::chrono::milliseconds wait) {
    try {
        requestFullAccess(eventKit, wait);
        return std::nullopt;
    } catch (const CalendarFailure& failure) {
        return failure.error();
    }
}

TEST(AccessRequest, WaitsForTheAnswerFromAnotherThread) {
    AnsweringEventKit eventKit(AnsweringEventKit::Answer::onAnotherThread, EKAuthorizationStatus::fullAccess, true);
    EXPECT_EQ(requestFullAccess(eventKit), "full-access");
    EXPECT_EQ(eventKit.requests(), 1);
}

TEST(AccessRequest, TheStoreDecidesNotTheHandlersArguments) {
    AnsweringEventKit granted(AnsweringEventKit::Answer::onAnotherThread, EKAuthorizationStatus::denied, true);
    EXPECT_EQ(requestFullAccess(granted), "denied");
    AnsweringEventKit refused(AnsweringEventKit::Answer::synchronously, EKAuthorizationStatus::fullAccess, false);
    EXPECT_EQ(requestFullAccess(refused), "full-access");
    AnsweringEventKit writeOnly(AnsweringEventKit::Answer::onAnotherThread, EKAuthorizationStatus::writeOnly, false);
    EXPECT_EQ(requestFullAccess(writeOnly), "write-only");
}

TEST(AccessRequest, NoAnswerWithinTheWaitFails) {
    AnsweringEventKit eventKit(AnsweringEventKit::Answer::never, EKAuthorizationStatus::fullAccess, true);
    EXPECT_EQ(failureOf(eventKit, 20ms), CalendarError::accessFailed);
    // An answer after the helper gave up must find its semaphore still there.
    eventKit.answerLate();
}

TEST(AccessRequest, TheDefaultWaitIsNinetySeconds) { EXPECT_EQ(kAccessDecisionWait, std::chrono::seconds(90)); }

TEST(AccessRequest, StandInPromptAnswersOnItsOwnThread) {
    for (const auto result : {EKAuthorizationStatus::fullAccess, EKAuthorizationStatus::denied,
                              EKAuthorizationStatus::restricted, EKAuthorizationStatus::other}) {
        sim::SimCalendarState state;
        state.authorization = EKAuthorizationStatus::notDetermined;
        state.requestResult = result;
        sim::SimEventKit eventKit(state);
        EXPECT_EQ(requestFullAccess(eventKit), accessStatus(result));
        // The answer stays for the rest of the process.
        EXPECT_EQ(currentAccess(eventKit), accessStatus(result));
    }
}

TEST(AccessRequest, StandInUserWhoNeverAnswers) {
    sim::SimCalendarState state;
    state.authorization = EKAuthorizationStatus::notDetermined;
    state.requestResult = std::nullopt;
    sim::SimEventKit eventKit(state);
    EXPECT_EQ(failureOf(eventKit, 20ms), CalendarError::accessFailed);
    EXPECT_EQ(currentAccess(eventKit), "not-determined");
}

}  // namespace
}  // namespace quorvantel::calendar
