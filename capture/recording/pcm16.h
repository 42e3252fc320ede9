// A chunk's frames as 16-bit PCM, interleaved left then right, with their peak.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/recording/ring.h"
#include "platform/coreaudio/audio_types.h"

namespace quorvantel::capture {

struct Pcm16 {
    std::vector<std::uint8_t> bytes;  // little-endian samples
    double peak = 0;                  // the largest absolute sample after clamping
};

// The frames of `chunk` from `firstFrame` on; frames before it neither appear nor
// count towards the peak.
Pcm16 pcm16(const Packet& chunk, const AudioStreamBasicDescription& format, std::uint32_t firstFrame);

}  // namespace quorvantel::capture
