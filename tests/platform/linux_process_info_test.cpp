#include "platform/foundation/linux_process_info.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

using namespace quorvantel;

TEST(LinuxProcessInfo, ReadsTheKernelReleasesLeadingNumbers) {
    struct Case {
        const char* release;
        OperatingSystemVersion version;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}},
        {"5.15.153.1-microsoft-standard-WSL2", {5, 15, 153}},
        {"6.8", {6, 8, 0}},
        {"4.19.0+", {4, 19, 0}},
        {"", {0, 0, 0}},
        {"custom", {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const OperatingSystemVersion v = kernelReleaseVersion(c.release);
        EXPECT_EQ(v.majorVersion, c.version.majorVersion) << c.release;
        EXPECT_EQ(v.minorVersion, c.version.minorVersion) << c.release;
        EXPECT_EQ(v.patchVersion, c.version.patchVersion) << c.release;
    }
}

TEST(LinuxProcessInfo, NamesTheRunningKernelAndPassesEveryVersionGate) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    const LinuxProcessInfo info;
    EXPECT_EQ(info.operatingSystemVersionString(), std::string(name.sysname) + " " + name.release);
    for (OperatingSystemVersion gate : {OperatingSystemVersion{26, 0, 0}, OperatingSystemVersion{99, 9, 9}}) {
        EXPECT_TRUE(info.isOperatingSystemAtLeast(gate));
    }
}
