#include "platform/linux/x11/x_connection.h"

#include <cstdio>

namespace quorvantel::x11 {

XConnection::~XConnection() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

void XConnection::open() const {
    tried_ = true;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        std::fprintf(stderr, "%s\n", kNoXDisplayMessage);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        std::fprintf(stderr, "%s\n", kNoXDisplayMessage);
        return;
    }
    root_ = screens.data->root;
    connection_ = connection;
}

xcb_connection_t* XConnection::get() const {
    if (!tried_) open();
    return connection_;
}

xcb_window_t XConnection::root() const {
    get();
    return root_;
}

}  // namespace quorvantel::x11
