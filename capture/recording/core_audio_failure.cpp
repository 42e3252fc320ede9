#include "capture/recording/core_audio_failure.h"

#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {

std::string coreAudioFailureMessage(const std::string& operation, OSStatus status) {
    if (status == kAudioDevicePermissionsError) {
        return "Computer audio recording is not permitted (Core Audio " + std::to_string(status) +
               "). Operation: " + operation +
               ". Check Tovrel's system audio recording access in System Settings > Privacy & Security > Screen & "
               "System Audio Recording, then try again.";
    }
    return "macOS could not " + operation + " (Core Audio " + std::to_string(status) + "). Try recording again.";
}

void failCoreAudio(const std::string& operation, OSStatus status) {
    failRecording(coreAudioFailureMessage(operation, status));
}

}  // namespace quorvantel::capture
