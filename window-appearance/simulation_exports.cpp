#include "window-appearance/simulation_exports.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/appkit/window_exception.h"
#include "platform/foundation/json.h"

namespace quorvantel::window_appearance {

namespace {

using sim::SimView;
using sim::SimWindow;

// Bounds of what a simulated window may be made of.
inline constexpr double kMaximumWindowSide = 16384;
inline constexpr double kMaximumStyleMask = 4294967295.0;
inline constexpr std::int64_t kMinimumSystemMajorVersion = 10;
inline constexpr std::int64_t kMaximumSystemMajorVersion = 99;
inline constexpr std::int64_t kMaximumFaultSkips = 1000000;
inline constexpr std::size_t kMaximumOperationBytes = 200;
inline constexpr std::size_t kMaximumExceptionNameBytes = 200;
inline constexpr std::size_t kMaximumSimulationArguments = 4;
inline constexpr const char* kDefaultExceptionName = "NSInternalInconsistencyException";
inline constexpr std::size_t kHandleBytes = sizeof(void*);

// A mistake in how a test drives the stand-in.
class SimulationFailure : public std::runtime_error {
public:
    SimulationFailure(bool typeError, const std::string& message) : std::runtime_error(message), typeError(typeError) {}
    bool typeError;
};

[[noreturn]] void argumentError(const std::string& message) {
    throw SimulationFailure(true, "simulation: " + message);
}

void check(napi_status status) {
    if (status != napi_ok) throw SimulationFailure(false, "simulation: Node-API operation failed.");
}

// Every view a handle was given out for stays alive here, so a handle never comes to
// name a different view that happens to reuse its address.
struct HandleEntry {
    std::shared_ptr<SimView> view;
    std::weak_ptr<SimWindow> window;
};

struct Simulation {
    sim::WindowSystem& system;
    std::map<std::uintptr_t, HandleEntry> handles;
};

Simulation* gSimulation = nullptr;

std::uintptr_t identityOf(const SimView& view) {
    return appkit::objectIdentity(static_cast<const appkit::NSView*>(&view));
}

napi_value handleValue(napi_env env, Simulation& s, const std::shared_ptr<SimView>& view,
                       const std::shared_ptr<SimWindow>& window) {
    const std::uintptr_t identity = identityOf(*view);
    auto& entry = s.handles[identity];
    entry.view = view;
    if (window) entry.window = window;
    napi_value result = nullptr;
    check(napi_create_buffer_copy(env, kHandleBytes, &identity, nullptr, &result));
    return result;
}

struct Arguments {
    std::size_t count = kMaximumSimulationArguments;
    napi_value values[kMaximumSimulationArguments] = {};
    Simulation* simulation = nullptr;
};

Arguments readArguments(napi_env env, napi_callback_info info, std::size_t minimum) {
    Arguments a;
    void* data = nullptr;
    check(napi_get_cb_info(env, info, &a.count, a.values, nullptr, &data));
    a.simulation = static_cast<Simulation*>(data);
    if (a.count < minimum) argumentError("missing arguments.");
    return a;
}

napi_valuetype typeOf(napi_env env, napi_value value) {
    napi_valuetype type = napi_undefined;
    check(napi_typeof(env, value, &type));
    return type;
}

HandleEntry& entryOf(napi_env env, Simulation& s, napi_value value) {
    bool isBuffer = false;
    check(napi_is_buffer(env, value, &isBuffer));
    if (!isBuffer) argumentError("a handle must be a Buffer.");
    void* data = nullptr;
    std::size_t length = 0;
    check(napi_get_buffer_info(env, value, &data, &length));
    if (length != kHandleBytes) argumentError("a handle holds exactly one pointer.");
    std::uintptr_t identity = 0;
    std::memcpy(&identity, data, kHandleBytes);
    auto found = s.handles.find(identity);
    if (found == s.handles.end()) argumentError("the handle was not given out by the simulation.");
    return found->second;
}

std::shared_ptr<SimWindow> windowOf(napi_env env, Simulation& s, napi_value value) {
    HandleEntry& entry = entryOf(env, s, value);
    auto window = entry.window.lock();
    if (!window) window = entry.view->window();
    if (!window) argumentError("the handle's window is closed.");
    bool open = false;
    for (const auto& w : s.system.application().simWindows()) open = open || w == window;
    if (!open) argumentError("the handle's window is closed.");
    return window;
}

std::optional<napi_value> member(napi_env env, napi_value object, const char* name) {
    bool has = false;
    check(napi_has_named_property(env, object, name, &has));
    if (!has) return std::nullopt;
    napi_value value = nullptr;
    check(napi_get_named_property(env, object, name, &value));
    if (typeOf(env, value) == napi_undefined) return std::nullopt;
    return value;
}

double numberOf(napi_env env, napi_value value, const std::string& what) {
    if (typeOf(env, value) != napi_number) argumentError(what + " must be a number.");
    double number = 0;
    check(napi_get_value_double(env, value, &number));
    if (!std::isfinite(number)) argumentError(what + " must be finite.");
    return number;
}

double sideOf(napi_env env, napi_value value, const std::string& what) {
    const double side = numberOf(env, value, what);
    if (side <= 0 || side > kMaximumWindowSide) argumentError(what + " must be above 0 and at most 16384.");
    return side;
}

std::int64_t integerOf(napi_env env, napi_value value, const std::string& what, double minimum, double maximum) {
    const double number = numberOf(env, value, what);
    if (std::floor(number) != number || number < minimum || number > maximum) {
        argumentError(what + " must be a whole number from " + std::to_string(static_cast<std::int64_t>(minimum)) +
                      " to " + std::to_string(static_cast<std::int64_t>(maximum)) + ".");
    }
    return static_cast<std::int64_t>(number);
}

bool booleanOf(napi_env env, napi_value value, const std::string& what) {
    if (typeOf(env, value) != napi_boolean) argumentError(what + " must be a boolean.");
    bool result = false;
    check(napi_get_value_bool(env, value, &result));
    return result;
}

std::string stringOf(napi_env env, napi_value value, const std::string& what, std::size_t maximumBytes) {
    if (typeOf(env, value) != napi_string) argumentError(what + " must be a string.");
    std::size_t length = 0;
    check(napi_get_value_string_utf8(env, value, nullptr, 0, &length));
    if (length > maximumBytes) argumentError(what + " is too long.");
    std::string text(length, '\0');
    std::size_t copied = 0;
    check(napi_get_value_string_utf8(env, value, text.data(), length + 1, &copied));
    text.resize(copied);
    return text;
}

napi_value optionsObject(napi_env env, const Arguments& a, std::size_t index, const char* what) {
    if (a.count <= index) return nullptr;
    const napi_valuetype type = typeOf(env, a.values[index]);
    if (type == napi_undefined) return nullptr;
    if (type != napi_object) argumentError(std::string(what) + " must be an object.");
    return a.values[index];
}

napi_value undefinedValue(napi_env env) {
    napi_value result = nullptr;
    check(napi_get_undefined(env, &result));
    return result;
}

napi_value booleanValue(napi_env env, bool value) {
    napi_value result = nullptr;
    check(napi_get_boolean(env, value, &result));
    return result;
}

napi_value numberValue(napi_env env, double value) {
    napi_value result = nullptr;
    check(napi_create_double(env, value, &result));
    return result;
}

napi_value stringValue(napi_env env, const std::string& value) {
    napi_value result = nullptr;
    check(napi_create_string_utf8(env, value.data(), value.size(), &result));
    return result;
}

napi_value nullValue(napi_env env) {
    napi_value result = nullptr;
    check(napi_get_null(env, &result));
    return result;
}

void setMember(napi_env env, napi_value object, const char* name, napi_value value) {
    check(napi_set_named_property(env, object, name, value));
}

napi_value rectValue(napi_env env, const appkit::NSRect& rect) {
    napi_value result = nullptr;
    check(napi_create_object(env, &result));
    setMember(env, result, "x", numberValue(env, rect.x));
    setMember(env, result, "y", numberValue(env, rect.y));
    setMember(env, result, "width", numberValue(env, rect.width));
    setMember(env, result, "height", numberValue(env, rect.height));
    return result;
}

// Runs one simulation function, turning its failures into JavaScript exceptions.
template <typename Body>
napi_value guarded(napi_env env, Body body) {
    try {
        return body();
    } catch (const SimulationFailure& failure) {
        if (failure.typeError) {
            napi_throw_type_error(env, nullptr, failure.what());
        } else {
            napi_throw_error(env, nullptr, failure.what());
        }
    } catch (const appkit::NSException& exception) {
        const std::string message = "simulation: AppKit raised " + std::string(exception.what()) + ".";
        napi_throw_error(env, nullptr, message.c_str());
    } catch (const std::exception& failure) {
        const std::string message = std::string("simulation: ") + failure.what();
        napi_throw_error(env, nullptr, message.c_str());
    }
    return nullptr;
}

napi_value CreateWindow(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 0);
        sim::WindowOptions options;
        if (napi_value object = optionsObject(env, a, 0, "createWindow options")) {
            if (auto v = member(env, object, "width")) options.width = sideOf(env, *v, "width");
            if (auto v = member(env, object, "height")) options.height = sideOf(env, *v, "height");
            if (auto v = member(env, object, "styleMask")) {
                options.styleMask = static_cast<appkit::NSWindowStyleMask>(integerOf(env, *v, "styleMask", 0, kMaximumStyleMask));
            }
            if (auto v = member(env, object, "titlebarAppearsTransparent")) {
                options.titlebarAppearsTransparent = booleanOf(env, *v, "titlebarAppearsTransparent");
            }
        }
        auto window = a.simulation->system.createWindow(options);
        return handleValue(env, *a.simulation, window->simContentView(), window);
    });
}

