// quorvantel-meeting-titles: the stand-ins with a scenario, this machine's own system
// without one.
#include "analysis/titles/meeting_titles_helper.h"
#include "analysis/machine_platform.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    analysis::titles::MeetingTitlesHelper helper;
    return analysis::helperMainOnChosenPlatform(helper, argc, argv);
}
