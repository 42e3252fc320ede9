#include "speech/speech_main.h"

#include <csignal>
#include <unistd.h>

#include "speech/availability.h"
#include "speech/command_line.h"
#include "speech/process_end.h"
#include "speech/protocol_output.h"
#include "speech/run_driver.h"
#include "speech/selftest.h"
#include "speech/speech_failure.h"

namespace quorvantel::speech {

inline constexpr const char* kNoPathMessage = "Offline validation needs --path.";
inline constexpr OperatingSystemVersion kMinimumSystem{26, 0, 0};

int speechMain(SpeechPlatform& platform, const std::vector<std::string>& arguments) {
    // A closed standard output must surface as a failed write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    ProtocolOutput& out = output();
    try {
        const CommandLine commandLine = parseCommandLine(arguments);
        if (commandLine.command == Command::selftest) {
            // The timing checks need the recogniser's system; the rest runs anywhere.
            selftest(platform.processInfo.isOperatingSystemAtLeast(kMinimumSystem));
            out.emit(json::Object{{"type", "selftest"}, {"ok", true}});
            return 0;
        }
        if (!platform.processInfo.isOperatingSystemAtLeast(kMinimumSystem)) {
            if (commandLine.command == Command::probe || commandLine.command == Command::prepare) {
                availability(out, "unsupported", commandLine.locale, std::string(kOldSystemMessage));
                return 0;
            }
            throw SpeechFailure(kOldSystemMessage);
        }
        switch (commandLine.command) {
            case Command::probe:
            case Command::prepare:
                checkAvailability(platform.speech, platform.wording, out, commandLine.locale,
                                  commandLine.command == Command::prepare);
                return 0;
            case Command::file:
            case Command::run: {
                if (commandLine.command == Command::file && !commandLine.path) throw SpeechFailure(kNoPathMessage);
                RunEnvironment environment{platform.speech, platform.wording, out, platform.input, endProcess};
                run(environment, commandLine.locale,
                    commandLine.command == Command::file ? commandLine.path : std::nullopt);
                return 0;
            }
            case Command::selftest: break;
        }
        return 0;
    } catch (const std::exception& failure) {
        out.error(failure.what());
        return 1;
    }
}

}  // namespace quorvantel::speech
