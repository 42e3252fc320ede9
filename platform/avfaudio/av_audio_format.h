// Linear PCM audio formats, after AVFAudio's AVAudioFormat: sample type, sample
// rate, channel count and layout (interleaved or one buffer per channel).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel {

using AVAudioChannelCount = std::uint32_t;
using AVAudioFrameCount = std::uint32_t;
using AVAudioPacketCount = std::uint32_t;
using AVAudioFramePosition = std::int64_t;

enum class AVAudioCommonFormat {
    otherFormat = 0,
    pcmFormatFloat32 = 1,
    pcmFormatFloat64 = 2,
    pcmFormatInt16 = 3,
    pcmFormatInt32 = 4,
};

// A failure of the audio framework, carrying the framework's own description.
class AVAudioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AVAudioFormat {
public:
    // Formats beyond these are not linear PCM anyone here can describe; a buffer of
    // one channel per sample buffer must fit one Core Audio buffer list.
    static constexpr AVAudioChannelCount kMaximumChannelCount = kAudioBufferListCapacity;
    static constexpr double kMaximumSampleRate = 768'000.0;

    // initWithCommonFormat:sampleRate:channels:interleaved:. Nothing for a format
    // that cannot be made: another sample type, a rate that is not a positive finite
    // number up to kMaximumSampleRate, or a channel count outside 1 to
    // kMaximumChannelCount.
    static std::optional<AVAudioFormat> make(AVAudioCommonFormat commonFormat, double sampleRate,
                                             AVAudioChannelCount channels, bool interleaved) {
        if (commonFormat == AVAudioCommonFormat::otherFormat) return std::nullopt;
        if (!(sampleRate > 0.0 && sampleRate <= kMaximumSampleRate)) return std::nullopt;
        if (channels < 1 || channels > kMaximumChannelCount) return std::nullopt;
        return AVAudioFormat(commonFormat, sampleRate, channels, interleaved);
    }

    AVAudioCommonFormat commonFormat() const { return commonFormat_; }
    double sampleRate() const { return sampleRate_; }
    AVAudioChannelCount channelCount() const { return channelCount_; }
    // One channel is always interleaved, as in AVFAudio: its single buffer holds
    // every sample either way.
    bool isInterleaved() const { return interleaved_ || channelCount_ == 1; }

    std::uint32_t bytesPerSample() const {
        switch (commonFormat_) {
            case AVAudioCommonFormat::pcmFormatInt16: return 2;
            case AVAudioCommonFormat::pcmFormatFloat32:
            case AVAudioCommonFormat::pcmFormatInt32: return 4;
            case AVAudioCommonFormat::pcmFormatFloat64: return 8;
            case AVAudioCommonFormat::otherFormat: break;
        }
        return 0;
    }
    // Number of separate sample buffers a buffer of this format has.
    std::uint32_t bufferCount() const { return isInterleaved() ? 1 : channelCount_; }
    // Channels held in each of those buffers.
    std::uint32_t channelsPerBuffer() const { return isInterleaved() ? channelCount_ : 1; }
    // Bytes one frame takes in each of those buffers.
    std::uint32_t bytesPerFrame() const { return bytesPerSample() * channelsPerBuffer(); }

    bool operator==(const AVAudioFormat& other) const {
        return commonFormat_ == other.commonFormat_ && sampleRate_ == other.sampleRate_ &&
               channelCount_ == other.channelCount_ && isInterleaved() == other.isInterleaved();
    }

private:
    AVAudioFormat(AVAudioCommonFormat commonFormat, double sampleRate, AVAudioChannelCount channels,
                  bool interleaved)
        : commonFormat_(commonFormat), sampleRate_(sampleRate), channelCount_(channels),
          interleaved_(interleaved) {}

    AVAudioCommonFormat commonFormat_;
    double sampleRate_;
    AVAudioChannelCount channelCount_;
    bool interleaved_;
};

}  // namespace quorvantel
