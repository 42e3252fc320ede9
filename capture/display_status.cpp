#include "capture/display_status.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quorvantel::capture {
namespace {

json::Value statusLine(const std::string& status, const std::string& observedAt) {
    return json::Object{{"type", "display-status"},
                        {"schemaVersion", kDisplayStatusSchemaVersion},
                        {"status", status},
                        {"observedAt", observedAt}};
}

// Checks one display-list query; on failure builds the error form naming the list.
bool queryFailed(const char* query, CGError error, std::uint32_t count, const std::string& observedAt,
                 json::Value& errorLine) {
    if (error == kCGErrorSuccess && count <= kMaximumDisplays) return false;
    errorLine = statusLine("error", observedAt);
    auto& object = errorLine.asObject();
    object.emplace_back("query", query);
    if (error != kCGErrorSuccess) {
        object.emplace_back("reason", "query-failed");
        object.emplace_back("errorCode", error);
    } else {
        object.emplace_back("reason", "display-limit-exceeded");
    }
    return true;
}

}  // namespace

std::string classifyDisplays(std::uint32_t online, std::uint32_t active, std::uint32_t asleep) {
    if (asleep > online || active > online || active > online - asleep) return "inconsistent";
    if (online == 0) return "no-online-displays";
    if (asleep == online) return "all-displays-asleep";
    if (active > 0) return "active-displays";
    return "no-active-displays";
}

std::string iso8601Milliseconds(double millisecondsSince1970) {
    const auto total = static_cast<long long>(std::floor(millisecondsSince1970));
    long long seconds = total / 1000;
    long long millis = total % 1000;
    if (millis < 0) {
        millis += 1000;
        seconds -= 1;
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

DisplayStatusResult displayStatus(const DisplayList& displays, const std::string& observedAt) {
    std::array<CGDirectDisplayID, kDisplayListCapacity> online{};
    std::uint32_t onlineCount = 0;
    json::Value errorLine;
    CGError error = displays.CGGetOnlineDisplayList(kDisplayListCapacity, online.data(), &onlineCount);
    if (queryFailed("online", error, onlineCount, observedAt, errorLine)) return {std::move(errorLine), 1};

    std::array<CGDirectDisplayID, kDisplayListCapacity> active{};
    std::uint32_t activeCount = 0;
    error = displays.CGGetActiveDisplayList(kDisplayListCapacity, active.data(), &activeCount);
    if (queryFailed("active", error, activeCount, observedAt, errorLine)) return {std::move(errorLine), 1};

    std::uint32_t asleep = 0;
    for (std::uint32_t i = 0; i < onlineCount; ++i) {
        if (displays.CGDisplayIsAsleep(online[i])) ++asleep;
    }
    json::Value line = statusLine("ok", observedAt);
    auto& object = line.asObject();
    object.emplace_back("onlineDisplayCount", onlineCount);
    object.emplace_back("activeDisplayCount", activeCount);
    object.emplace_back("asleepDisplayCount", asleep);
    object.emplace_back("state", classifyDisplays(onlineCount, activeCount, asleep));
    return {std::move(line), 0};
}

}  // namespace quorvantel::capture
