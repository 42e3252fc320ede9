// The bound on a series' instances in a window, counted from its rules before the
// desktop store is asked to expand it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/linux/evolution/recurrence_bound.h"

namespace quorvantel::evolution {
namespace {

// 2026-03-02 00:00 UTC to 2026-03-30 00:00 UTC.
constexpr std::time_t kWindowStart = 1'772'409'600;
constexpr std::time_t kWindowEnd = 1'774'828'800;
constexpr std::size_t kLimit = 8192;

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};

std::size_t boundOf(const std::string& lines) {
    const std::string text = "BEGIN:VEVENT\r\nUID:bound@test\r\n" + lines + "END:VEVENT\r\n";
    const std::unique_ptr<icalcomponent, ComponentDeleter> event(icalparser_parse_string(text.c_str()));
    std::size_t steps = kMaximumRuleSteps;
    return instanceBound(event.get(), kWindowStart, kWindowEnd, kLimit, steps);
}

TEST(RecurrenceBound, CountsWhatTheRulesMayGiveInTheWindow) {
    const struct {
        const char* name;
        std::string lines;
        std::size_t bound;
    } cases[] = {
        {"a single event", "DTSTART:20260303T090000Z\r\nDTEND:20260303T100000Z\r\n", 1},
        {"a counted series needs no walk",
         "DTSTART:20260302T090000Z\r\nDTEND:20260302T100000Z\r\nRRULE:FREQ=WEEKLY;COUNT=6\r\n", 7},
        {"an endless weekly series begun years ago, from the window on",
         "DTSTART:20200106T090000Z\r\nDTEND:20200106T100000Z\r\nRRULE:FREQ=WEEKLY\r\n", 6},
        {"extra dates add to the rule",
         "DTSTART:20260302T090000Z\r\nDTEND:20260302T100000Z\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n"
         "RDATE:20260305T090000Z\r\nRDATE:20260306T090000Z\r\n",
         5},
        {"a counted series every minute, within the limit",
         "DTSTART:20260302T090000Z\r\nDTEND:20260302T090030Z\r\nRRULE:FREQ=MINUTELY;COUNT=100\r\n", 101},
    };
    for (const auto& c : cases) EXPECT_EQ(boundOf(c.lines), c.bound) << c.name;
}

TEST(RecurrenceBound, RunawayRulesAreOverTheLimit) {
    const struct {
        const char* name;
        std::string lines;
    } cases[] = {
        {"every minute, without end, begun years ago",
         "DTSTART:20190101T000000Z\r\nDTEND:20190101T000030Z\r\nRRULE:FREQ=MINUTELY\r\n"},
        {"every second in the window", "DTSTART:20260302T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"},
        {"every minute with a count beyond the limit",
         "DTSTART:20260302T000000Z\r\nDTEND:20260302T000030Z\r\nRRULE:FREQ=MINUTELY;COUNT=100000\r\n"},
    };
    for (const auto& c : cases) EXPECT_GT(boundOf(c.lines), kLimit) << c.name;
}

TEST(RecurrenceBound, TheWalkingBudgetIsSharedByTheQuery) {
    const std::string text =
        "BEGIN:VEVENT\r\nUID:bound@test\r\nDTSTART:20260101T000000Z\r\nDTEND:20260101T000030Z\r\n"
        "RRULE:FREQ=MINUTELY;COUNT=70000\r\nEND:VEVENT\r\n";
    const std::unique_ptr<icalcomponent, ComponentDeleter> event(icalparser_parse_string(text.c_str()));
    // Its 70,000 minutes end in February, before the window: a walk through them
    // finds only the event's own start, and takes its steps from the budget.
    std::size_t steps = kMaximumRuleSteps;
    EXPECT_EQ(instanceBound(event.get(), kWindowStart, kWindowEnd, kLimit, steps), 1u);
    EXPECT_LE(steps, kMaximumRuleSteps - 70'000);
    // COUNT rules cannot begin at the window; a budget that runs out on the way
    // there counts as too many.
    std::size_t fewSteps = 1000;
    EXPECT_GT(instanceBound(event.get(), kWindowStart, kWindowEnd, kLimit, fewSteps), kLimit);
    EXPECT_EQ(fewSteps, 0u);
}

}  // namespace
}  // namespace quorvantel::evolution
