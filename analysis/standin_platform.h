// The stand-in system every analysis helper's main() wires in on this machine: the
// system version from the scenario's "os" section and the model from its "model"
// section.
#pragma once

#include <memory>

#include "platform/foundation/json.h"
#include "platform/sim/foundation-models/sim_language_model.h"
#include "platform/sim/sim_process_info.h"

namespace quorvantel::analysis {

struct StandInPlatform {
    std::unique_ptr<sim::SimProcessInfo> processInfo;
    std::unique_ptr<sim::SimLanguageModelProvider> models;
};

// Raises sim::ScenarioError; meant for sim::loadScenarioOrExit.
StandInPlatform buildStandInPlatform(const json::Value& scenario);

}  // namespace quorvantel::analysis
