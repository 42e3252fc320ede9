// quorvantel-speech: wires a platform into the helper's logic, chosen once at start-up:
// the stand-ins when a scenario names the machine to play, otherwise this machine's
// own recogniser.
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/foundation/linux_process_info.h"
#include "platform/linux/pocketsphinx/pocketsphinx_framework.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_process_info.h"
#include "platform/sim/speech/sim_speech_framework.h"
#include "speech/process_end.h"
#include "speech/recognizer_wording.h"
#include "speech/speech_main.h"

namespace {

using namespace quorvantel;

// The platform lives as long as the process: threads may still use it while the
// process ends.
speech::SpeechPlatform& choosePlatform(speech::InputReader& input) {
    if (sim::simulationRequested()) {
        struct StandIn {
            sim::SimProcessInfo processInfo;
            sim::SimSpeechFramework speech;
        };
        StandIn& platform = *sim::loadScenarioOrExit([](const json::Value& scenario) {
            const sim::Section root = sim::Section::root(scenario);
            return new StandIn{sim::SimProcessInfo(root.section("os")),
                               sim::SimSpeechFramework(sim::parseSpeechScenario(root.section("speech")))};
        });
        return *new speech::SpeechPlatform{platform.processInfo, platform.speech, speech::kAppleSpeechWording, input};
    }
    auto* processInfo = new LinuxProcessInfo();
    auto* recognizer = new pocketsphinx::PocketsphinxFramework(pocketsphinx::ModelFiles::installed());
    return *new speech::SpeechPlatform{*processInfo, *recognizer, speech::kPocketsphinxWording, input};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    static speech::FileDescriptorReader input(STDIN_FILENO);
    speech::SpeechPlatform& platform = choosePlatform(input);
    // Threads may still be winding down; the process ends here without unwinding them,
    // unless a signal is already ending it.
    speech::endProcess(speech::speechMain(platform, arguments));
}
