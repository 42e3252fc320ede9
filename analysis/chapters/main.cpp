// quorvantel-meeting-chapters: the stand-ins with a scenario, this machine's own system
// without one.
#include "analysis/chapters/meeting_chapters_helper.h"
#include "analysis/machine_platform.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    analysis::chapters::MeetingChaptersHelper helper;
    return analysis::helperMainOnChosenPlatform(helper, argc, argv);
}