napi_value CloseWindow(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        a.simulation->system.closeWindow(windowOf(env, *a.simulation, a.values[0]));
        return undefinedValue(env);
    });
}

napi_value ReplaceContentView(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        auto window = windowOf(env, *a.simulation, a.values[0]);
        return handleValue(env, *a.simulation, a.simulation->system.replaceContentView(*window), window);
    });
}

napi_value ResizeWindow(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 3);
        auto window = windowOf(env, *a.simulation, a.values[0]);
        const double width = sideOf(env, a.values[1], "width");
        const double height = sideOf(env, a.values[2], "height");
        a.simulation->system.resizeWindow(*window, width, height);
        return undefinedValue(env);
    });
}

napi_value SetFrame(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 2);
        HandleEntry& entry = entryOf(env, *a.simulation, a.values[0]);
        napi_value object = optionsObject(env, a, 1, "setFrame rectangle");
        if (!object) argumentError("setFrame rectangle must be an object.");
        appkit::NSRect frame;
        double* parts[] = {&frame.x, &frame.y, &frame.width, &frame.height};
        const char* names[] = {"x", "y", "width", "height"};
        for (int i = 0; i < 4; ++i) {
            auto v = member(env, object, names[i]);
            if (!v) argumentError(std::string("setFrame needs ") + names[i] + ".");
            *parts[i] = numberOf(env, *v, names[i]);
            if (std::fabs(*parts[i]) > kMaximumWindowSide) argumentError(std::string(names[i]) + " must be within 16384 of 0.");
        }
        entry.view->applyFrame(frame);
        return undefinedValue(env);
    });
}

