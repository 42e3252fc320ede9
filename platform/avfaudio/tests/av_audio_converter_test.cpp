#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/avfaudio/av_audio_converter.h"

namespace quorvantel {
namespace {

AVAudioFormat int16Format(double rate, AVAudioChannelCount channels) {
    return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, rate, channels, true);
}

AVAudioFormat floatFormat(double rate, AVAudioChannelCount channels, bool interleaved = false) {
    return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, rate, channels, interleaved);
}

// An interleaved 16-bit buffer holding `samples` (frames × channels).
std::shared_ptr<AVAudioPCMBuffer> int16Buffer(const AVAudioFormat& format, const std::vector<std::int16_t>& samples) {
    const auto frames = static_cast<AVAudioFrameCount>(samples.size() / format.channelCount());
    auto buffer = AVAudioPCMBuffer::make(format, frames);
    buffer->setFrameLength(frames);
    std::memcpy(buffer->mutableAudioBufferList()->mBuffers[0].mData, samples.data(), samples.size() * 2);
    return buffer;
}

// Everything a converter delivers, per output channel, fed the input in chunks the
// way a stream is: each chunk handed over once, then output pulled until the input
// runs dry; finally the end of the stream and the held-back frames.
struct Converted {
    std::vector<std::vector<float>> channels;
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

void collect(const AVAudioPCMBuffer& buffer, Converted& out) {
    const AVAudioFormat& format = buffer.format();
    out.channels.resize(format.channelCount());
    for (AVAudioChannelCount c = 0; c < format.channelCount(); ++c) {
        for (AVAudioFrameCount f = 0; f < buffer.frameLength(); ++f) {
            out.channels[c].push_back(format.isInterleaved()
                                          ? buffer.floatChannelData()[0][f * format.channelCount() + c]
                                          : buffer.floatChannelData()[c][f]);
        }
    }
}

AVAudioConverterOutputStatus drain(AVAudioConverter& converter, std::shared_ptr<AVAudioPCMBuffer> input, bool end,
                                   Converted& out, AVAudioFrameCount outputCapacity = 8192) {
    AVAudioConverterOutputStatus status = AVAudioConverterOutputStatus::haveData;
    for (int call = 0; call < 1000 && status == AVAudioConverterOutputStatus::haveData; ++call) {
        auto output = AVAudioPCMBuffer::make(converter.outputFormat(), outputCapacity);
        status = converter.convertToBuffer(*output, [&](AVAudioPacketCount, AVAudioConverterInputStatus& s) {
            if (input) {
                s = AVAudioConverterInputStatus::haveData;
                return std::exchange(input, nullptr);
            }
            s = end ? AVAudioConverterInputStatus::endOfStream : AVAudioConverterInputStatus::noDataNow;
            return std::shared_ptr<AVAudioPCMBuffer>();
        });
        collect(*output, out);
    }
    return status;
}

Converted convertStream(const AVAudioFormat& from, const AVAudioFormat& to, const std::vector<std::int16_t>& samples,
                        std::size_t chunkFrames) {
    auto converter = AVAudioConverter::make(from, to);
    EXPECT_NE(converter, nullptr);
    converter->setPrimeMethod(AVAudioConverterPrimeMethod::none);
    Converted out;
    const std::size_t channels = from.channelCount();
    const std::size_t frames = samples.size() / channels;
    for (std::size_t at = 0; at < frames; at += chunkFrames) {
        const std::size_t n = std::min(chunkFrames, frames - at);
        std::vector<std::int16_t> chunk(samples.begin() + at * channels, samples.begin() + (at + n) * channels);
        EXPECT_EQ(drain(*converter, int16Buffer(from, chunk), false, out),
                  AVAudioConverterOutputStatus::inputRanDry);
    }
    EXPECT_EQ(drain(*converter, nullptr, true, out), AVAudioConverterOutputStatus::endOfStream);
    return out;
}

std::int64_t roundedLength(std::size_t frames, double from, double to) {
    return std::llround(double(frames) * to / from);
}

struct StreamCase {
    double inRate;
    AVAudioChannelCount inChannels;
    double outRate;
    AVAudioChannelCount outChannels;
    std::size_t frames;
    std::size_t chunk;
};

std::string caseName(const testing::TestParamInfo<StreamCase>& info) {
    const StreamCase& c = info.param;
    return std::to_string(int(c.inRate)) + "Hz" + std::to_string(c.inChannels) + "ch_to_" +
           std::to_string(int(c.outRate)) + "Hz" + std::to_string(c.outChannels) + "ch_" +
           std::to_string(c.frames) + "frames_by_" + std::to_string(c.chunk);
}

class AVAudioConverterStreamTest : public testing::TestWithParam<StreamCase> {};

// Whatever the rates, channels and packet sizes, the whole stream comes out at its
// exact converted length, and an impulse comes out where its time says it should:
// no priming frames, no leading latency.
TEST_P(AVAudioConverterStreamTest, DeliversExactLengthAlignedWithTheInput) {
    const StreamCase c = GetParam();
    const AVAudioFormat from = int16Format(c.inRate, c.inChannels);
    const AVAudioFormat to = floatFormat(c.outRate, c.outChannels);
    std::vector<std::int16_t> samples(c.frames * c.inChannels, 0);
    const std::size_t impulseFrame = c.frames / 2;
    for (AVAudioChannelCount ch = 0; ch < c.inChannels; ++ch) samples[impulseFrame * c.inChannels + ch] = 16384;

    const Converted out = convertStream(from, to, samples, c.chunk);
    ASSERT_EQ(std::int64_t(out.frames()), roundedLength(c.frames, c.inRate, c.outRate));
    ASSERT_EQ(out.channels.size(), c.outChannels);

    std::size_t peak = 0;
    for (std::size_t f = 0; f < out.frames(); ++f) {
        ASSERT_TRUE(std::isfinite(out.channels[0][f]));
        if (std::fabs(out.channels[0][f]) > std::fabs(out.channels[0][peak])) peak = f;
    }
    const double expectedPeak = double(impulseFrame) * c.outRate / c.inRate;
    EXPECT_LE(std::fabs(double(peak) - expectedPeak), 1.0) << "peak at " << peak;
    for (AVAudioChannelCount ch = 1; ch < c.outChannels; ++ch) EXPECT_EQ(out.channels[ch], out.channels[0]);
}

INSTANTIATE_TEST_SUITE_P(
    RatesChannelsAndPackets, AVAudioConverterStreamTest,
    testing::Values(StreamCase{48000, 1, 16000, 1, 48000, 4800}, StreamCase{48000, 2, 16000, 1, 48000, 4800},
                    StreamCase{16000, 1, 16000, 1, 16000, 1600}, StreamCase{16000, 2, 16000, 1, 16000, 1600},
                    StreamCase{16000, 1, 48000, 1, 16000, 1600}, StreamCase{16000, 1, 48000, 2, 16000, 1600},
                    StreamCase{48000, 2, 48000, 2, 96000, 48000}, StreamCase{48000, 1, 16000, 1, 4801 * 20, 4801},
                    StreamCase{48000, 1, 16000, 1, 97 * 100, 97}, StreamCase{48000, 1, 16000, 1, 2, 2},
                    StreamCase{16000, 1, 24000, 1, 3, 3}, StreamCase{16000, 1, 44100, 1, 16000, 1000},
                    StreamCase{48000, 2, 16000, 1, 96000, 96000}),
    caseName);

TEST(AVAudioConverterTest, ExactLengthForEveryShortStream) {
    // Short streams are where a resampler's rounding of the tail shows.
    const AVAudioFormat to = floatFormat(16000, 1);
    for (const double rate : {48000.0, 16000.0, 44100.0}) {
        for (std::size_t frames = 1; frames <= 40; ++frames) {
            const Converted out = convertStream(int16Format(rate, 1), to, std::vector<std::int16_t>(frames, 1000), 7);
            EXPECT_EQ(std::int64_t(out.frames()), roundedLength(frames, rate, 16000)) << rate << " " << frames;
        }
    }
}

TEST(AVAudioConverterTest, SilenceStaysExactlySilent) {
    const Converted out = convertStream(int16Format(48000, 2), floatFormat(16000, 1),
                                        std::vector<std::int16_t>(48000 * 2, 0), 4800);
    ASSERT_EQ(out.frames(), 16000u);
    for (float sample : out.channels[0]) ASSERT_EQ(sample, 0.0f);
}

TEST(AVAudioConverterTest, MixesStereoDownToTheMeanOfItsChannels) {
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 1600; ++f) {
        samples.push_back(16384);  // 0.5
        samples.push_back(8192);   // 0.25
    }
    // Same rate: exact arithmetic.
    const Converted same = convertStream(int16Format(16000, 2), floatFormat(16000, 1), samples, 1600);
    ASSERT_EQ(same.frames(), 1600u);
    for (float sample : same.channels[0]) ASSERT_EQ(sample, 0.375f);
    // Resampled: away from the edges the constant level survives.
    std::vector<std::int16_t> longer;
    for (int f = 0; f < 48000; ++f) {
        longer.push_back(16384);
        longer.push_back(-8192);
    }
    const Converted resampled = convertStream(int16Format(48000, 2), floatFormat(16000, 1), longer, 4800);
    ASSERT_EQ(resampled.frames(), 16000u);
    EXPECT_NEAR(resampled.channels[0][8000], 0.125f, 1e-3);
}

