// The helper's start-up: the command line, the system gate and the one failure
// boundary that turns a failure into the error line.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation/process_info.h"
#include "platform/speech/speech_framework.h"
#include "speech/input_reader.h"
#include "speech/recognizer_wording.h"

namespace quorvantel::speech {

struct SpeechPlatform {
    const ProcessInfo& processInfo;
    SpeechFramework& speech;
    // How messages name that recogniser.
    const RecognizerWording& wording;
    InputReader& input;
};

// The exit status of the command.
int speechMain(SpeechPlatform& platform, const std::vector<std::string>& arguments);

}  // namespace quorvantel::speech
