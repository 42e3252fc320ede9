// The built module's Node-API entry points, as Node finds them before it loads the
// module: the version it was built against and the registration function, and
// nothing else exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>

#ifndef QUORVANTEL_WINDOW_APPEARANCE_MODULE
#error "QUORVANTEL_WINDOW_APPEARANCE_MODULE must name the built module"
#endif

namespace {

class ModuleEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Lazily: the Node-API functions the module calls exist only in a host.
        module = dlopen(QUORVANTEL_WINDOW_APPEARANCE_MODULE, RTLD_LAZY | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
    }
    void TearDown() override {
        if (module) dlclose(module);
    }
    void* module = nullptr;
};

TEST_F(ModuleEntryTest, ReportsNodeApiVersion8) {
    using Version = std::int32_t (*)();
    auto version = reinterpret_cast<Version>(dlsym(module, "node_api_module_get_api_version_v1"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 8);
}

TEST_F(ModuleEntryTest, ExportsTheRegistrationAndKeepsItsLibrariesPrivate) {
    EXPECT_NE(dlsym(module, "napi_register_module_v1"), nullptr);
    // The logic and the stand-in are linked in but not visible to the host.
    EXPECT_EQ(dlsym(module, "_ZN10quorvantel6appkit12isMainThreadEv"), nullptr);
}

}  // namespace
