// Wires the stand-in calendar store into the helper.
#include <csignal>
#include <string>
#include <unistd.h>
#include <vector>

#include "calendar/calendar_helper.h"
#include "platform/sim/eventkit/sim_event_kit.h"
#include "platform/sim/scenario.h"

int main(int argc, char** argv) {
    using namespace quorvantel;
    const std::unique_ptr<sim::SimEventKit> eventKit =
        sim::loadScenarioOrExit([](const json::Value& scenario) { return sim::SimEventKit::fromScenario(scenario); });
    // A host that closed its end must make the write fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return calendar::TovrelCalendarHelper::main(arguments, *eventKit, STDIN_FILENO, STDOUT_FILENO);
}
