#include "platform/foundation/linux_process_info.h"

#include <charconv>
#include <sys/utsname.h>

namespace quorvantel {

OperatingSystemVersion kernelReleaseVersion(std::string_view release) {
    OperatingSystemVersion version;
    int* parts[] = {&version.majorVersion, &version.minorVersion, &version.patchVersion};
    const char* p = release.data();
    const char* end = p + release.size();
    for (int* part : parts) {
        int value = 0;
        auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc()) break;
        *part = value;
        p = next;
        if (p == end || *p != '.') break;
        ++p;
    }
    return version;
}

LinuxProcessInfo::LinuxProcessInfo() {
    utsname name{};
    if (uname(&name) != 0) {
        versionString_ = "Linux";
        return;
    }
    versionString_ = std::string(name.sysname) + " " + name.release;
    version_ = kernelReleaseVersion(name.release);
}

}  // namespace quorvantel
