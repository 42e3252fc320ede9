// Screen access on X11: any client of the X server may read other clients' windows,
// so access is granted exactly when an X display answers.
#pragma once

#include "platform/coregraphics/screen_capture_access.h"
#include "platform/linux/x11/x_connection.h"

namespace quorvantel::x11 {

class XScreenCaptureAccess final : public ScreenCaptureAccess {
public:
    explicit XScreenCaptureAccess(const XConnection& connection) : connection_(connection) {}
    bool CGPreflightScreenCaptureAccess() const override { return connection_.get() != nullptr; }

private:
    const XConnection& connection_;
};

}  // namespace quorvantel::x11
