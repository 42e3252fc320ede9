// quorvantel-meeting-topics: the stand-ins with a scenario, this machine's own system
// without one.
#include "analysis/topics/meeting_topics_helper.h"
#include "analysis/machine_platform.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    analysis::topics::MeetingTopicsHelper helper;
    return analysis::helperMainOnChosenPlatform(helper, argc, argv);
}
