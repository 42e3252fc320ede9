// The displays the window server knows: those online (connected, awake or asleep),
// those active (drawable), and whether one sleeps.
#pragma once

#include <cstdint>

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

}  // namespace quorvantel
