// The stand-in NSWorkspace: the running applications of the scenario's
// "applications" array, in its order.
#pragma once

#include "platform/appkit/workspace_running_applications.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

class SimWorkspace final : public NSWorkspace {
public:
    // Reads "applications" (default: none); raises a ScenarioError for an entry or a
    // member of the wrong type.
    explicit SimWorkspace(const Section& root);

    std::vector<NSRunningApplication> runningApplications() const override { return applications_; }
    std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(std::int32_t pid) const override;

private:
    std::vector<NSRunningApplication> applications_;
};

}  // namespace quorvantel::sim
