// The module's registration and calls over a stand-in Node-API: the paths a real
// Node never lets a test reach (a call on another thread, Node-API functions that
// fail, registration that fails), and the clean-up hook.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fake_node_api.h"
#include "platform/sim/appkit/window_system.h"
#include "window-appearance/node_module.h"
#include "window-appearance/window_call.h"

namespace {

using namespace quorvantel;
using namespace quorvantel::window_appearance;

sim::WindowSystem* gSystem = nullptr;

appkit::WindowServices services() {
    return gSystem->services();
}

class NodeModuleTest : public ::testing::Test {
protected:
    void SetUp() override { gSystem = &system; }
    void TearDown() override {
        env.runCleanupHooks();
        gSystem = nullptr;
    }

    void registerModule() {
        exports = env.make(napi_object);
        ASSERT_EQ(RegisterModule(&env, exports, services), exports);
        ASSERT_FALSE(env.exception);
    }

    napi_value function(const char* name) { return exports->member(name); }

    std::shared_ptr<sim::SimWindow> openWindow() { return system.createWindow({}); }

    napi_value handleOf(const std::shared_ptr<sim::SimWindow>& window) {
        return env.handle(appkit::objectIdentity(window->contentView().get()));
    }

    void expectError(const std::string& message) {
        ASSERT_TRUE(env.exception) << "nothing was thrown";
        EXPECT_FALSE(env.exception->typeError);
        EXPECT_EQ(env.exception->message, message);
    }

    void clearCall() {
        env.exception.reset();
        env.failures.clear();
        env.calls.clear();
        env.failureThrows.reset();
    }

    sim::WindowSystem system;
    napi_env__ env;
    napi_value exports = nullptr;
};

TEST_F(NodeModuleTest, RegistersThreeFunctionsSharingOneStateAndACleanupHook) {
    registerModule();
    ASSERT_EQ(exports->members.size(), 3u);
    EXPECT_EQ(exports->members[0].first, "attach");
    EXPECT_EQ(exports->members[1].first, "inspect");
    EXPECT_EQ(exports->members[2].first, "detach");
    for (const auto& [name, value] : exports->members) {
        EXPECT_EQ(value->type, napi_function) << name;
        EXPECT_NE(value->data, nullptr) << name;
        EXPECT_EQ(value->data, exports->members[0].second->data) << name;
    }
    EXPECT_EQ(env.cleanupHooks.size(), 1u);
}

TEST_F(NodeModuleTest, TheCleanupHookRestoresEveryAttachedWindow) {
    registerModule();
    auto first = openWindow();
    auto second = openWindow();
    auto firstOriginal = first->contentView();
    auto secondOriginal = second->contentView();
    for (const auto& window : {first, second}) {
        napi_value result = env.call(function("attach"), {handleOf(window), env.string("regular")});
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->member("attached")->boolean);
    }
    env.runCleanupHooks();
    EXPECT_EQ(first->contentView(), firstOriginal);
    EXPECT_EQ(second->contentView(), secondOriginal);
    EXPECT_EQ(first->styleMask(), sim::kDefaultWindowStyleMask);
    EXPECT_EQ(system.notificationCenter().observerCount(), 0u);
}

TEST_F(NodeModuleTest, LoadingOffTheMainThreadThrowsAtLoad) {
    exports = env.make(napi_object);
    napi_value result = exports;
    std::thread other([&] { result = RegisterModule(&env, exports, services); });
    other.join();
    EXPECT_EQ(result, nullptr);
    expectError(kLoadOffMainThreadMessage);
    EXPECT_TRUE(exports->members.empty());
    EXPECT_TRUE(env.cleanupHooks.empty());
}

TEST_F(NodeModuleTest, FailedRegistrationCleansUpAndThrows) {
    for (const char* failing : {"napi_define_properties", "napi_add_env_cleanup_hook"}) {
        SCOPED_TRACE(failing);
        clearCall();
        env.failures[failing] = 0;
        exports = env.make(napi_object);
        // The state made for the module is released again: the leak checker of the
        // sanitizer build sees to that.
        EXPECT_EQ(RegisterModule(&env, exports, services), nullptr);
        expectError(kInitializationFailedMessage);
        EXPECT_TRUE(env.cleanupHooks.empty());
    }
}

