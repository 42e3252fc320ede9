// The on-device recogniser's transcriber module and its language assets, as the
// speech helper calls them.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/speech/transcription_result.h"

namespace quorvantel {

// A failure raised by the speech framework, with the framework's own description.
class SpeechPlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Locale {
    // As the platform spells it, e.g. "en_US".
    std::string identifier;
};

enum class TranscriberPreset { timeIndexedProgressiveTranscription };

// One transcriber module: bound to a locale, delivering its results in order.
class SpeechTranscriber {
public:
    virtual ~SpeechTranscriber() = default;
    virtual const Locale& locale() const = 0;
    // Waits for the next result; nothing once the results have ended. Raises
    // SpeechPlatformError when recognition fails.
    virtual std::optional<SpeechTranscriptionResult> nextResult() = 0;
};

using TranscriberModules = std::vector<std::shared_ptr<SpeechTranscriber>>;

}  // namespace quorvantel
