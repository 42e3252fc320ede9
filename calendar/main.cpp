// Wires the calendar store into the helper: the stand-in when a scenario is named,
// the desktop's own store (evolution-data-server) otherwise.
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "calendar/calendar_helper.h"
#include "platform/linux/evolution/evolution_event_kit.h"
#include "platform/sim/eventkit/sim_event_kit.h"
#include "platform/sim/scenario.h"

int main(int argc, char** argv) {
    using namespace quorvantel;
    std::unique_ptr<EventKit> eventKit;
    if (sim::simulationRequested()) {
        eventKit = sim::loadScenarioOrExit(
            [](const json::Value& scenario) { return sim::SimEventKit::fromScenario(scenario); });
    } else {
        // The answer names only a reason; why the store could not serve goes to
        // standard error for the user.
        eventKit = std::make_unique<evolution::EvolutionEventKit>(
            [](const std::string& sentence) { std::cerr << "quorvantel-calendar: " << sentence << std::endl; });
    }
    // A host that closed its end must make the write fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return calendar::TovrelCalendarHelper::main(arguments, *eventKit, STDIN_FILENO, STDOUT_FILENO);
}
