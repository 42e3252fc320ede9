// Finding the window a host's handle names.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/appkit/window_interface.h"
#include "window-appearance/glass_state.h"

namespace quorvantel::window_appearance {

// The first of the application's windows whose content view is the handle's view,
// or whose glass (by this state's record) now holds that view. The handle is only
// compared, never followed.
std::shared_ptr<appkit::NSWindow> findWindow(const QVGlassState& state, std::uintptr_t handle);

}  // namespace quorvantel::window_appearance
