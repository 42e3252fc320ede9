// A private X display for one test: Xvfb on a display number it picks itself, with
// RandR, and openbox as the window manager that keeps _NET_CLIENT_LIST. Ready once
// openbox announces itself on the root window; both are stopped by their ids.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

struct xcb_connection_t;

namespace quorvantel::testing {

class XServer {
public:
    XServer();
    ~XServer();

    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }

private:
    std::string display_;
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> windowManager_;
};

// A top-level window of a pretend application, as a toolkit makes it: owner process
// in _NET_WM_PID, title in _NET_WM_NAME (UTF-8) or only in WM_NAME (Latin-1). It
// lives until the object goes; the constructor returns once the window manager lists
// it.
class XClientWindow {
public:
    struct Options {
        std::uint32_t pid = 0;
        std::string utf8Title;       // _NET_WM_NAME, when not empty
        std::string latin1Title;     // WM_NAME, when not empty
        bool mapped = true;
    };
    XClientWindow(const std::string& display, const Options& options);
    ~XClientWindow();

private:
    xcb_connection_t* connection_ = nullptr;
};

}  // namespace quorvantel::testing
