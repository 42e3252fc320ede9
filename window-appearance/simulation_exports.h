// The stand-in build's `simulation` export: JavaScript plays the host and the user of
// the stand-in AppKit (creates, resizes and closes windows, swaps content views,
// changes accessibility settings and the system version, plans AppKit exceptions).
#pragma once

#include <node_api.h>

#include "platform/sim/appkit/window_system.h"

namespace quorvantel::window_appearance {

// Defines exports.simulation; false with a JavaScript exception pending on failure.
bool RegisterSimulation(napi_env env, napi_value exports, sim::WindowSystem& system);

}  // namespace quorvantel::window_appearance
