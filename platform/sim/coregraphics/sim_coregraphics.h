// The stand-in window server: the scenario's "screenCaptureAccess", "windows" and
// "displays".
#pragma once

#include <optional>
#include <vector>

#include "platform/coregraphics/display_list.h"
#include "platform/coregraphics/screen_capture_access.h"
#include "platform/coregraphics/window_list.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

// Display identifiers start here, online displays first, in their scenario order.
inline constexpr CGDirectDisplayID kFirstSimDisplay = 1;

class SimScreenCaptureAccess final : public ScreenCaptureAccess {
public:
    // "screenCaptureAccess" (default true).
    explicit SimScreenCaptureAccess(const Section& root);
    bool CGPreflightScreenCaptureAccess() const override { return granted_; }

private:
    bool granted_ = true;
};

class SimWindowList final : public WindowList {
public:
    // "windows" (default empty; null: no list). An object entry's "ownerPid", "layer"
    // and "name" become the dictionary's kCGWindowOwnerPID, kCGWindowLayer and
    // kCGWindowName, whatever their values; any other entry is passed on as it is.
    explicit SimWindowList(const Section& root);
    std::optional<CFWindowInfoArray> CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                                CGWindowID relativeToWindow) const override;

private:
    std::optional<CFWindowInfoArray> windows_;
};

class SimDisplayList final : public DisplayList {
public:
    // "displays": "online" (objects with "asleep"), "active" (a count; default the
    // online displays that are awake), "onlineError" and "activeError" (non-zero: the
    // query fails with that code). Default: one online, active display, awake.
    explicit SimDisplayList(const Section& root);
    CGError CGGetOnlineDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* onlineDisplays,
                                   std::uint32_t* displayCount) const override;
    CGError CGGetActiveDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                                   std::uint32_t* displayCount) const override;
    bool CGDisplayIsAsleep(CGDirectDisplayID display) const override;

private:
    std::vector<bool> onlineAsleep_{false};
    std::uint32_t activeCount_ = 1;
    CGError onlineError_ = kCGErrorSuccess;
    CGError activeError_ = kCGErrorSuccess;
};

}  // namespace quorvantel::sim
