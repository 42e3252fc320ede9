// The displays the window server knows: those online (connected, awake or asleep),
// those active (drawable), and whether one sleeps.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quorvantel {

using CGDirectDisplayID = std::uint32_t;
using CGError = std::int32_t;

inline constexpr CGError kCGErrorSuccess = 0;
inline constexpr CGError kCGErrorFailure = 1000;
inline constexpr CGError kCGErrorIllegalArgument = 1001;

class DisplayList {
public:
    virtual ~DisplayList() = default;
    // Writes at most maxDisplays identifiers to onlineDisplays and their number to
    // displayCount.
    virtual CGError CGGetOnlineDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* onlineDisplays,
                                           std::uint32_t* displayCount) const = 0;
    virtual CGError CGGetActiveDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                                           std::uint32_t* displayCount) const = 0;
    virtual bool CGDisplayIsAsleep(CGDirectDisplayID display) const = 0;
};

// How the list calls answer from the identifiers a platform found: a failed query
// reports no displays; without a buffer the call only counts; otherwise at most
// maxDisplays identifiers are written.
inline CGError copyDisplayList(CGError error, const std::vector<CGDirectDisplayID>& ids, std::uint32_t maxDisplays,
                               CGDirectDisplayID* displays, std::uint32_t* displayCount) {
    if (displayCount == nullptr) return kCGErrorIllegalArgument;
    if (error != kCGErrorSuccess) {
        *displayCount = 0;
        return error;
    }
    const auto available = static_cast<std::uint32_t>(ids.size());
    const std::uint32_t count = displays == nullptr ? available : std::min(available, maxDisplays);
    if (displays != nullptr) std::copy_n(ids.begin(), count, displays);
    *displayCount = count;
    return kCGErrorSuccess;
}

}  // namespace quorvantel
