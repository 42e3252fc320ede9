#include "capture/recording/core_audio_failure.h"

#include "capture/capture_failure.h"
#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {

// The wording is the frame's, so a Core Audio failure reads the same wherever it occurs.
std::string coreAudioFailureMessage(const std::string& operation, OSStatus status) {
    return coreAudioCallFailureMessage(operation, status);
}

void failCoreAudio(const std::string& operation, OSStatus status) {
    failRecording(coreAudioFailureMessage(operation, status));
}

}  // namespace quorvantel::capture
