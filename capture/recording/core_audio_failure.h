// Platform failures of a recording, worded with the operation that failed and the
// platform's status. A refused permission says where the user grants it.
#pragma once

#include <string>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel::capture {

std::string coreAudioFailureMessage(const std::string& operation, OSStatus status);
[[noreturn]] void failCoreAudio(const std::string& operation, OSStatus status);

}  // namespace quorvantel::capture
