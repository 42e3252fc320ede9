#include "platform/sim/scenario.h"
#include "platform/sim/sim_process_info.h"

#include <gtest/gtest.h>

using namespace quorvantel;
using namespace quorvantel::sim;

TEST(Scenario, TypedMembersNameTheirPathWhenWrong) {
    const json::Value root = json::parse(R"({"speech":{"available":"yes","format":null},"os":{"version":"25.4"}})");
    const Section speech = Section::root(root).section("speech");
    try {
        speech.boolean("available");
        FAIL();
    } catch (const ScenarioError& e) {
        EXPECT_STREQ(e.what(), "speech.available must be a boolean");
    }
    EXPECT_TRUE(speech.isNull("format"));
    EXPECT_FALSE(speech.boolean("missing").has_value());
    EXPECT_FALSE(Section::root(root).section("absent").present());
    SimProcessInfo info(Section::root(root).section("os"));
    EXPECT_FALSE(info.isOperatingSystemAtLeast({26, 0, 0}));
    EXPECT_TRUE(info.isOperatingSystemAtLeast({25, 4, 0}));
}

TEST(Scenario, OperatingSystemVersionText) {
    EXPECT_TRUE(parseOperatingSystemVersion("26"));
    EXPECT_EQ(parseOperatingSystemVersion("26.1.2")->patchVersion, 2);
    for (const char* bad : {"", "26.", "x", "26.0.0.1", "-1", "26..0"}) {
        EXPECT_FALSE(parseOperatingSystemVersion(bad)) << bad;
    }
    const json::Value root = json::parse(R"({"os":{"version":"twenty-six"}})");
    EXPECT_THROW(SimProcessInfo(Section::root(root).section("os")), ScenarioError);
}
