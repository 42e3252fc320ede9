#include "platform/foundation/linux_process_info.h"

#include <charconv>
#include <sys/utsname.h>

namespace quorvantel {

LinuxProcessInfo::LinuxProcessInfo() {
    utsname name{};
    if (uname(&name) != 0) {
        versionString_ = "Linux";
        return;
    }
    versionString_ = std::string(name.sysname) + " " + name.release;
    int* parts[] = {&version_.majorVersion, &version_.minorVersion, &version_.patchVersion};
    const char* p = name.release;
    const char* end = p + std::char_traits<char>::length(p);
    for (int* part : parts) {
        auto [next, error] = std::from_chars(p, end, *part);
        if (error != std::errc()) break;
        p = next;
        if (p == end || *p != '.') break;
        ++p;
    }
}

}  // namespace quorvantel