TEST_F(NodeModuleTest, ACallOffTheMainThreadIsRefusedAndChangesNothing) {
    registerModule();
    auto window = openWindow();
    auto original = window->contentView();
    const std::vector<std::pair<const char*, std::vector<napi_value>>> calls = {
        {"attach", {handleOf(window), env.string("regular")}},
        {"inspect", {handleOf(window)}},
        {"detach", {handleOf(window)}},
    };
    for (const auto& [name, arguments] : calls) {
        SCOPED_TRACE(name);
        clearCall();
        napi_value result = env.make(napi_undefined);
        std::thread other([&, fn = function(name), args = arguments] { result = env.call(fn, args); });
        other.join();
        EXPECT_EQ(result, nullptr);
        expectError(kCallOffMainThreadMessage);
    }
    EXPECT_EQ(window->contentView(), original);
}

TEST_F(NodeModuleTest, ANodeApiFailureBecomesOneError) {
    registerModule();
    auto window = openWindow();
    struct Case {
        const char* function;
        int call;
        const char* operation;
    };
    const Case cases[] = {
        // While reading the arguments.
        {"napi_get_cb_info", 0, "attach"},
        {"napi_is_buffer", 0, "attach"},
        {"napi_get_buffer_info", 0, "attach"},
        {"napi_typeof", 0, "attach"},
        {"napi_get_value_string_utf8", 0, "attach"},
        {"napi_get_value_string_utf8", 1, "attach"},
        // While building the result.
        {"napi_create_object", 0, "inspect"},
        {"napi_create_object", 3, "inspect"},
        {"napi_set_named_property", 0, "inspect"},
        {"napi_set_named_property", 60, "inspect"},
        {"napi_get_boolean", 0, "inspect"},
        {"napi_create_double", 7, "inspect"},
        {"napi_create_string_utf8", 0, "inspect"},
        {"napi_get_null", 0, "inspect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.function << " call " << c.call << " in " << c.operation);
        clearCall();
        env.failures[c.function] = c.call;
        std::vector<napi_value> arguments{handleOf(window)};
        if (std::string(c.operation) == "attach") arguments.push_back(env.string("regular"));
        EXPECT_EQ(env.call(function(c.operation), arguments), nullptr);
        expectError(kNodeApiFailedMessage);
        EXPECT_EQ(env.calls[c.function], c.call + 1) << "the failing call was reached";
    }
    // The failed reads attached nothing.
    EXPECT_EQ(window->contentView()->className(), "NSView");
}

TEST_F(NodeModuleTest, AnExceptionAlreadyPendingIsTheOneJavaScriptSees) {
    registerModule();
    auto window = openWindow();
    env.failures["napi_set_named_property"] = 4;
    env.failureThrows = FakeException{true, "thrown by a getter"};
    EXPECT_EQ(env.call(function("inspect"), {handleOf(window)}), nullptr);
    ASSERT_TRUE(env.exception);
    EXPECT_TRUE(env.exception->typeError);
    EXPECT_EQ(env.exception->message, "thrown by a getter");
}

TEST_F(NodeModuleTest, ArgumentProblemsAreTypeErrorsAndOtherFailuresErrors) {
    registerModule();
    auto window = openWindow();
    clearCall();
    env.call(function("attach"), {handleOf(window), env.number(7)});
    ASSERT_TRUE(env.exception);
    EXPECT_TRUE(env.exception->typeError);
    EXPECT_EQ(env.exception->message, kStyleMessage);

    clearCall();
    system.faults().add("NSApplication windows", 0, std::nullopt);
    env.call(function("inspect"), {handleOf(window)});
    expectError("AppKit Liquid Glass operation failed: unknown exception");
}

}  // namespace
