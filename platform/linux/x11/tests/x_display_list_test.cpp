#include "platform/linux/x11/x_display_list.h"

#include <gtest/gtest.h>

namespace quorvantel::x11 {
namespace {

// No X server here has DPMS, so its answers are checked through the rule alone.
TEST(XDisplayList, DisplaysSleepOnlyWhenDpmsIsOnAndNotAtFullPower) {
    const struct {
        bool hasDpms, enabled;
        DpmsPowerLevel level;
        bool asleep;
    } cases[] = {
        {false, false, DpmsPowerLevel::on, false},     {false, true, DpmsPowerLevel::off, false},
        {true, false, DpmsPowerLevel::off, false},     {true, true, DpmsPowerLevel::on, false},
        {true, true, DpmsPowerLevel::standby, true},   {true, true, DpmsPowerLevel::suspend, true},
        {true, true, DpmsPowerLevel::off, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displaysAsleep(c.hasDpms, c.enabled, c.level), c.asleep)
            << c.hasDpms << c.enabled << int(c.level);
    }
}

}  // namespace
}  // namespace quorvantel::x11
