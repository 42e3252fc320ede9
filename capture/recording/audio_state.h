// What the main thread shares with the audio device's callback and listener
// threads during one recording. It is allocated once before anything is created and
// lives as long as any callback might still run.
#pragma once

#include <atomic>
#include <cstdint>

#include "capture/recording/ring.h"

namespace quorvantel::capture {

struct AudioState {
    Ring ring;
    // Set by the format listener: the queued bytes may no longer match the format.
    std::atomic<std::uint8_t> deviceChanged{0};
    // Callbacks running right now; teardown waits for it to reach 0.
    std::atomic<std::uint32_t> inFlight{0};

    bool changed() const noexcept { return deviceChanged.load(std::memory_order_acquire) != 0; }
};

// Fails the recording when the callbacks have recorded a problem: an overrun, an
// unusable clock, malformed input or a changed device.
void failIfUnhealthy(const AudioState& state);

}  // namespace quorvantel::capture
