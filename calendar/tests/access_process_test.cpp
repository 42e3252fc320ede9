// request-full-access as the host sees it: the stand-in user answers on a platform
// thread while the helper waits.
#include <gtest/gtest.h>

#include "calendar/tests/calendar_process_support.h"

namespace quorvantel::calendar::testing {
namespace {

const std::string kRequest = R"({"command":"request-full-access"})";

std::string scenario(const std::string& authorization, const std::string& answer) {
    return R"({"calendar":{"authorization":")" + authorization + R"(","requestResult":")" + answer + "\"}}";
}

TEST(RequestFullAccess, AsksWhenUndecidedAndReportsTheAnswer) {
    const std::pair<const char*, const char*> cases[] = {
        {"fullAccess", "full-access"}, {"denied", "denied"},        {"writeOnly", "write-only"},
        {"restricted", "restricted"},  {"somethingNew", "unavailable"},
    };
    for (const auto& [answer, access] : cases) {
        EXPECT_EQ(answerTo(kRequest, scenario("notDetermined", answer)), accessLine(access)) << answer;
    }
}

TEST(RequestFullAccess, AlreadyDecidedAnswersAtOnceWithoutAsking) {
    // The prompt would never be answered: a helper that asked would not answer.
    const std::pair<const char*, const char*> cases[] = {
        {"denied", "denied"}, {"fullAccess", "full-access"}, {"restricted", "restricted"},
        {"writeOnly", "write-only"}, {"somethingNew", "unavailable"},
    };
    for (const auto& [authorization, access] : cases) {
        EXPECT_EQ(answerTo(kRequest, scenario(authorization, "noAnswer")), accessLine(access)) << authorization;
    }
}

}  // namespace
}  // namespace quorvantel::calendar::testing
