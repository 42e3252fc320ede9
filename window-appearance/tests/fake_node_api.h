// A small stand-in for the Node-API functions the module's registration and calls
// use, so that what no real Node lets a test reach can be tried: a call arriving
// off the main thread, a Node-API function that fails, an exception already pending.
#pragma once

#include <node_api.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct napi_value__ {
    napi_valuetype type = napi_undefined;
    bool isBuffer = false;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<std::uint8_t> bytes;
    // Objects keep their members in insertion order.
    std::vector<std::pair<std::string, napi_value>> members;
    napi_callback callback = nullptr;
    void* data = nullptr;

    napi_value member(const std::string& name) const;
};

struct napi_callback_info__ {
    std::vector<napi_value> arguments;
    void* data = nullptr;
};

struct FakeException {
    bool typeError = false;
    std::string message;
};

struct napi_env__ {
    std::deque<napi_value__> values;
    std::optional<FakeException> exception;
    std::vector<std::pair<napi_cleanup_hook, void*>> cleanupHooks;
    // A function named here fails (with napi_generic_failure) on the call of that
    // index, counting from 0, and then works again.
    std::map<std::string, int> failures;
    // When set, a failing function fails as the engine does when JavaScript threw
    // meanwhile: with this exception pending and napi_pending_exception.
    std::optional<FakeException> failureThrows;
    std::map<std::string, int> calls;

    napi_value make(napi_valuetype type);
    napi_value string(const std::string& text);
    napi_value number(double value);
    napi_value buffer(const void* data, std::size_t length);
    napi_value handle(std::uintptr_t pointer) { return buffer(&pointer, sizeof pointer); }

    // Calls a function value as JavaScript would; returns its result (nullptr when it
    // threw or returned nothing).
    napi_value call(napi_value function, std::vector<napi_value> arguments);
    void runCleanupHooks();

    // Whether the named function fails this time.
    bool fails(const char* function);
};
