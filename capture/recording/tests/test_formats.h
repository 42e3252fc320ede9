// Stream formats and packets the recording tests build.
#pragma once

#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/recording/recording_failure.h"
#include "capture/recording/ring.h"
#include "platform/coreaudio/audio_types.h"

namespace quorvantel::capture::testing {

enum class SampleType { float32, float64, int16, int24, int32 };

inline AudioStreamBasicDescription pcmFormat(SampleType type, double rate = 48'000, std::uint32_t channels = 2,
                                             bool interleaved = true) {
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    const bool isFloat = type == SampleType::float32 || type == SampleType::float64;
    f.mFormatFlags = (isFloat ? kAudioFormatFlagIsFloat : kAudioFormatFlagIsSignedInteger) | kAudioFormatFlagIsPacked;
    if (!interleaved) f.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    switch (type) {
        case SampleType::float32: f.mBitsPerChannel = 32; break;
        case SampleType::float64: f.mBitsPerChannel = 64; break;
        case SampleType::int16: f.mBitsPerChannel = 16; break;
        case SampleType::int24: f.mBitsPerChannel = 24; break;
        case SampleType::int32: f.mBitsPerChannel = 32; break;
    }
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = channels;
    f.mBytesPerFrame = f.mBytesPerPacket = (interleaved ? channels : 1) * f.mBitsPerChannel / 8;
    return f;
}

// A packet of interleaved 32-bit float stereo frames, given as left/right pairs.
inline Packet floatPacket(const std::vector<float>& interleaved, CMTime source, CMTime receipt) {
    Packet p;
    if (interleaved.size() * sizeof(float) > kPacketBytes) throw std::length_error("packet too large for a slot");
    std::memcpy(p.data, interleaved.data(), interleaved.size() * sizeof(float));
    p.offsets[0] = p.offsets[1] = 0;
    p.channels[0] = 2;
    p.channels[1] = 0;
    p.bufferCount = 1;
    p.frames = std::uint32_t(interleaved.size() / 2);
    p.sourceTime = source;
    p.receiptTime = receipt;
    return p;
}

// The message of the recording failure `action` raises, or nothing.
inline std::optional<std::string> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RecordingFailure& failure) {
        return std::string(failure.what());
    }
    return std::nullopt;
}

}  // namespace quorvantel::capture::testing
