// NSWorkspace's list of running applications, and the lookup of one application by
// its process identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvantel {

enum class NSApplicationActivationPolicy {
    NSApplicationActivationPolicyRegular,     // an ordinary application with a Dock icon
    NSApplicationActivationPolicyAccessory,   // no Dock icon, may show windows
    NSApplicationActivationPolicyProhibited,  // background only
};

// A snapshot of one NSRunningApplication.
struct NSRunningApplication {
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    std::int32_t processIdentifier = -1;
    NSApplicationActivationPolicy activationPolicy = NSApplicationActivationPolicy::NSApplicationActivationPolicyRegular;
    bool terminated = false;
};

class NSWorkspace {
public:
    virtual ~NSWorkspace() = default;
    // runningApplications, in the system's order.
    virtual std::vector<NSRunningApplication> runningApplications() const = 0;
    // NSRunningApplication runningApplicationWithProcessIdentifier:.
    virtual std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(std::int32_t pid) const = 0;
};

}  // namespace quorvantel