TEST(AVAudioConverterTest, WritesInterleavedFloatOutput) {
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 100; ++f) samples.push_back(std::int16_t(f * 100));
    const Converted out = convertStream(int16Format(16000, 1), floatFormat(16000, 2, true), samples, 100);
    ASSERT_EQ(out.frames(), 100u);
    for (int f = 0; f < 100; ++f) {
        EXPECT_EQ(out.channels[0][f], float(f * 100) / 32768.0f);
        EXPECT_EQ(out.channels[1][f], out.channels[0][f]);
    }
}

TEST(AVAudioConverterTest, FillsOutputBuffersAndReportsHaveDataUntilInputRunsDry) {
    auto converter = AVAudioConverter::make(int16Format(48000, 1), floatFormat(48000, 1));
    ASSERT_NE(converter, nullptr);
    auto input = int16Buffer(int16Format(48000, 1), std::vector<std::int16_t>(10000, 5));
    int inputCalls = 0;
    auto block = [&](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
        ++inputCalls;
        status = input ? AVAudioConverterInputStatus::haveData : AVAudioConverterInputStatus::noDataNow;
        return std::exchange(input, nullptr);
    };
    auto output = AVAudioPCMBuffer::make(converter->outputFormat(), 4096);
    EXPECT_EQ(converter->convertToBuffer(*output, block), AVAudioConverterOutputStatus::haveData);
    EXPECT_EQ(output->frameLength(), 4096u);
    EXPECT_EQ(converter->convertToBuffer(*output, block), AVAudioConverterOutputStatus::haveData);
    EXPECT_EQ(output->frameLength(), 4096u);
    EXPECT_EQ(converter->convertToBuffer(*output, block), AVAudioConverterOutputStatus::inputRanDry);
    EXPECT_EQ(output->frameLength(), 10000u - 8192u);
    // The buffer was asked for once; the later calls consumed what it had left.
    EXPECT_EQ(inputCalls, 2);
}

