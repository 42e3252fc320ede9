// The system every analysis helper's main() wires in: the stand-ins when a scenario
// names the machine to play, otherwise this machine's own, where the on-device
// model is the built-in extractive one.
#pragma once

#include <memory>

#include "analysis/frame/analysis_helper.h"
#include "platform/foundation-models/language_model.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::analysis {

struct MachinePlatform {
    std::unique_ptr<ProcessInfo> processInfo;
    std::unique_ptr<LanguageModelProvider> models;
};

// The running Linux system and the built-in extractive model: the only on-device
// language model a stock Linux desktop has, always ready, in English.
MachinePlatform buildLinuxPlatform();

// The whole run over the standard streams on the platform chosen at start-up; a
// scenario that cannot be used ends the process before anything else.
int helperMainOnChosenPlatform(AnalysisHelper& helper, int argc, char** argv);

}  // namespace quorvantel::analysis
