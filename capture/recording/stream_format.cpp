#include "capture/recording/stream_format.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {
namespace {

constexpr const char* kUnsupportedFormat =
    "The selected application's audio has an unsupported PCM format. Capture was not started.";

std::uint32_t littleEndian32(const std::uint8_t* at) {
    return std::uint32_t(at[0]) | (std::uint32_t(at[1]) << 8) | (std::uint32_t(at[2]) << 16) |
           (std::uint32_t(at[3]) << 24);
}

}  // namespace

void validateFormat(const AudioStreamBasicDescription& f) {
    const bool isFloat = (f.mFormatFlags & kAudioFormatFlagIsFloat) != 0;
    const bool isSigned = (f.mFormatFlags & kAudioFormatFlagIsSignedInteger) != 0;
    const bool accepted =
        f.mFormatID == kAudioFormatLinearPCM && (f.mChannelsPerFrame == 1 || f.mChannelsPerFrame == 2) &&
        std::isfinite(f.mSampleRate) && f.mSampleRate >= kMinimumSourceRate && f.mSampleRate <= kMaximumSourceRate &&
        (f.mFormatFlags & kAudioFormatFlagIsPacked) != 0 && (f.mFormatFlags & kAudioFormatFlagIsBigEndian) == 0 &&
        (f.mFormatFlags & kAudioFormatFlagIsAlignedHigh) == 0 &&
        (isFloat ? (f.mBitsPerChannel == 32 || f.mBitsPerChannel == 64)
                 : (isSigned && (f.mBitsPerChannel == 16 || f.mBitsPerChannel == 24 || f.mBitsPerChannel == 32))) &&
        f.mBytesPerFrame == (isNonInterleaved(f) ? 1 : f.mChannelsPerFrame) * f.mBitsPerChannel / 8 &&
        f.mFramesPerPacket == 1;
    if (!accepted) failRecording(kUnsupportedFormat);
}

double sample(const std::uint8_t* at, const AudioStreamBasicDescription& format) {
    if ((format.mFormatFlags & kAudioFormatFlagIsFloat) != 0) {
        if (format.mBitsPerChannel == 64) {
            const std::uint64_t bits = std::uint64_t(littleEndian32(at)) | (std::uint64_t(littleEndian32(at + 4)) << 32);
            return std::bit_cast<double>(bits);
        }
        return double(std::bit_cast<float>(littleEndian32(at)));
    }
    switch (format.mBitsPerChannel) {
        case 24: {
            // The third byte carries the sign.
            std::int32_t v = std::int32_t(at[0]) | (std::int32_t(at[1]) << 8) | (std::int32_t(std::int8_t(at[2])) << 16);
            return double(v) * (1.0 / 8388608.0);
        }
        case 16: {
            const auto v = std::int16_t(std::uint16_t(at[0]) | (std::uint16_t(at[1]) << 8));
            return double(v) * (1.0 / 32768.0);
        }
        default: return double(std::int32_t(littleEndian32(at))) * (1.0 / 2147483648.0);
    }
}

}  // namespace quorvantel::capture
