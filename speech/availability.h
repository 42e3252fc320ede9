// Whether the device and a language can be transcribed on the device, and the
// preparation of the language's assets.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/speech/speech_framework.h"
#include "speech/protocol_output.h"
#include "speech/recognizer_wording.h"

namespace quorvantel::speech {

inline constexpr const char* kOldSystemMessage =
    "Local Apple transcription requires macOS 26 or later and Apple silicon.";

struct SupportedTranscriber {
    Locale locale;
    std::shared_ptr<SpeechTranscriber> transcriber;
};

// The supported equivalent of the requested identifier and a new transcriber for it,
// or nothing when the device has no recogniser or the locale no equivalent.
std::optional<SupportedTranscriber> supportedTranscriber(SpeechFramework& speech, const std::string& locale);

// Writes one availability line; with prepare, first reserves the locale and installs
// what is missing (a failure there raises SpeechPlatformError and writes nothing).
void checkAvailability(SpeechFramework& speech, const RecognizerWording& wording, ProtocolOutput& out,
                       const std::string& locale, bool prepare);

// The availability line with the locale's "_" written as "-"; without a message for
// "ready".
void availability(ProtocolOutput& out, const std::string& status, const std::string& locale,
                  const std::optional<std::string>& message);

}  // namespace quorvantel::speech