napi_value SetAccessibility(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        napi_value object = optionsObject(env, a, 0, "setAccessibility settings");
        if (!object) argumentError("setAccessibility settings must be an object.");
        auto& settings = a.simulation->system.accessibility();
        std::optional<bool> reduce;
        std::optional<bool> contrast;
        if (auto v = member(env, object, "reduceTransparency")) reduce = booleanOf(env, *v, "reduceTransparency");
        if (auto v = member(env, object, "increaseContrast")) contrast = booleanOf(env, *v, "increaseContrast");
        if (reduce) settings.reduceTransparency = *reduce;
        if (contrast) settings.increaseContrast = *contrast;
        return undefinedValue(env);
    });
}

napi_value SetSystemVersion(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        a.simulation->system.systemVersion().majorVersion = static_cast<int>(
            integerOf(env, a.values[0], "the major version", kMinimumSystemMajorVersion, kMaximumSystemMajorVersion));
        return undefinedValue(env);
    });
}

napi_value AddSubview(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        HandleEntry& parent = entryOf(env, *a.simulation, a.values[0]);
        auto view = a.simulation->system.addSubview(*parent.view);
        return handleValue(env, *a.simulation, view, parent.view->window());
    });
}

napi_value MakeFirstResponder(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        HandleEntry& entry = entryOf(env, *a.simulation, a.values[0]);
        auto window = entry.view->window();
        if (!window) argumentError("the view is in no window.");
        std::shared_ptr<appkit::NSResponder> responder = entry.view;
        return booleanValue(env, window->makeFirstResponder(responder));
    });
}

