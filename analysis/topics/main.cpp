// quorvantel-meeting-topics on the stand-in platform.
#include "analysis/frame/helper_runner.h"
#include "analysis/standin_platform.h"
#include "analysis/topics/meeting_topics_helper.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    const analysis::StandInPlatform platform = sim::loadScenarioOrExit(analysis::buildStandInPlatform);
    analysis::topics::MeetingTopicsHelper helper;
    return analysis::helperMain(helper, argc, argv, *platform.processInfo, *platform.models);
}
