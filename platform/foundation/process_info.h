// The operating system's version, as the version checks of the helpers see it.
#pragma once

#include <string>

namespace quorvantel {

struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;
    virtual OperatingSystemVersion operatingSystemVersion() const = 0;
    // The human-readable version, e.g. for a diagnostic report.
    virtual std::string operatingSystemVersionString() const = 0;

    // Compares operatingSystemVersion() with the minimum; a system whose version gates
    // mean nothing for it answers on its own.
    virtual bool isOperatingSystemAtLeast(OperatingSystemVersion minimum) const;
};

}  // namespace quorvantel
