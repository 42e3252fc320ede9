#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

#include "capture/recording/pcm16.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

using testing::failureOf;
using testing::floatPacket;
using testing::pcmFormat;
using testing::SampleType;

std::unique_ptr<Packet> planar(const std::vector<float>& left, const std::vector<float>& right) {
    auto p = std::make_unique<Packet>();
    std::memcpy(p->data, left.data(), left.size() * 4);
    std::memcpy(p->data + left.size() * 4, right.data(), right.size() * 4);
    p->bufferCount = 2;
    p->offsets[0] = 0;
    p->offsets[1] = std::uint32_t(left.size() * 4);
    p->channels[0] = p->channels[1] = 1;
    p->frames = std::uint32_t(left.size());
    return p;
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    return std::vector<std::uint8_t>(values.begin(), values.end());
}

TEST(Pcm16, PlanarAndInterleavedChunksGiveTheSameInterleavedBytes) {
    const auto planarChunk = planar({-1.0f, 0.5f}, {1.0f, -0.5f});
    const AudioStreamBasicDescription planarFormat = pcmFormat(SampleType::float32, 48'000, 2, false);
    auto interleavedChunk = std::make_unique<Packet>(floatPacket({-1.0f, 1.0f, 0.5f, -0.5f}, kCMTimeZero, kCMTimeZero));
    const AudioStreamBasicDescription interleavedFormat = pcmFormat(SampleType::float32);
    for (const auto& [chunk, format] : {std::pair{planarChunk.get(), planarFormat},
                                        std::pair{interleavedChunk.get(), interleavedFormat}}) {
        const Pcm16 whole = pcm16(*chunk, format, 0);
        EXPECT_EQ(whole.bytes, bytes({0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40, 0x00, 0xC0}));
        EXPECT_EQ(whole.peak, 1.0);
        // The trimmed frame neither appears nor raises the peak.
        const Pcm16 trimmed = pcm16(*chunk, format, 1);
        EXPECT_EQ(trimmed.bytes, bytes({0x00, 0x40, 0x00, 0xC0}));
        EXPECT_EQ(trimmed.peak, 0.5);
        const Pcm16 none = pcm16(*chunk, format, 2);
        EXPECT_TRUE(none.bytes.empty());
        EXPECT_EQ(none.peak, 0.0);
        EXPECT_EQ(failureOf([&] { pcm16(*chunk, format, 3); }), "Invalid pre-start audio trim.");
    }
}

TEST(Pcm16, RoundsTiesToEvenAndClampsBeforeThePeak) {
    struct Case {
        float value;
        std::int16_t expected;
        double peak;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Case> cases = {
        {0.5f / 32'768.0f, 0, 0.5 / 32'768.0},      // half a step rounds to even 0
        {1.5f / 32'768.0f, 2, 1.5 / 32'768.0},      // one and a half rounds to even 2
        {-2.5f / 32'768.0f, -2, 2.5 / 32'768.0},
        {0.5f, 16'384, 0.5},
        {1.0f, 32'767, 1.0},
        {-1.0f, -32'768, 1.0},
        {3.0f, 32'767, 1.0},
        {-7.0f, -32'768, 1.0},
        {nan, 0, 0.0},
        {std::numeric_limits<float>::infinity(), 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto chunk = std::make_unique<Packet>(floatPacket({c.value, 0.0f}, kCMTimeZero, kCMTimeZero));
        const Pcm16 pcm = pcm16(*chunk, pcmFormat(SampleType::float32), 0);
        ASSERT_EQ(pcm.bytes.size(), 4u);
        std::int16_t left;
        std::memcpy(&left, pcm.bytes.data(), 2);
        EXPECT_EQ(left, c.expected);
        EXPECT_EQ(pcm.peak, c.peak);
    }
}

TEST(Pcm16, DecodesIntegerChunksThroughTheSameSampleReading) {
    auto chunk = std::make_unique<Packet>();
    const std::uint8_t int24[] = {0x00, 0x00, 0x80, 0x00, 0x00, 0x40};  // -1.0, 0.5
    std::memcpy(chunk->data, int24, sizeof int24);
    chunk->bufferCount = 1;
    chunk->offsets[0] = 0;
    chunk->channels[0] = 2;
    chunk->frames = 1;
    const Pcm16 pcm = pcm16(*chunk, pcmFormat(SampleType::int24), 0);
    EXPECT_EQ(pcm.bytes, bytes({0x00, 0x80, 0x00, 0x40}));
    EXPECT_EQ(pcm.peak, 1.0);
}

TEST(Pcm16, RefusesAChunkWhoseBuffersDoNotMakeTheFormatsChannels) {
    auto chunk = std::make_unique<Packet>(floatPacket({0.1f, 0.2f}, kCMTimeZero, kCMTimeZero));
    chunk->channels[0] = 1;
    EXPECT_EQ(failureOf([&] { pcm16(*chunk, pcmFormat(SampleType::float32), 0); }),
              "macOS returned an invalid computer audio channel layout.");
    chunk->channels[0] = 2;
    chunk->offsets[0] = kPacketBytes - 4;
    EXPECT_EQ(failureOf([&] { pcm16(*chunk, pcmFormat(SampleType::float32), 0); }),
              "macOS returned an invalid computer audio channel layout.");
}

}  // namespace
}  // namespace quorvantel::capture
