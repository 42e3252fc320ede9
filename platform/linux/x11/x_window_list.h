// The window list of an X11 desktop: the window manager's client list
// (_NET_CLIENT_LIST), each window's owner from _NET_WM_PID, its name from
// _NET_WM_NAME or else WM_NAME, and whether it is on screen (mapped). Ordinary and
// dialog windows sit at layer 0; docks, menus, toolbars and other helpers above it;
// the desktop itself is left out.
#pragma once

#include "platform/coregraphics/window_list.h"
#include "platform/linux/x11/x_connection.h"

namespace quorvantel::x11 {

// The layer of a window that floats above ordinary windows (a palette or a menu).
inline constexpr int kFloatingWindowLayer = 3;
// Names are read up to this many bytes.
inline constexpr std::uint32_t kMaximumWindowNameBytes = 64 * 1024;
// Windows read from the client list: one more than the window logic accepts, so an
// oversized list still shows as one.
inline constexpr std::uint32_t kMaximumClientListWindows = 4097;

inline constexpr std::string_view kCGWindowNumber = "kCGWindowNumber";
inline constexpr std::string_view kCGWindowIsOnscreen = "kCGWindowIsOnscreen";

class XWindowList final : public WindowList {
public:
    explicit XWindowList(const XConnection& connection) : connection_(connection) {}
    // Nothing without an X display or a window manager's client list.
    std::optional<CFWindowInfoArray> CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                                CGWindowID relativeToWindow) const override;

private:
    const XConnection& connection_;
};

}  // namespace quorvantel::x11