napi_value FirstResponder(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        auto window = windowOf(env, *a.simulation, a.values[0]);
        auto view = std::dynamic_pointer_cast<SimView>(window->firstResponder());
        if (!view) return nullValue(env);
        return handleValue(env, *a.simulation, view, window);
    });
}

napi_value ContentView(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        auto window = windowOf(env, *a.simulation, a.values[0]);
        auto view = window->simContentView();
        if (!view) return nullValue(env);
        return handleValue(env, *a.simulation, view, window);
    });
}

napi_value DescribeView(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        HandleEntry& entry = entryOf(env, *a.simulation, a.values[0]);
        const SimView& view = *entry.view;
        napi_value result = nullptr;
        check(napi_create_object(env, &result));
        setMember(env, result, "className", stringValue(env, view.className()));
        setMember(env, result, "frame", rectValue(env, view.frame()));
        setMember(env, result, "bounds", rectValue(env, view.bounds()));
        setMember(env, result, "autoresizingMask", numberValue(env, static_cast<double>(view.autoresizingMask())));
        const auto superview = view.simSuperview();
        setMember(env, result, "superviewClass", superview ? stringValue(env, superview->className()) : nullValue(env));
        setMember(env, result, "inWindow", booleanValue(env, view.window() != nullptr));
        const auto window = view.window();
        setMember(env, result, "isContentView", booleanValue(env, window && window->simContentView().get() == &view));
        const auto* glass = dynamic_cast<const sim::SimGlassEffectView*>(&view);
        if (glass) {
            napi_value g = nullptr;
            check(napi_create_object(env, &g));
            setMember(env, g, "style", numberValue(env, static_cast<double>(glass->style())));
            setMember(env, g, "cornerRadius", numberValue(env, glass->cornerRadius()));
            setMember(env, g, "hasContentView", booleanValue(env, glass->contentView() != nullptr));
            setMember(env, result, "glass", g);
        } else {
            setMember(env, result, "glass", nullValue(env));
        }
        return result;
    });
}

napi_value FailOperation(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        napi_value object = optionsObject(env, a, 0, "failOperation plan");
        if (!object) argumentError("failOperation plan must be an object.");
        auto operation = member(env, object, "operation");
        if (!operation) argumentError("failOperation needs an operation.");
        const std::string name = stringOf(env, *operation, "operation", kMaximumOperationBytes);
        std::size_t after = 0;
        if (auto v = member(env, object, "after")) {
            after = static_cast<std::size_t>(integerOf(env, *v, "after", 0, static_cast<double>(kMaximumFaultSkips)));
        }
        std::optional<std::string> exceptionName = kDefaultExceptionName;
        if (auto v = member(env, object, "name")) {
            if (typeOf(env, *v) == napi_null) {
                exceptionName.reset();
            } else {
                exceptionName = stringOf(env, *v, "name", kMaximumExceptionNameBytes);
            }
        }
        a.simulation->system.faults().add(name, after, exceptionName);
        return undefinedValue(env);
    });
}

napi_value ClearFaults(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 0);
        a.simulation->system.faults().clear();
        return undefinedValue(env);
    });
}

napi_value Counts(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 0);
        auto& system = a.simulation->system;
        napi_value result = nullptr;
        check(napi_create_object(env, &result));
        setMember(env, result, "windows", numberValue(env, static_cast<double>(system.application().simWindows().size())));
        setMember(env, result, "observers", numberValue(env, static_cast<double>(system.notificationCenter().observerCount())));
        setMember(env, result, "pendingFaults", numberValue(env, static_cast<double>(system.faults().pendingCount())));
        return result;
    });
}

std::string hexHandle(std::uintptr_t identity) {
    char text[2 + 2 * sizeof(identity) + 1];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(identity));
    return text;
}

