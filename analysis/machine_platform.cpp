#include "analysis/machine_platform.h"

#include "analysis/frame/helper_runner.h"
#include "analysis/standin_platform.h"
#include "platform/foundation/linux_process_info.h"
#include "platform/sim/foundation-models/sim_language_model.h"
#include "platform/sim/scenario.h"

namespace quorvantel::analysis {

MachinePlatform buildLinuxPlatform() {
    MachinePlatform platform;
    platform.processInfo = std::make_unique<LinuxProcessInfo>();
    // With nothing scripted the provider answers with the extractive model alone.
    platform.models = std::make_unique<sim::SimLanguageModelProvider>(sim::SimModelScript{});
    return platform;
}

int helperMainOnChosenPlatform(AnalysisHelper& helper, int argc, char** argv) {
    if (sim::simulationRequested()) {
        const StandInPlatform platform = sim::loadScenarioOrExit(buildStandInPlatform);
        return helperMain(helper, argc, argv, *platform.processInfo, *platform.models);
    }
    const MachinePlatform platform = buildLinuxPlatform();
    return helperMain(helper, argc, argv, *platform.processInfo, *platform.models);
}

}  // namespace quorvantel::analysis
