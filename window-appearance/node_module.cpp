#include "window-appearance/node_module.h"

#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "platform/appkit/window_exception.h"
#include "window-appearance/glass_failure.h"
#include "window-appearance/window_call.h"
#include "window-appearance/window_diagnostics.h"

namespace quorvantel::window_appearance {

using appkit::NSRect;

namespace {

// A Node-API call that did not succeed while reading arguments or building a result.
class NodeApiFailure : public std::exception {
public:
    const char* what() const noexcept override { return kNodeApiFailedMessage; }
};

void check(napi_status status) {
    if (status != napi_ok) throw NodeApiFailure();
}

// Throws into JavaScript, unless an exception is already on its way there: the first
// one is the one the caller sees.
void throwFailure(napi_env env, FailureKind kind, const std::string& message) {
    bool pending = false;
    if (napi_is_exception_pending(env, &pending) == napi_ok && pending) return;
    if (kind == FailureKind::typeError) {
        napi_throw_type_error(env, nullptr, message.c_str());
    } else {
        napi_throw_error(env, nullptr, message.c_str());
    }
}

std::uintptr_t readHandle(napi_env env, napi_value value) {
    bool isBuffer = false;
    check(napi_is_buffer(env, value, &isBuffer));
    if (!isBuffer) throw GlassFailure(FailureKind::typeError, kHandleNotBufferMessage);
    void* data = nullptr;
    std::size_t length = 0;
    check(napi_get_buffer_info(env, value, &data, &length));
    if (length != kWindowHandleBytes) throw GlassFailure(FailureKind::typeError, kHandleSizeMessage);
    std::uintptr_t pointer = 0;
    std::memcpy(&pointer, data, kWindowHandleBytes);
    if (pointer == 0) throw GlassFailure(FailureKind::typeError, kHandleNullMessage);
    return pointer;
}

GlassStyle readStyle(napi_env env, napi_value value) {
    napi_valuetype type = napi_undefined;
    check(napi_typeof(env, value, &type));
    if (type != napi_string) throw GlassFailure(FailureKind::typeError, kStyleMessage);
    // Measured first, so that a long string is refused rather than cut to a name.
    std::size_t length = 0;
    check(napi_get_value_string_utf8(env, value, nullptr, 0, &length));
    if (length > kMaximumStyleBytes) throw GlassFailure(FailureKind::typeError, kStyleMessage);
    char text[kMaximumStyleBytes + 1] = {};
    std::size_t copied = 0;
    check(napi_get_value_string_utf8(env, value, text, sizeof text, &copied));
    const auto style = parseGlassStyle(std::string_view(text, copied));
    if (!style) throw GlassFailure(FailureKind::typeError, kStyleMessage);
    return *style;
}

void Set(napi_env env, napi_value object, const char* name, napi_value value) {
    check(napi_set_named_property(env, object, name, value));
}

void Boolean(napi_env env, napi_value object, const char* name, bool value) {
    napi_value result = nullptr;
    check(napi_get_boolean(env, value, &result));
    Set(env, object, name, result);
}

void Number(napi_env env, napi_value object, const char* name, double value) {
    napi_value result = nullptr;
    check(napi_create_double(env, value, &result));
    Set(env, object, name, result);
}

void Text(napi_env env, napi_value object, const char* name, const std::optional<std::string>& value) {
    napi_value result = nullptr;
    if (value) {
        check(napi_create_string_utf8(env, value->data(), value->size(), &result));
    } else {
        check(napi_get_null(env, &result));
    }
    Set(env, object, name, result);
}

napi_value NewObject(napi_env env) {
    napi_value object = nullptr;
    check(napi_create_object(env, &object));
    return object;
}

void Rect(napi_env env, napi_value object, const char* name, const NSRect& rect) {
    napi_value result = NewObject(env);
    Number(env, result, "x", rect.x);
    Number(env, result, "y", rect.y);
    Number(env, result, "width", rect.width);
    Number(env, result, "height", rect.height);
    Set(env, object, name, result);
}

void Button(napi_env env, napi_value object, const char* name, const ButtonDiagnostics& button) {
    napi_value result = NewObject(env);
    Boolean(env, result, "present", button.present);
    Boolean(env, result, "hidden", button.hidden);
    Boolean(env, result, "enabled", button.enabled);
    Rect(env, result, "frame", button.frame);
    Rect(env, result, "windowFrame", button.windowFrame);
    Number(env, result, "centerFromTop", button.centerFromTop);
    Set(env, object, name, result);
}

napi_value Diagnostics(napi_env env, const WindowDiagnostics& d) {
    napi_value result = NewObject(env);
    Boolean(env, result, "supported", d.supported);
    Boolean(env, result, "attached", d.attached);
    Boolean(env, result, "contentViewWrapped", d.attached);
    Number(env, result, "attachedViewCount", d.attached ? 1 : 0);
    Number(env, result, "trackedWindowCount", static_cast<double>(d.trackedWindowCount));
    Text(env, result, "style", d.style);
    Text(env, result, "reason", d.reason);
    Text(env, result, "contentViewClass", d.contentViewClass);
    Text(env, result, "originalContentViewClass", d.originalContentViewClass);
    Number(env, result, "windowNumber", static_cast<double>(d.windowNumber));
    Number(env, result, "windowStyleMask", static_cast<double>(d.windowStyleMask));
    Boolean(env, result, "fullSizeContentView", d.fullSizeContentView());
    Boolean(env, result, "titlebarAppearsTransparent", d.titlebarAppearsTransparent);
    Boolean(env, result, "isKeyWindow", d.isKeyWindow);
    Boolean(env, result, "visible", d.visible);
    Boolean(env, result, "opaque", d.opaque);
    Boolean(env, result, "reducedTransparency", d.reducedTransparency);
    Boolean(env, result, "highContrast", d.highContrast);
    Number(env, result, "backingScaleFactor", d.backingScaleFactor);
    Rect(env, result, "windowFrame", d.windowFrame);
    Rect(env, result, "bounds", d.bounds);
    Rect(env, result, "glassFrame", d.glassFrame);
    Rect(env, result, "contentFrame", d.contentFrame);
    Rect(env, result, "expectedContentFrame", d.expectedContentFrame);
    Boolean(env, result, "geometryMatchesExpected", d.geometryMatchesExpected);
    napi_value lights = NewObject(env);
    Button(env, lights, "close", d.trafficLights[0]);
    Button(env, lights, "minimize", d.trafficLights[1]);
    Button(env, lights, "zoom", d.trafficLights[2]);
    Set(env, result, "trafficLights", lights);
    return result;
}

napi_value Call(napi_env env, napi_callback_info info, Operation operation) {
    try {
        requireMainThread();
        std::size_t argc = kMaximumCallArguments;
        napi_value argv[kMaximumCallArguments] = {};
        void* data = nullptr;
        check(napi_get_cb_info(env, info, &argc, argv, nullptr, &data));
        if (argc != expectedArgumentCount(operation)) {
            throw GlassFailure(FailureKind::typeError, kUnexpectedArgumentsMessage);
        }
        const std::uintptr_t handle = readHandle(env, argv[0]);
        std::optional<GlassStyle> style;
        if (operation == Operation::attach) style = readStyle(env, argv[1]);
        QVGlassState& state = *static_cast<QVGlassState*>(data);
        const auto window = requireWindow(state, handle);
        const std::string_view reason = performOperation(state, operation, window, style);
        return Diagnostics(env, collectDiagnostics(state, *window, reason));
    } catch (const GlassFailure& failure) {
        throwFailure(env, failure.kind(), failure.message());
    } catch (const appkit::NSException& exception) {
        throwFailure(env, FailureKind::error, platformExceptionMessage(exception.name()));
    } catch (const NodeApiFailure& failure) {
        throwFailure(env, FailureKind::error, failure.what());
    } catch (...) {
        // Whatever else was raised came out of the platform without a name.
        throwFailure(env, FailureKind::error, platformExceptionMessage(std::nullopt));
    }
    return nullptr;
}

napi_value AttachCall(napi_env env, napi_callback_info info) {
    return Call(env, info, Operation::attach);
}

napi_value InspectCall(napi_env env, napi_callback_info info) {
    return Call(env, info, Operation::inspect);
}

napi_value DetachCall(napi_env env, napi_callback_info info) {
    return Call(env, info, Operation::detach);
}

}  // namespace

void Cleanup(void* data) {
    auto* reference = static_cast<std::shared_ptr<QVGlassState>*>(data);
    std::shared_ptr<QVGlassState> state = std::move(*reference);
    delete reference;
    cleanUpState(std::move(state));
}

napi_value RegisterModule(napi_env env, napi_value exports, WindowServicesProvider services) {
    if (!appkit::isMainThread()) {
        napi_throw_error(env, nullptr, kLoadOffMainThreadMessage);
        return nullptr;
    }
    std::shared_ptr<QVGlassState>* reference = nullptr;
    try {
        reference = new std::shared_ptr<QVGlassState>(QVGlassState::create(services()));
    } catch (...) {
        throwFailure(env, FailureKind::error, kInitializationFailedMessage);
        return nullptr;
    }
    void* state = reference->get();
    const napi_property_descriptor properties[] = {
        {"attach", nullptr, AttachCall, nullptr, nullptr, nullptr, napi_default, state},
        {"inspect", nullptr, InspectCall, nullptr, nullptr, nullptr, napi_default, state},
        {"detach", nullptr, DetachCall, nullptr, nullptr, nullptr, napi_default, state},
    };
    const bool registered =
        napi_define_properties(env, exports, sizeof properties / sizeof properties[0], properties) == napi_ok &&
        napi_add_env_cleanup_hook(env, Cleanup, reference) == napi_ok;
    if (!registered) {
        Cleanup(reference);
        throwFailure(env, FailureKind::error, kInitializationFailedMessage);
        return nullptr;
    }
    return exports;
}

}  // namespace quorvantel::window_appearance
