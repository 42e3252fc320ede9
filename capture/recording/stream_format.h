// Which stream formats a recording accepts, and how one sample of them reads as a
// number. The tap gives linear PCM in the layout it negotiated: 16-, 24- or 32-bit
// signed integers or 32- or 64-bit floats, little-endian, interleaved or one buffer
// per channel, at an integral rate from 8 to 192 kHz.
#pragma once

#include <cstdint>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel::capture {

inline constexpr double kMinimumSourceRate = 8'000;
inline constexpr double kMaximumSourceRate = 192'000;

// Returns when the format is accepted, or fails the recording.
void validateFormat(const AudioStreamBasicDescription& format);

// The value of the sample that starts at `at`, in the accepted format `format`.
// Integers scale so that the most negative decodes to exactly -1.0.
double sample(const std::uint8_t* at, const AudioStreamBasicDescription& format);

// Bytes of one sample of one channel.
inline std::uint32_t bytesPerSample(const AudioStreamBasicDescription& format) {
    return format.mBitsPerChannel / 8;
}

inline bool isNonInterleaved(const AudioStreamBasicDescription& format) {
    return (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0;
}

}  // namespace quorvantel::capture
