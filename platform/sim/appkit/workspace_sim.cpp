#include "platform/sim/appkit/workspace_sim.h"

#include <limits>

namespace quorvantel::sim {
namespace {

std::optional<std::string> optionalString(const Section& entry, std::string_view key) {
    if (!entry.has(key) || entry.isNull(key)) return std::nullopt;
    return entry.string(key);
}

NSApplicationActivationPolicy activationPolicy(const Section& entry) {
    const auto text = entry.string("activationPolicy");
    if (!text || *text == "regular") return NSApplicationActivationPolicy::NSApplicationActivationPolicyRegular;
    if (*text == "accessory") return NSApplicationActivationPolicy::NSApplicationActivationPolicyAccessory;
    if (*text == "prohibited") return NSApplicationActivationPolicy::NSApplicationActivationPolicyProhibited;
    entry.wrongType("activationPolicy", "\"regular\", \"accessory\" or \"prohibited\"");
}

}  // namespace

SimWorkspace::SimWorkspace(const Section& root) {
    const json::Array* entries = root.array("applications");
    if (entries == nullptr) return;
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const std::string path = root.pathOf("applications") + "[" + std::to_string(i) + "]";
        const json::Value& value = (*entries)[i];
        if (!value.isObject()) throw ScenarioError(path + " must be an object");
        const Section entry(&value, path);
        NSRunningApplication application;
        application.bundleIdentifier = optionalString(entry, "bundleId");
        application.localizedName = optionalString(entry, "name");
        if (const auto pid = entry.integer("pid")) {
            if (*pid < std::numeric_limits<std::int32_t>::min() || *pid > std::numeric_limits<std::int32_t>::max()) {
                entry.wrongType("pid", "a 32-bit process identifier");
            }
            application.processIdentifier = static_cast<std::int32_t>(*pid);
        }
        application.activationPolicy = activationPolicy(entry);
        application.terminated = entry.boolean("terminated").value_or(false);
        applications_.push_back(std::move(application));
    }
}

std::optional<NSRunningApplication> SimWorkspace::runningApplicationWithProcessIdentifier(std::int32_t pid) const {
    for (const auto& application : applications_) {
        if (application.processIdentifier == pid && !application.terminated) return application;
    }
    return std::nullopt;
}

}  // namespace quorvantel::sim
