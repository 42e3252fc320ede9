#include "capture/recording/pcm16.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/recording/recording_failure.h"
#include "capture/recording/stream_format.h"

namespace quorvantel::capture {
namespace {

// v × 32,768 rounded to the nearest integer, ties to even, limited to 16 bits, for v
// in -1 … 1. Adding and removing 1.5 × 2^52 rounds a double of this size to an
// integer in the default rounding mode, ties to even, without a library call.
double toPcm16(double v) {
    constexpr double kRoundingShift = 6'755'399'441'055'744.0;
    const double rounded = (v * 32'768.0 + kRoundingShift) - kRoundingShift;
    return std::min(rounded, 32'767.0);
}

bool isFloat32(const AudioStreamBasicDescription& format) {
    return (format.mFormatFlags & kAudioFormatFlagIsFloat) != 0 && format.mBitsPerChannel == 32;
}

}  // namespace

Pcm16 pcm16(const Packet& chunk, const AudioStreamBasicDescription& format, std::uint32_t firstFrame) {
    if (firstFrame > chunk.frames) failRecording("Invalid pre-start audio trim.");
    const std::uint32_t channels = format.mChannelsPerFrame;
    const std::uint32_t bytes = bytesPerSample(format);
    // Every buffer must lie inside the chunk and the buffers' channels must make up
    // the format's, so that no sample is read or stored out of place.
    std::uint32_t total = 0;
    bool inside = chunk.bufferCount >= 1 && chunk.bufferCount <= kMaximumPacketBuffers;
    for (std::uint32_t b = 0; inside && b < chunk.bufferCount; ++b) {
        total += chunk.channels[b];
        inside = std::uint64_t(chunk.offsets[b]) + std::uint64_t(chunk.frames) * chunk.channels[b] * bytes <=
                 kPacketBytes;
    }
    if (!inside || total != channels) failRecording("macOS returned an invalid computer audio channel layout.");

    Pcm16 result;
    result.bytes.assign(std::size_t(chunk.frames - firstFrame) * channels * 2, 0);
    const auto store = [&](double v, std::size_t at) {
        if (!std::isfinite(v)) v = 0;
        v = std::clamp(v, -1.0, 1.0);
        result.peak = std::max(result.peak, std::fabs(v));
        const auto s = std::uint16_t(std::int16_t(toPcm16(v)));
        result.bytes[at] = std::uint8_t(s & 0xFF);
        result.bytes[at + 1] = std::uint8_t(s >> 8);
    };
    // Converted chunks are always one buffer of interleaved 32-bit floats: read them
    // straight, as the general path below would.
    // In single precision: clamping, the absolute value, scaling by 2^15 and
    // rounding a value this small to an integer are all exact, so the result is
    // the general path's.
    if (chunk.bufferCount == 1 && isFloat32(format)) {
        const std::uint8_t* base = chunk.data + chunk.offsets[0] + std::size_t(firstFrame) * channels * 4;
        const std::size_t count = std::size_t(chunk.frames - firstFrame) * channels;
        std::uint8_t* out = result.bytes.data();
        constexpr float kRoundingShift = 12'582'912.0f;  // 1.5 × 2^23
        float peak = 0;
        for (std::size_t i = 0; i < count; ++i) {
            float f;
            std::memcpy(&f, base + i * 4, 4);
            f = std::isfinite(f) ? std::min(std::max(f, -1.0f), 1.0f) : 0.0f;
            peak = std::max(peak, std::fabs(f));
            const float rounded = std::min((f * 32'768.0f + kRoundingShift) - kRoundingShift, 32'767.0f);
            const auto s = std::uint16_t(std::int16_t(rounded));
            out[i * 2] = std::uint8_t(s & 0xFF);
            out[i * 2 + 1] = std::uint8_t(s >> 8);
        }
        result.peak = double(peak);
        return result;
    }
    std::uint32_t k = 0;
    for (std::uint32_t b = 0; b < chunk.bufferCount; ++b) {
        const std::uint32_t c = chunk.channels[b];
        const std::uint8_t* base = chunk.data + chunk.offsets[b];
        for (std::uint32_t j = firstFrame; j < chunk.frames; ++j) {
            for (std::uint32_t n = 0; n < c; ++n) {
                store(sample(base + (std::size_t(j) * c + n) * bytes, format),
                      ((std::size_t(j - firstFrame) * channels) + k + n) * 2);
            }
        }
        k += c;
    }
    return result;
}

}  // namespace quorvantel::capture
