// quorvantel-meeting-categories on the stand-in platform.
#include "analysis/categories/meeting_categories_helper.h"
#include "analysis/frame/helper_runner.h"
#include "analysis/standin_platform.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    const analysis::StandInPlatform platform = sim::loadScenarioOrExit(analysis::buildStandInPlatform);
    analysis::categories::MeetingCategoriesHelper helper;
    return analysis::helperMain(helper, argc, argv, *platform.processInfo, *platform.models);
}