TEST(AVAudioConverterTest, HoldsFramesBackUntilTheEndOfTheStreamAndThenStaysEnded) {
    auto converter = AVAudioConverter::make(int16Format(48000, 1), floatFormat(16000, 1));
    ASSERT_NE(converter, nullptr);
    Converted out;
    EXPECT_EQ(drain(*converter, int16Buffer(int16Format(48000, 1), std::vector<std::int16_t>(4800, 100)), false, out),
              AVAudioConverterOutputStatus::inputRanDry);
    const std::size_t beforeEnd = out.frames();
    EXPECT_LT(beforeEnd, 1600u);  // the resampler's latency is held back
    EXPECT_EQ(drain(*converter, nullptr, true, out), AVAudioConverterOutputStatus::endOfStream);
    EXPECT_EQ(out.frames(), 1600u);

    bool asked = false;
    auto output = AVAudioPCMBuffer::make(converter->outputFormat(), 8192);
    EXPECT_EQ(converter->convertToBuffer(*output,
                                         [&](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
                                             asked = true;
                                             status = AVAudioConverterInputStatus::haveData;
                                             return int16Buffer(int16Format(48000, 1), {1, 2, 3});
                                         }),
              AVAudioConverterOutputStatus::endOfStream);
    EXPECT_EQ(output->frameLength(), 0u);
    EXPECT_FALSE(asked);

    // After a reset the converter takes a new stream.
    converter->reset();
    Converted again;
    drain(*converter, int16Buffer(int16Format(48000, 1), std::vector<std::int16_t>(480, 100)), true, again);
    EXPECT_EQ(again.frames(), 160u);
}

