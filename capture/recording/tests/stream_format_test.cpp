#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "capture/recording/stream_format.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

using testing::failureOf;
using testing::pcmFormat;
using testing::SampleType;

constexpr const char* kUnsupported =
    "The selected application's audio has an unsupported PCM format. Capture was not started.";

TEST(ValidateFormat, AcceptsEveryLinearPcmLayoutTheTapNegotiates) {
    for (const SampleType type :
         {SampleType::float32, SampleType::float64, SampleType::int16, SampleType::int24, SampleType::int32}) {
        for (const bool interleaved : {true, false}) {
            for (const std::uint32_t channels : {1u, 2u}) {
                for (const double rate : {8'000.0, 44'100.0, 48'000.0, 192'000.0}) {
                    SCOPED_TRACE(::testing::Message() << int(type) << " " << interleaved << " " << channels << " "
                                                      << rate);
                    EXPECT_EQ(failureOf([&] { validateFormat(pcmFormat(type, rate, channels, interleaved)); }),
                              std::nullopt);
                }
            }
        }
    }
}

TEST(ValidateFormat, RejectsEachBrokenRule) {
    using Change = std::function<void(AudioStreamBasicDescription&)>;
    const std::vector<std::pair<const char*, Change>> cases = {
        {"not linear PCM", [](auto& f) { f.mFormatID = fourCharCode("aac "); }},
        {"no channels", [](auto& f) { f.mChannelsPerFrame = 0; }},
        {"three channels", [](auto& f) { f.mChannelsPerFrame = 3; f.mBytesPerFrame = 12; }},
        {"rate below 8 kHz", [](auto& f) { f.mSampleRate = 7'999.0; }},
        {"rate above 192 kHz", [](auto& f) { f.mSampleRate = 192'001.0; }},
        {"rate not a number", [](auto& f) { f.mSampleRate = std::numeric_limits<double>::quiet_NaN(); }},
        {"rate infinite", [](auto& f) { f.mSampleRate = std::numeric_limits<double>::infinity(); }},
        {"not packed", [](auto& f) { f.mFormatFlags &= ~kAudioFormatFlagIsPacked; }},
        {"big-endian", [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsBigEndian; }},
        {"aligned high", [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsAlignedHigh; }},
        {"16-bit float", [](auto& f) { f.mBitsPerChannel = 16; f.mBytesPerFrame = 4; }},
        {"unsigned integer", [](auto& f) { f.mFormatFlags = kAudioFormatFlagIsPacked; f.mBitsPerChannel = 16; f.mBytesPerFrame = 4; }},
        {"8-bit integer", [](auto& f) { f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked; f.mBitsPerChannel = 8; f.mBytesPerFrame = 2; }},
        {"bytes per frame off", [](auto& f) { f.mBytesPerFrame = 4; }},
        {"planar bytes per frame of both channels", [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsNonInterleaved; }},
        {"two frames per packet", [](auto& f) { f.mFramesPerPacket = 2; }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        AudioStreamBasicDescription format = pcmFormat(SampleType::float32);
        change(format);
        EXPECT_EQ(failureOf([&] { validateFormat(format); }), kUnsupported);
    }
}

TEST(Sample, DecodesEachTypeLittleEndian) {
    struct Case {
        const char* name;
        SampleType type;
        std::vector<std::uint8_t> bytes;
        double expected;
    };
    const auto floatBytes = [](float v) {
        std::vector<std::uint8_t> b(4);
        std::memcpy(b.data(), &v, 4);
        return b;
    };
    const auto doubleBytes = [](double v) {
        std::vector<std::uint8_t> b(8);
        std::memcpy(b.data(), &v, 8);
        return b;
    };
    const std::vector<Case> cases = {
        {"int24 most negative", SampleType::int24, {0x00, 0x00, 0x80}, -1.0},
        {"int24 most positive", SampleType::int24, {0xFF, 0xFF, 0x7F}, 8'388'607.0 / 8'388'608.0},
        {"int24 minus one step", SampleType::int24, {0xFF, 0xFF, 0xFF}, -1.0 / 8'388'608.0},
        {"int24 positive low byte", SampleType::int24, {0x01, 0x00, 0x00}, 1.0 / 8'388'608.0},
        {"int16 most negative", SampleType::int16, {0x00, 0x80}, -1.0},
        {"int16 most positive", SampleType::int16, {0xFF, 0x7F}, 32'767.0 / 32'768.0},
        {"int16 half", SampleType::int16, {0x00, 0x40}, 0.5},
        {"int32 most negative", SampleType::int32, {0x00, 0x00, 0x00, 0x80}, -1.0},
        {"int32 most positive", SampleType::int32, {0xFF, 0xFF, 0xFF, 0x7F}, 2'147'483'647.0 / 2'147'483'648.0},
        {"float32", SampleType::float32, floatBytes(-0.375f), -0.375},
        {"float32 beyond full scale", SampleType::float32, floatBytes(1.5f), 1.5},
        {"float64", SampleType::float64, doubleBytes(-0.75), -0.75},
        {"float64 fine value", SampleType::float64, doubleBytes(0.1234567890123), 0.1234567890123},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sample(c.bytes.data(), pcmFormat(c.type)), c.expected);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(sample(floatBytes(nan).data(), pcmFormat(SampleType::float32))));
}

}  // namespace
}  // namespace quorvantel::capture
