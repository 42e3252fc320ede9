// quorvantel-speech: wires the stand-in platform into the helper's logic.
#include <csignal>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/sim/scenario.h"
#include "platform/sim/sim_process_info.h"
#include "platform/sim/speech/sim_speech_framework.h"
#include "speech/process_end.h"
#include "speech/speech_main.h"

int main(int argc, char** argv) {
    using namespace quorvantel;
    struct Platform {
        sim::SimProcessInfo processInfo;
        sim::SimSpeechFramework speech;
    };
    Platform& platform = *sim::loadScenarioOrExit([](const json::Value& scenario) {
        const sim::Section root = sim::Section::root(scenario);
        return new Platform{sim::SimProcessInfo(root.section("os")),
                            sim::SimSpeechFramework(sim::parseSpeechScenario(root.section("speech")))};
    });
    std::vector<std::string> arguments(argv + 1, argv + argc);
    speech::FileDescriptorReader input(STDIN_FILENO);
    speech::SpeechPlatform wiring{platform.processInfo, platform.speech, input};
    // Threads may still be winding down; the process ends here without unwinding them,
    // unless a signal is already ending it.
    speech::endProcess(speech::speechMain(wiring, arguments));
}
