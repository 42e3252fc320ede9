// The run: set-up against the recogniser, the "ready" line, the input loop that moves
// packets to one session per source, the orderly flush and the abort path.
#pragma once

#include <optional>
#include <string>

#include "platform/speech/speech_framework.h"
#include "speech/input_reader.h"
#include "speech/protocol_output.h"
#include "speech/recognizer_wording.h"

namespace quorvantel::speech {

// Exit status after SIGINT or SIGTERM during a run.
inline constexpr int kSignalExitStatus = 130;

struct RunEnvironment {
    SpeechFramework& speech;
    const RecognizerWording& wording;
    ProtocolOutput& output;
    InputReader& input;
    // Ends the process for a watchdog or the failure report; must not return.
    void (*exitProcess)(int status);
};

// Transcribes standard input, or the file at filePath. Returns after "stopped";
// raises the failure after writing its error line.
void run(RunEnvironment& environment, const std::string& locale, const std::optional<std::string>& filePath);

}  // namespace quorvantel::speech
