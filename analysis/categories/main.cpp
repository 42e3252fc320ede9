// quorvantel-meeting-categories: the stand-ins with a scenario, this machine's own system
// without one.
#include "analysis/categories/meeting_categories_helper.h"
#include "analysis/machine_platform.h"

using namespace quorvantel;

int main(int argc, char** argv) {
    analysis::categories::MeetingCategoriesHelper helper;
    return analysis::helperMainOnChosenPlatform(helper, argc, argv);
}
