#include "platform/sim/sim_process_info.h"

#include <charconv>
#include <sys/utsname.h>

namespace quorvantel::sim {

std::optional<OperatingSystemVersion> parseOperatingSystemVersion(std::string_view text) {
    int parts[3] = {0, 0, 0};
    std::size_t index = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    while (true) {
        if (index == 3 || p == end) return std::nullopt;
        auto [next, error] = std::from_chars(p, end, parts[index]);
        if (error != std::errc() || parts[index] < 0) return std::nullopt;
        ++index;
        p = next;
        if (p == end) break;
        if (*p != '.') return std::nullopt;
        ++p;
    }
    return OperatingSystemVersion{parts[0], parts[1], parts[2]};
}

SimProcessInfo::SimProcessInfo(const Section& os) : version_{26, 0, 0} {
    if (auto text = os.string("version")) {
        auto parsed = parseOperatingSystemVersion(*text);
        if (!parsed) throw ScenarioError(os.pathOf("version") + " must be a version such as 26.0.0");
        version_ = *parsed;
    }
    if (auto text = os.string("versionString")) {
        versionString_ = *text;
    } else {
        utsname name{};
        uname(&name);
        versionString_ = std::string(name.sysname) + " " + name.release + " (macOS 26 stand-in)";
    }
}

}  // namespace quorvantel::sim
