#include "analysis/standin_platform.h"

namespace quorvantel::analysis {

StandInPlatform buildStandInPlatform(const json::Value& scenario) {
    const sim::Section root = sim::Section::root(scenario);
    StandInPlatform platform;
    platform.processInfo = std::make_unique<sim::SimProcessInfo>(root.section("os"));
    platform.models = std::make_unique<sim::SimLanguageModelProvider>(sim::readModelScript(root.section("model")));
    return platform;
}

}  // namespace quorvantel::analysis
