// The module's entry points on the stand-in platform: the addon proper over the
// stand-in AppKit, and the `simulation` export that drives that stand-in.
#include <node_api.h>

#include "platform/sim/appkit/window_system.h"
#include "window-appearance/node_module.h"
#include "window-appearance/simulation_exports.h"
#include "window-appearance/window_call.h"

namespace {

quorvantel::sim::WindowSystem& windowSystem() {
    // The process's one AppKit, made on the main thread at the first load; never
    // destroyed, as the report at exit still reads its windows.
    static auto* system = new quorvantel::sim::WindowSystem();
    return *system;
}

quorvantel::appkit::WindowServices windowServices() {
    return windowSystem().services();
}

}  // namespace

extern "C" {

NAPI_MODULE_EXPORT int32_t node_api_module_get_api_version_v1(void) {
    return NAPI_VERSION;
}

NAPI_MODULE_EXPORT napi_value napi_register_module_v1(napi_env env, napi_value exports) {
    using namespace quorvantel::window_appearance;
    if (RegisterModule(env, exports, windowServices) == nullptr) return nullptr;
    if (!RegisterSimulation(env, exports, windowSystem())) {
        bool pending = false;
        if (napi_is_exception_pending(env, &pending) != napi_ok || !pending) {
            napi_throw_error(env, nullptr, kInitializationFailedMessage);
        }
        return nullptr;
    }
    return exports;
}

}  // extern "C"
