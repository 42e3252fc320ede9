// One connection to the X server named by DISPLAY, opened on first use and shared by
// the window list, the screen access check and the display list of one command.
// Without an X display (DISPLAY unset, or a Wayland-only session) nothing of other
// applications' windows can be read; that is said once, on standard error, in one
// sentence the user can act on.
#pragma once

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace quorvantel::x11 {

// A reply of the server, which the caller frees with free().
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

inline constexpr const char* kNoXDisplayMessage =
    "No X display answers (DISPLAY is unset or its X server is not running), so window titles and displays cannot "
    "be read. Run Tovrel in an X11 session, or with XWayland, and try again.";

class XConnection {
public:
    XConnection() = default;
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // The connection, or null when no X display answers.
    xcb_connection_t* get() const;
    // The root window of the default screen (0 without a connection).
    xcb_window_t root() const;

private:
    void open() const;

    mutable bool tried_ = false;
    mutable xcb_connection_t* connection_ = nullptr;
    mutable xcb_window_t root_ = 0;
};

}  // namespace quorvantel::x11
