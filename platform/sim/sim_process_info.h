// The stand-in operating system version, from the scenario's "os" section.
#pragma once

#include "platform/foundation/process_info.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

class SimProcessInfo final : public ProcessInfo {
public:
    // Reads "os.version" (default "26.0.0") and "os.versionString".
    explicit SimProcessInfo(const Section& os);
    OperatingSystemVersion operatingSystemVersion() const override { return version_; }
    std::string operatingSystemVersionString() const override { return versionString_; }

private:
    OperatingSystemVersion version_;
    std::string versionString_;
};

// Parses "major[.minor[.patch]]"; nothing when the text is not such a version.
std::optional<OperatingSystemVersion> parseOperatingSystemVersion(std::string_view text);

}  // namespace quorvantel::sim
