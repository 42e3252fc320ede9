#include "platform/foundation/process_info.h"

#include <tuple>

namespace quorvantel {

bool ProcessInfo::isOperatingSystemAtLeast(OperatingSystemVersion minimum) const {
    const OperatingSystemVersion v = operatingSystemVersion();
    return std::tie(v.majorVersion, v.minorVersion, v.patchVersion) >=
           std::tie(minimum.majorVersion, minimum.minorVersion, minimum.patchVersion);
}

}  // namespace quorvantel
