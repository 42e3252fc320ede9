#include "capture/recording/audio_state.h"

#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {

void failIfUnhealthy(const AudioState& state) {
    switch (state.ring.status()) {
        case kRingRunning: break;
        case kRingOverrun:
            failRecording("Audio capture could not keep up. Recording stopped instead of silently dropping audio.");
        case kRingClockUnusable:
            failRecording(
                "macOS did not provide a usable computer audio clock. Recording stopped to preserve timing; start a "
                "new recording.");
        default:
            failRecording(
                "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
                "recording.");
    }
    if (state.changed()) {
        failRecording(
            "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
            "recording.");
    }
}

}  // namespace quorvantel::capture
