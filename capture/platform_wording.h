// How failure messages name the system the helper runs on. The sentences are written
// for macOS and Core Audio; on another system a sentence that names them names that
// system and its audio service instead, in the same form ("Linux could not create
// the computer audio tap (PipeWire -2). Try recording again.").
#pragma once

#include <string>

namespace quorvantel::capture {

struct PlatformWording {
    std::string system = "macOS";
    std::string audioService = "Core Audio";
};

// The message with the system named at its start and the audio service named before
// a status code as `wording` says.
std::string worded(const std::string& message, const PlatformWording& wording);

}  // namespace quorvantel::capture
