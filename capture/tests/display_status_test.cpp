#include "capture/display_status.h"

#include <gtest/gtest.h>
#include <vector>

namespace quorvantel::capture {
namespace {

TEST(CaptureDisplayStatus, ClassifiesTheCounts) {
    struct Case {
        std::uint32_t online, active, asleep;
        const char* state;
    };
    const Case cases[] = {
        {0, 0, 0, "no-online-displays"},  {2, 0, 2, "all-displays-asleep"}, {2, 1, 0, "active-displays"},
        {2, 1, 1, "active-displays"},     {1, 0, 0, "no-active-displays"},  {2, 0, 3, "inconsistent"},
        {2, 2, 1, "inconsistent"},        {1, 2, 0, "inconsistent"},        {0, 1, 0, "inconsistent"},
        {64, 64, 0, "active-displays"},   {3, 0, 1, "no-active-displays"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classifyDisplays(c.online, c.active, c.asleep), c.state)
            << c.online << " online, " << c.active << " active, " << c.asleep << " asleep";
    }
}

TEST(CaptureDisplayStatus, ObservedAtIsUtcWithMilliseconds) {
    struct Case {
        double ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1768469400123.0, "2026-01-15T09:30:00.123Z"},
        {1768469400123.9, "2026-01-15T09:30:00.123Z"},
        {951782400999.0, "2000-02-29T00:00:00.999Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const auto& c : cases) EXPECT_EQ(iso8601Milliseconds(c.ms), c.text) << c.ms;
}

// Displays by sleep state; each list's error code, and room for lies about counts.
class FakeDisplays final : public DisplayList {
public:
    std::vector<bool> online;
    std::vector<CGDirectDisplayID> active;
    CGError onlineError = kCGErrorSuccess;
    CGError activeError = kCGErrorSuccess;
    mutable std::uint32_t largestRequest = 0;

    CGError CGGetOnlineDisplayList(std::uint32_t max, CGDirectDisplayID* ids, std::uint32_t* count) const override {
        largestRequest = std::max(largestRequest, max);
        if (onlineError != kCGErrorSuccess) return onlineError;
        *count = std::min<std::uint32_t>(static_cast<std::uint32_t>(online.size()), max);
        for (std::uint32_t i = 0; i < *count; ++i) ids[i] = 100 + i;
        return kCGErrorSuccess;
    }
    CGError CGGetActiveDisplayList(std::uint32_t max, CGDirectDisplayID* ids, std::uint32_t* count) const override {
        if (activeError != kCGErrorSuccess) return activeError;
        *count = std::min<std::uint32_t>(static_cast<std::uint32_t>(active.size()), max);
        for (std::uint32_t i = 0; i < *count; ++i) ids[i] = active[i];
        return kCGErrorSuccess;
    }
    bool CGDisplayIsAsleep(CGDirectDisplayID id) const override { return id >= 100 && online.at(id - 100); }
};

std::string line(const json::Value& value) { return json::write(value, json::KeyOrder::insertion); }

constexpr const char* kAt = "2026-01-15T09:30:00.123Z";

TEST(CaptureDisplayStatus, CountsTheDisplays) {
    FakeDisplays displays;
    displays.online = {false, true, false};
    displays.active = {100, 102};
    const auto result = displayStatus(displays, kAt);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(line(result.line),
              R"({"type":"display-status","schemaVersion":1,"status":"ok","observedAt":"2026-01-15T09:30:00.123Z",)"
              R"("onlineDisplayCount":3,"activeDisplayCount":2,"asleepDisplayCount":1,"state":"active-displays"})");
    EXPECT_EQ(displays.largestRequest, kDisplayListCapacity);
}

TEST(CaptureDisplayStatus, AFailedQueryIsTheErrorFormAndExitStatusOne) {
    struct Case {
        const char* what;
        std::function<void(FakeDisplays&)> arrange;
        std::string tail;
    };
    const Case cases[] = {
        {"online query failed", [](auto& d) { d.onlineError = kCGErrorFailure; },
         R"("query":"online","reason":"query-failed","errorCode":1000})"},
        {"active query failed", [](auto& d) { d.activeError = kCGErrorIllegalArgument; },
         R"("query":"active","reason":"query-failed","errorCode":1001})"},
        {"both failed: the online list is named", [](auto& d) { d.onlineError = 1003, d.activeError = 1004; },
         R"("query":"online","reason":"query-failed","errorCode":1003})"},
        {"65 online displays", [](auto& d) { d.online.assign(65, false); },
         R"("query":"online","reason":"display-limit-exceeded"})"},
        {"65 active displays", [](auto& d) { d.active.assign(65, 100); },
         R"("query":"active","reason":"display-limit-exceeded"})"},
    };
    for (const auto& c : cases) {
        FakeDisplays displays;
        displays.online = {false};
        displays.active = {100};
        c.arrange(displays);
        const auto result = displayStatus(displays, kAt);
        EXPECT_EQ(result.exitStatus, 1) << c.what;
        EXPECT_EQ(line(result.line),
                  std::string(R"({"type":"display-status","schemaVersion":1,"status":"error","observedAt":")") + kAt +
                      "\"," + c.tail)
            << c.what;
    }
    FakeDisplays sixtyFour;
    sixtyFour.online.assign(64, true);
    EXPECT_EQ(displayStatus(sixtyFour, kAt).exitStatus, 0);
}

}  // namespace
}  // namespace quorvantel::capture
