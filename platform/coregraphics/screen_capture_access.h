// Whether the screen-recording permission (which window titles need) is granted,
// asked without prompting the user.
#pragma once

namespace quorvantel {

class ScreenCaptureAccess {
public:
    virtual ~ScreenCaptureAccess() = default;
    virtual bool CGPreflightScreenCaptureAccess() const = 0;
};

}  // namespace quorvantel
