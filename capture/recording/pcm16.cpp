#include "capture/recording/pcm16.h"

#include <algorithm>
#include <cmath>

#include "capture/recording/recording_failure.h"
#include "capture/recording/stream_format.h"

namespace quorvantel::capture {

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
    std::uint32_t k = 0;
    for (std::uint32_t b = 0; b < chunk.bufferCount; ++b) {
        const std::uint32_t c = chunk.channels[b];
        const std::uint8_t* base = chunk.data + chunk.offsets[b];
        for (std::uint32_t j = firstFrame; j < chunk.frames; ++j) {
            for (std::uint32_t n = 0; n < c; ++n) {
                double v = sample(base + (std::size_t(j) * c + n) * bytes, format);
                if (!std::isfinite(v)) v = 0;
                v = std::clamp(v, -1.0, 1.0);
                result.peak = std::max(result.peak, std::fabs(v));
                // Ties go to even, and 1.0 lands on the largest positive sample.
                const double scaled = std::clamp(std::nearbyint(v * 32768.0), -32768.0, 32767.0);
                const auto s = std::uint16_t(std::int16_t(scaled));
                const std::size_t at = ((std::size_t(j - firstFrame) * channels) + k + n) * 2;
                result.bytes[at] = std::uint8_t(s & 0xFF);
                result.bytes[at + 1] = std::uint8_t(s >> 8);
            }
        }
        k += c;
    }
    return result;
}

}  // namespace quorvantel::capture
