// The displays of an X11 desktop: the RandR monitors of the default screen (all of
// them online, the active ones drawable), asleep when the server's DPMS reports the
// displays off, in standby or suspended. A server without DPMS keeps them awake; one
// without RandR 1.5 has its screen as its one display.
#pragma once

#include <optional>
#include <vector>

#include "platform/coregraphics/display_list.h"
#include "platform/linux/x11/x_connection.h"

namespace quorvantel::x11 {

// RandR's monitor list was added in this version.
inline constexpr std::uint32_t kRandrMajorVersion = 1;
inline constexpr std::uint32_t kRandrMinorVersion = 5;

// Power levels of DPMS (as the extension numbers them).
enum class DpmsPowerLevel : std::uint16_t { on = 0, standby = 1, suspend = 2, off = 3 };

// Whether displays sleep, given what the server's DPMS answered: nothing when it has
// no DPMS, else whether it is enabled and its power level.
bool displaysAsleep(bool hasDpms, bool enabled, DpmsPowerLevel level);

class XDisplayList final : public DisplayList {
public:
    explicit XDisplayList(const XConnection& connection) : connection_(connection) {}

    CGError CGGetOnlineDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* onlineDisplays,
                                   std::uint32_t* displayCount) const override;
    CGError CGGetActiveDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                                   std::uint32_t* displayCount) const override;
    bool CGDisplayIsAsleep(CGDirectDisplayID display) const override;

private:
    struct Snapshot {
        CGError error = kCGErrorSuccess;
        std::vector<CGDirectDisplayID> online;
        std::vector<CGDirectDisplayID> active;
        bool asleep = false;
    };
    // Read once per command: the lists then describe one moment.
    const Snapshot& snapshot() const;

    const XConnection& connection_;
    mutable std::optional<Snapshot> snapshot_;
};

}  // namespace quorvantel::x11