json::Value rectJson(const appkit::NSRect& r) {
    return json::Object{{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
}

// The state of every open window once the host is gone: what a test of the
// clean-up hook looks at, since no JavaScript runs that late.
void reportWindows() {
    if (!gSimulation) return;
    json::Array windows;
    for (const auto& window : gSimulation->system.application().simWindows()) {
        const auto content = window->simContentView();
        json::Object entry{{"windowNumber", window->windowNumber()},
                           {"contentView", content ? json::Value(hexHandle(identityOf(*content))) : json::Value()},
                           {"contentViewClass", content ? json::Value(content->className()) : json::Value()},
                           {"contentFrame", content ? rectJson(content->frame()) : json::Value()},
                           {"autoresizingMask", content ? json::Value(content->autoresizingMask()) : json::Value()},
                           {"styleMask", window->styleMask()},
                           {"titlebarAppearsTransparent", window->titlebarAppearsTransparent()}};
        windows.emplace_back(std::move(entry));
    }
    const std::string line = json::write(json::Object{{"windowsAtExit", std::move(windows)}}, json::KeyOrder::insertion);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

napi_value ReportWindowsAtExit(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        readArguments(env, info, 0);
        static bool registered = false;
        if (!registered) {
            if (std::atexit(reportWindows) != 0) throw SimulationFailure(false, "simulation: atexit refused the report.");
            registered = true;
        }
        return undefinedValue(env);
    });
}

napi_value HandleHex(napi_env env, napi_callback_info info) {
    return guarded(env, [&] {
        Arguments a = readArguments(env, info, 1);
        HandleEntry& entry = entryOf(env, *a.simulation, a.values[0]);
        return stringValue(env, hexHandle(identityOf(*entry.view)));
    });
}

}  // namespace

bool RegisterSimulation(napi_env env, napi_value exports, sim::WindowSystem& system) {
    // One simulation per process, as there is one AppKit; it lives until the process
    // ends so that the report at exit can still read it.
    if (!gSimulation) gSimulation = new Simulation{system, {}};
    void* data = gSimulation;
    const napi_property_descriptor functions[] = {
        {"createWindow", nullptr, CreateWindow, nullptr, nullptr, nullptr, napi_default, data},
        {"closeWindow", nullptr, CloseWindow, nullptr, nullptr, nullptr, napi_default, data},
        {"replaceContentView", nullptr, ReplaceContentView, nullptr, nullptr, nullptr, napi_default, data},
        {"resizeWindow", nullptr, ResizeWindow, nullptr, nullptr, nullptr, napi_default, data},
        {"setFrame", nullptr, SetFrame, nullptr, nullptr, nullptr, napi_default, data},
        {"setAccessibility", nullptr, SetAccessibility, nullptr, nullptr, nullptr, napi_default, data},
        {"setSystemVersion", nullptr, SetSystemVersion, nullptr, nullptr, nullptr, napi_default, data},
        {"addSubview", nullptr, AddSubview, nullptr, nullptr, nullptr, napi_default, data},
        {"makeFirstResponder", nullptr, MakeFirstResponder, nullptr, nullptr, nullptr, napi_default, data},
        {"firstResponder", nullptr, FirstResponder, nullptr, nullptr, nullptr, napi_default, data},
        {"contentView", nullptr, ContentView, nullptr, nullptr, nullptr, napi_default, data},
        {"describeView", nullptr, DescribeView, nullptr, nullptr, nullptr, napi_default, data},
        {"failOperation", nullptr, FailOperation, nullptr, nullptr, nullptr, napi_default, data},
        {"clearFaults", nullptr, ClearFaults, nullptr, nullptr, nullptr, napi_default, data},
        {"counts", nullptr, Counts, nullptr, nullptr, nullptr, napi_default, data},
        {"handleHex", nullptr, HandleHex, nullptr, nullptr, nullptr, napi_default, data},
        {"reportWindowsAtExit", nullptr, ReportWindowsAtExit, nullptr, nullptr, nullptr, napi_default, data},
    };
    napi_value simulation = nullptr;
    return napi_create_object(env, &simulation) == napi_ok &&
           napi_define_properties(env, simulation, sizeof functions / sizeof functions[0], functions) == napi_ok &&
           napi_set_named_property(env, exports, "simulation", simulation) == napi_ok;
}

}  // namespace quorvantel::window_appearance
