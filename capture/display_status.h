// `display-status`: how many displays are online, active and asleep, and what that
// combination means. A failed display query is reported in the line's error form.
#pragma once

#include <cstdint>
#include <string>

#include "platform/coregraphics/display_list.h"
#include "platform/foundation/json.h"

namespace quorvantel::capture {

inline constexpr int kDisplayStatusSchemaVersion = 1;
// The most displays a list may report.
inline constexpr std::uint32_t kMaximumDisplays = 64;
// Room for one identifier more than the limit, so that an exceeded limit shows.
inline constexpr std::uint32_t kDisplayListCapacity = kMaximumDisplays + 1;

// "inconsistent", "no-online-displays", "all-displays-asleep", "active-displays" or
// "no-active-displays" for n online, a active and s asleep displays.
std::string classifyDisplays(std::uint32_t online, std::uint32_t active, std::uint32_t asleep);

// An ISO 8601 internet date-time in UTC with milliseconds, e.g.
// 2026-01-15T09:30:00.123Z, of milliseconds since 1970 (fractions truncated).
std::string iso8601Milliseconds(double millisecondsSince1970);

struct DisplayStatusResult {
    json::Value line;
    int exitStatus;  // 0, or 1 when a display query failed
};

DisplayStatusResult displayStatus(const DisplayList& displays, const std::string& observedAt);

}  // namespace quorvantel::capture
