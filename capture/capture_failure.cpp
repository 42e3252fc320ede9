#include "capture/capture_failure.h"

namespace quorvantel::capture {

void fail(const std::string& message) { throw CaptureFailure(message); }

std::string coreAudioCallFailureMessage(std::string_view operation, OSStatus status) {
    const std::string code = std::to_string(status);
    if (status == kAudioDevicePermissionsError) {
        return "Computer audio recording is not permitted (Core Audio " + code + "). Operation: " +
               std::string(operation) +
               ". Check Tovrel's system audio recording access in System Settings > Privacy & Security > Screen & "
               "System Audio Recording, then try again.";
    }
    return "macOS could not " + std::string(operation) + " (Core Audio " + code + "). Try recording again.";
}

void failCoreAudioCall(std::string_view operation, OSStatus status) {
    fail(coreAudioCallFailureMessage(operation, status));
}

}  // namespace quorvantel::capture
