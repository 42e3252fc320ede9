// The running Linux system as the helpers' version checks see it.
#pragma once

#include <string_view>

#include "platform/foundation/process_info.h"

namespace quorvantel {

class LinuxProcessInfo final : public ProcessInfo {
public:
    LinuxProcessInfo();
    // The kernel release's leading numbers ("6.1.0-18-amd64" gives 6.1.0).
    OperatingSystemVersion operatingSystemVersion() const override { return version_; }
    // "Linux " and the kernel release.
    std::string operatingSystemVersionString() const override { return versionString_; }
    // The helpers' version gates name the first macOS with the frameworks they need;
    // the Linux services that take those frameworks' place need no particular
    // release, so every gate passes.
    bool isOperatingSystemAtLeast(OperatingSystemVersion) const override { return true; }

private:
    OperatingSystemVersion version_;
    std::string versionString_;
};

// The leading numbers of a kernel release ("6.1.0-18-amd64" gives 6.1.0; missing
// parts are 0).
OperatingSystemVersion kernelReleaseVersion(std::string_view release);

}  // namespace quorvantel