TEST(AVAudioConverterTest, AnEmptyInputBufferEndsTheCallAsRanDry) {
    auto converter = AVAudioConverter::make(int16Format(16000, 1), floatFormat(16000, 1));
    auto empty = AVAudioPCMBuffer::make(int16Format(16000, 1), 10);
    int calls = 0;
    auto output = AVAudioPCMBuffer::make(converter->outputFormat(), 100);
    EXPECT_EQ(converter->convertToBuffer(*output,
                                         [&](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
                                             ++calls;
                                             status = AVAudioConverterInputStatus::haveData;
                                             return empty;
                                         }),
              AVAudioConverterOutputStatus::inputRanDry);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(output->frameLength(), 0u);
}

TEST(AVAudioConverterTest, RaisesForBuffersOfAnotherFormat) {
    auto converter = AVAudioConverter::make(int16Format(48000, 2), floatFormat(16000, 1));
    ASSERT_NE(converter, nullptr);
    auto wrongOutput = AVAudioPCMBuffer::make(floatFormat(48000, 1), 100);
    auto none = [](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
        status = AVAudioConverterInputStatus::noDataNow;
        return std::shared_ptr<AVAudioPCMBuffer>();
    };
    EXPECT_THROW(converter->convertToBuffer(*wrongOutput, none), AVAudioError);

    auto output = AVAudioPCMBuffer::make(floatFormat(16000, 1), 100);
    EXPECT_THROW(converter->convertToBuffer(*output,
                                            [](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
                                                status = AVAudioConverterInputStatus::haveData;
                                                return int16Buffer(int16Format(48000, 1), {1, 2});
                                            }),
                 AVAudioError);
    EXPECT_THROW(converter->convertToBuffer(*output,
                                            [](AVAudioPacketCount, AVAudioConverterInputStatus& status) {
                                                status = AVAudioConverterInputStatus::haveData;
                                                return std::shared_ptr<AVAudioPCMBuffer>();
                                            }),
                 AVAudioError);
}

TEST(AVAudioConverterTest, CannotBeMadeForUnsupportedMappings) {
    EXPECT_EQ(AVAudioConverter::make(int16Format(48000, 2), floatFormat(16000, 3)), nullptr);
    EXPECT_EQ(AVAudioConverter::make(int16Format(48000, 2), int16Format(16000, 2)), nullptr);
    EXPECT_NE(AVAudioConverter::make(int16Format(48000, 3), floatFormat(16000, 1)), nullptr);
    EXPECT_NE(AVAudioConverter::make(floatFormat(48000, 2), floatFormat(16000, 2)), nullptr);
}

TEST(AVAudioConverterTest, KeepsThePrimeMethodAsSet) {
    auto converter = AVAudioConverter::make(int16Format(48000, 1), floatFormat(16000, 1));
    converter->setPrimeMethod(AVAudioConverterPrimeMethod::none);
    EXPECT_EQ(converter->primeMethod(), AVAudioConverterPrimeMethod::none);
    EXPECT_EQ(converter->inputFormat(), int16Format(48000, 1));
    EXPECT_EQ(converter->outputFormat(), floatFormat(16000, 1));
}

}  // namespace
}  // namespace quorvantel
