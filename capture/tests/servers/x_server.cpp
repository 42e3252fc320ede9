#include "capture/tests/servers/x_server.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <xcb/xcb.h>

#include "capture/tests/servers/pipewire_server.h"
#include "capture/tests/servers/temporary_folder.h"

namespace quorvantel::testing {
namespace {

constexpr int kReadyTimeoutMs = 10'000;
constexpr int kRemapAfterMs = 500;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

// The windows of a root property holding a window list.
std::vector<xcb_window_t> windowsOf(xcb_connection_t* c, const char* property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, rootOf(c), atom(c, property), XCB_ATOM_WINDOW, 0, 4096), nullptr);
    std::vector<xcb_window_t> windows;
    if (reply != nullptr && reply->format == 32) {
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        windows.assign(ids, ids + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return windows;
}

// Whether the root window has the property at all (an empty list included).
bool rootHas(xcb_connection_t* c, const char* property) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, rootOf(c), atom(c, property), XCB_ATOM_ANY, 0, 0), nullptr);
    const bool has = reply != nullptr && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return has;
}

}  // namespace

XServer::XServer() {
    ChildOptions options;
    options.standIn = false;
    // -displayfd: Xvfb takes the first free display and writes its number once ready.
    options.arguments = {"-displayfd", "1",      "-screen",     "0",     "1280x800x24",
                         "-nolisten",  "tcp",    "-noreset",    "+extension", "RANDR"};
    xvfb_ = std::make_unique<Child>("/usr/bin/Xvfb", options);
    const auto number = xvfb_->readLine(std::chrono::milliseconds(kReadyTimeoutMs));
    if (!number || number->empty()) {
        stopChild(*xvfb_);
        throw std::runtime_error("Xvfb did not start: " + xvfb_->standardError());
    }
    display_ = ":" + *number;

    ChildOptions wm;
    wm.standIn = false;
    wm.environment = {{"DISPLAY", display_}};
    windowManager_ = std::make_unique<Child>("/usr/bin/openbox", wm);
    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    const bool ready = xcb_connection_has_error(c) == 0 &&
                       waitUntil(
                           [&] {
                               // The client list appears once the manager has taken
                               // over the screen and its existing windows.
                               return !windowsOf(c, "_NET_SUPPORTING_WM_CHECK").empty() &&
                                      rootHas(c, "_NET_CLIENT_LIST");
                           },
                           kReadyTimeoutMs);
    xcb_disconnect(c);
    if (!ready) {
        stopChild(*windowManager_);
        stopChild(*xvfb_);
        throw std::runtime_error("openbox did not start on " + display_);
    }
}

XServer::~XServer() {
    stopChild(*windowManager_);
    stopChild(*xvfb_);
}

XClientWindow::XClientWindow(const std::string& display, const Options& options) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) throw std::runtime_error("cannot reach " + display);
    xcb_connection_t* c = connection_;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 320, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    if (options.pid != 0) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &options.pid);
    }
    if (!options.utf8Title.empty()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 8,
                            std::uint32_t(options.utf8Title.size()), options.utf8Title.data());
    }
    if (!options.latin1Title.empty()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            std::uint32_t(options.latin1Title.size()), options.latin1Title.data());
    }
    const auto isListed = [&] {
        const auto clients = windowsOf(c, "_NET_CLIENT_LIST");
        return std::find(clients.begin(), clients.end(), window) != clients.end();
    };
    // A window mapped while the window manager was still taking over the screen is
    // never managed; mapped again, it is.
    bool listed = false;
    for (int waited = 0; !listed && waited < kReadyTimeoutMs; waited += kRemapAfterMs) {
        xcb_unmap_window(c, window);
        xcb_map_window(c, window);
        xcb_flush(c);
        listed = waitUntil(isListed, kRemapAfterMs);
    }
    if (listed && !options.mapped) {
        // Iconified, as a minimised window is: off screen but still a client (a
        // window its client unmaps itself is withdrawn instead, and leaves the list).
        xcb_client_message_event_t iconify{};
        iconify.response_type = XCB_CLIENT_MESSAGE;
        iconify.format = 32;
        iconify.window = window;
        iconify.type = atom(c, "WM_CHANGE_STATE");
        iconify.data.data32[0] = 3;  // IconicState
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&iconify));
        xcb_flush(c);
        waitUntil(
            [&] {
                xcb_get_window_attributes_reply_t* a =
                    xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
                const bool unmapped = a != nullptr && a->map_state != XCB_MAP_STATE_VIEWABLE;
                std::free(a);
                return unmapped;
            },
            kReadyTimeoutMs);
    }
    if (!listed) {
        xcb_disconnect(c);
        throw std::runtime_error("the window manager did not list a new window");
    }
}

XClientWindow::~XClientWindow() { xcb_disconnect(connection_); }

}  // namespace quorvantel::testing
