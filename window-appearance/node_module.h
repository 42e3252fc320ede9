// The module's face to Node-API: registration, the clean-up hook and the three calls.
#pragma once

#include <node_api.h>

#include "platform/appkit/window_services.h"

namespace quorvantel::window_appearance {

// Gives the platform the addon works on; called on the main thread only.
using WindowServicesProvider = appkit::WindowServices (*)();

// Defines "attach", "inspect" and "detach" on exports, sharing one QVGlassState, and
// registers the clean-up hook. Returns exports, or nullptr with a JavaScript
// exception pending.
napi_value RegisterModule(napi_env env, napi_value exports, WindowServicesProvider services);

// The environment clean-up hook; its data is the hook's reference to the state.
void Cleanup(void* data);

}  // namespace quorvantel::window_appearance
