#include "speech/pcm_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

AVAudioFormat analyzerFormat(double rate = 16000, AVAudioChannelCount channels = 1) {
    return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, rate, channels, false);
}

// A packet of `frames` frames whose every sample is `value` (or, per channel, the
// values given).
AudioPacket packet(Source source, int rate, int channels, double startMs, std::size_t frames,
                   std::vector<std::int16_t> channelValues = {}) {
    AudioPacket p;
    p.source = source;
    p.sampleRate = rate;
    p.channels = channels;
    p.startMs = startMs;
    if (channelValues.empty()) channelValues.assign(std::size_t(channels), 0);
    p.data.resize(frames * std::size_t(channels) * 2);
    for (std::size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            std::memcpy(&p.data[(f * std::size_t(channels) + std::size_t(c)) * 2], &channelValues[std::size_t(c)], 2);
        }
    }
    return p;
}

AudioPacket mic(int rate, int channels, double startMs, std::size_t frames) {
    return packet(Source::microphone, rate, channels, startMs, frames);
}

AudioPacket sys(int rate, int channels, std::int64_t startFrame48k, std::size_t frames) {
    return packet(Source::systemAudio, rate, channels, double(startFrame48k) / 48.0, frames);
}

void append(ConvertedBuffers& to, ConvertedBuffers from) {
    for (auto& item : from) to.push_back(std::move(item));
}

std::int64_t totalFrames(const ConvertedBuffers& buffers) {
    std::int64_t total = 0;
    for (const auto& item : buffers) total += item.buffer->frameLength();
    return total;
}

CMTime endOf(const ConvertedBuffer& item) {
    return CMTimeAdd(item.startTime, CMTimeMake(item.buffer->frameLength(),
                                                CMTimeScale(item.buffer->format().sampleRate())));
}

// Every buffer starts exactly where the one before ended, the first one at `start`.
void expectContiguousFrom(const ConvertedBuffers& buffers, CMTime start) {
    CMTime expected = start;
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        ASSERT_GE(buffers[i].buffer->frameLength(), 1u) << "buffer " << i;
        ASSERT_LE(buffers[i].buffer->frameLength(), kConvertedBufferCapacityFrames) << "buffer " << i;
        ASSERT_EQ(CMTimeCompare(buffers[i].startTime, expected), 0)
            << "buffer " << i << " starts at " << CMTimeGetSeconds(buffers[i].startTime) << " instead of "
            << CMTimeGetSeconds(expected);
        expected = endOf(buffers[i]);
    }
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SpeechFailure& failure) {
        return failure.what();
    }
    return "";
}

struct ContinuousCase {
    const char* name;
    Source source;
    int rate;
    int channels;
    std::size_t packetFrames;
    int packets;
    double outputRate;
};

void PrintTo(const ContinuousCase& c, std::ostream* os) { *os << c.name; }

class ContinuousRunTest : public testing::TestWithParam<ContinuousCase> {};

// Back-to-back packets keep one run: its buffers are contiguous from the first
// packet's time, counted in output frames, and after the flush the run holds
// exactly round(input frames × output rate ÷ input rate) frames of silence.
TEST_P(ContinuousRunTest, KeepsOneRunWithExactTimesAndLength) {
    const ContinuousCase c = GetParam();
    PCMConverter converter(analyzerFormat(c.outputRate));
    const double startMs = 125.0;
    ConvertedBuffers all;
    double at = startMs;
    for (int i = 0; i < c.packets; ++i) {
        append(all, converter.convert(packet(c.source, c.rate, c.channels, at, c.packetFrames)));
        at = startMs + double(c.packetFrames) * (i + 1) / c.rate * 1000.0;
        ASSERT_EQ(converter.originMs(), startMs) << "re-anchored at packet " << i;
        ASSERT_EQ(converter.inputFrames(), std::int64_t(c.packetFrames) * (i + 1));
    }
    append(all, converter.flush());
    EXPECT_FALSE(converter.hasActiveRun());

    const std::int64_t inputFrames = std::int64_t(c.packetFrames) * c.packets;
    EXPECT_EQ(totalFrames(all), std::llround(double(inputFrames) * c.outputRate / c.rate));
    const CMTime anchor = c.source == Source::systemAudio ? CMTimeMake(6000, 48000)
                                                          : CMTimeMakeWithSeconds(0.125, 48000);
    expectContiguousFrom(all, anchor);
    for (const auto& item : all) {
        for (AVAudioFrameCount f = 0; f < item.buffer->frameLength(); ++f) {
            ASSERT_EQ(item.buffer->floatChannelData()[0][f], 0.0f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    PCMConverter, ContinuousRunTest,
    testing::Values(ContinuousCase{"mic16kMono", Source::microphone, 16000, 1, 1600, 10, 16000},
                    ContinuousCase{"mic16kStereo", Source::microphone, 16000, 2, 1600, 10, 16000},
                    ContinuousCase{"mic48kMono", Source::microphone, 48000, 1, 4800, 10, 16000},
                    ContinuousCase{"mic48kStereo", Source::microphone, 48000, 2, 4800, 10, 16000},
                    ContinuousCase{"system48kStereo", Source::systemAudio, 48000, 2, 4800, 10, 16000},
                    ContinuousCase{"system16kMono", Source::systemAudio, 16000, 1, 1600, 10, 16000},
                    ContinuousCase{"mic16kTo48kOutput", Source::microphone, 16000, 1, 1600, 10, 48000},
                    ContinuousCase{"mic48kLargestMonoPacket", Source::microphone, 48000, 1, 96000, 2, 16000},
                    // Frame counts that do not divide into output frames neither drift
                    // nor start new runs: continuity is judged on input time.
                    ContinuousCase{"mic4801Frames", Source::microphone, 48000, 1, 4801, 50, 16000},
                    ContinuousCase{"system4801Frames", Source::systemAudio, 48000, 2, 4801, 50, 16000},
                    ContinuousCase{"mic97Frames", Source::microphone, 48000, 1, 97, 100, 16000},
                    ContinuousCase{"system97Frames", Source::systemAudio, 48000, 1, 97, 100, 16000},
                    ContinuousCase{"mic1024Frames", Source::microphone, 48000, 1, 1024, 100, 16000}),
    [](const testing::TestParamInfo<ContinuousCase>& info) { return std::string(info.param.name); });

struct ContinuationCase {
    const char* name;
    Source source;
    double offsetMs;  // from the expected start of the second packet
    enum { continues, newRun, rejected } outcome;
};

void PrintTo(const ContinuationCase& c, std::ostream* os) { *os << c.name; }

class ContinuationWindowTest : public testing::TestWithParam<ContinuationCase> {};

// A packet within the source's tolerance of the expected time continues the run on
// the run's own clock; later starts a new run at its own time; earlier is rejected.
TEST_P(ContinuationWindowTest, DecidesByTheSourcesTolerance) {
    const ContinuationCase c = GetParam();
    PCMConverter converter(analyzerFormat());
    ConvertedBuffers first = converter.convert(packet(c.source, 48000, 1, 1000.0, 4800));
    const CMTime anchor = converter.originTime();
    ASSERT_EQ(converter.nextInputMs(), 1100.0);
    const double secondStart = 1100.0 + c.offsetMs;
    const AudioPacket second = packet(c.source, 48000, 1, secondStart, 4800);

    if (c.outcome == ContinuationCase::rejected) {
        EXPECT_EQ(failureOf([&] { converter.convert(second); }), kOutOfOrderAudioMessage);
        EXPECT_EQ(converter.nextInputMs(), 1100.0);
        EXPECT_EQ(converter.inputFrames(), 4800);
        EXPECT_TRUE(converter.hasActiveRun());
        return;
    }
    ConvertedBuffers all = std::move(first);
    append(all, converter.convert(second));
    if (c.outcome == ContinuationCase::continues) {
        EXPECT_EQ(CMTimeCompare(converter.originTime(), anchor), 0);
        EXPECT_EQ(converter.inputFrames(), 9600);
        // The run's clock, not the packet's timestamp.
        EXPECT_EQ(converter.nextInputMs(), 1200.0);
        append(all, converter.flush());
        expectContiguousFrom(all, anchor);
        EXPECT_EQ(totalFrames(all), 3200);
    } else {
        EXPECT_EQ(converter.originMs(), secondStart);
        EXPECT_EQ(converter.inputFrames(), 4800);
        const CMTime newAnchor = c.source == Source::systemAudio
                                     ? CMTimeMake(std::llround(secondStart * 48), 48000)
                                     : CMTimeMakeWithSeconds(secondStart / 1000, 48000);
        EXPECT_EQ(CMTimeCompare(converter.originTime(), newAnchor), 0);
        append(all, converter.flush());
        // The first run comes out whole and exact, then the second from its own anchor.
        ConvertedBuffers firstRun, secondRun;
        for (auto& item : all) (item.startTime < newAnchor ? firstRun : secondRun).push_back(item);
        EXPECT_EQ(totalFrames(firstRun), 1600);
        expectContiguousFrom(firstRun, anchor);
        EXPECT_EQ(totalFrames(secondRun), 1600);
        expectContiguousFrom(secondRun, newAnchor);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PCMConverter, ContinuationWindowTest,
    testing::Values(ContinuationCase{"micExact", Source::microphone, 0.0, ContinuationCase::continues},
                    ContinuationCase{"mic1msLate", Source::microphone, 1.0, ContinuationCase::continues},
                    ContinuationCase{"mic1msEarly", Source::microphone, -1.0, ContinuationCase::continues},
                    ContinuationCase{"mic1point09msLate", Source::microphone, 1.09, ContinuationCase::continues},
                    ContinuationCase{"mic1point09msEarly", Source::microphone, -1.09, ContinuationCase::continues},
                    ContinuationCase{"mic1point11msLate", Source::microphone, 1.11, ContinuationCase::newRun},
                    ContinuationCase{"mic2msLate", Source::microphone, 2.0, ContinuationCase::newRun},
                    ContinuationCase{"mic1point11msEarly", Source::microphone, -1.11, ContinuationCase::rejected},
                    ContinuationCase{"mic2msEarly", Source::microphone, -2.0, ContinuationCase::rejected},
                    ContinuationCase{"systemExact", Source::systemAudio, 0.0, ContinuationCase::continues},
                    ContinuationCase{"systemNoise", Source::systemAudio, 0.0000005, ContinuationCase::continues},
                    ContinuationCase{"systemOneFrameLate", Source::systemAudio, 1.0 / 48, ContinuationCase::newRun},
                    ContinuationCase{"systemOneFrameEarly", Source::systemAudio, -1.0 / 48,
                                     ContinuationCase::rejected},
                    ContinuationCase{"system48FramesEarly", Source::systemAudio, -1.0,
                                     ContinuationCase::rejected}),
    [](const testing::TestParamInfo<ContinuationCase>& info) { return std::string(info.param.name); });

struct FormatChangeCase {
    const char* name;
    int firstRate, firstChannels, secondRate, secondChannels;
};

void PrintTo(const FormatChangeCase& c, std::ostream* os) { *os << c.name; }

class FormatChangeTest : public testing::TestWithParam<FormatChangeCase> {};

// A change of rate or channel count at the expected time ends the run (tail first,
// cut to exactly its input's length) and anchors a new one at the packet's time.
TEST_P(FormatChangeTest, EndsTheRunAndReanchorsAtThePacket) {
    const FormatChangeCase c = GetParam();
    PCMConverter converter(analyzerFormat());
    ConvertedBuffers all;
    // 400 ms in four packets, then 100 ms in the other format.
    for (int i = 0; i < 4; ++i) {
        append(all, converter.convert(mic(c.firstRate, c.firstChannels, 100.0 * i, std::size_t(c.firstRate / 10))));
    }
    ConvertedBuffers changed = converter.convert(mic(c.secondRate, c.secondChannels, 400.0, std::size_t(c.secondRate / 10)));
    EXPECT_EQ(converter.originMs(), 400.0);
    EXPECT_EQ(converter.inputSampleRate(), c.secondRate);
    EXPECT_EQ(converter.channelCount(), c.secondChannels);
    append(all, std::move(changed));
    append(all, converter.flush());

    ConvertedBuffers firstRun, secondRun;
    for (auto& item : all) (item.startTime < CMTimeMake(400, 1000) ? firstRun : secondRun).push_back(item);
    EXPECT_EQ(totalFrames(firstRun), 6400);  // exactly 400 ms before the change
    expectContiguousFrom(firstRun, kCMTimeZero);
    EXPECT_EQ(totalFrames(secondRun), 1600);
    expectContiguousFrom(secondRun, CMTimeMake(400, 1000));
    // Ends exactly at the second packet's start plus its duration.
    EXPECT_EQ(CMTimeCompare(endOf(all.back()), CMTimeMake(500, 1000)), 0);
}

INSTANTIATE_TEST_SUITE_P(PCMConverter, FormatChangeTest,
                         testing::Values(FormatChangeCase{"rate16kTo48k", 16000, 1, 48000, 1},
                                         FormatChangeCase{"rate48kTo16k", 48000, 2, 16000, 2},
                                         FormatChangeCase{"monoToStereo", 48000, 1, 48000, 2},
                                         FormatChangeCase{"stereoToMono", 16000, 2, 16000, 1}),
                         [](const testing::TestParamInfo<FormatChangeCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PCMConverter, AlternatingRatesKeepEveryRunExact) {
    PCMConverter converter(analyzerFormat());
    ConvertedBuffers all;
    const int rates[] = {48000, 16000, 48000, 16000};
    for (int i = 0; i < 4; ++i) append(all, converter.convert(mic(rates[i], 1, 500.0 + 100.0 * i, std::size_t(rates[i] / 10))));
    append(all, converter.flush());
    EXPECT_EQ(totalFrames(all), 6400);
    expectContiguousFrom(all, CMTimeMakeWithSeconds(0.5, 48000));
    EXPECT_EQ(CMTimeCompare(endOf(all.back()), CMTimeMake(9, 10)), 0);
}

TEST(PCMConverter, SystemAudioAnchorsOnExact48kFramesUpToTheSevenDayEnd) {
    // Near the end of seven days a millisecond time as a double is still exact to the
    // frame, and the anchor must be the frame itself.
    const std::int64_t origins[] = {0, 29'029'920'001};
    for (const std::int64_t origin : origins) {
        PCMConverter converter(analyzerFormat());
        ConvertedBuffers all;
        std::int64_t frame = origin;
        for (int i = 0; i < 10; ++i, frame += 4800) append(all, converter.convert(sys(48000, 2, frame, 4800)));
        EXPECT_EQ(CMTimeCompare(converter.originTime(), CMTimeMake(origin, 48000)), 0) << origin;
        append(all, converter.flush());
        EXPECT_EQ(totalFrames(all), 16000) << origin;
        expectContiguousFrom(all, CMTimeMake(origin, 48000));
        // A gap of one frame starts a new run at that exact frame.
        const ConvertedBuffers later = converter.convert(sys(48000, 2, frame + 1, 4800));
        EXPECT_EQ(CMTimeCompare(converter.originTime(), CMTimeMake(frame + 1, 48000)), 0) << origin;
        ConvertedBuffers second = later;
        append(second, converter.flush());
        EXPECT_EQ(totalFrames(second), 1600);
        expectContiguousFrom(second, CMTimeMake(frame + 1, 48000));
    }
}

TEST(PCMConverter, MicrophoneAnchorsAtItsTimeOnThe48kTimescale) {
    PCMConverter converter(analyzerFormat());
    const ConvertedBuffers first = converter.convert(mic(48000, 1, 12.5, 4800));
    EXPECT_EQ(CMTimeCompare(converter.originTime(), CMTimeMake(600, 48000)), 0);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(CMTimeCompare(first.front().startTime, CMTimeMake(600, 48000)), 0);
    // A discontinuous packet later on is anchored at its own time.
    converter.convert(mic(48000, 1, 2000.0, 4800));
    EXPECT_EQ(CMTimeCompare(converter.originTime(), CMTimeMake(2, 1)), 0);
}

TEST(PCMConverter, FlushDeliversTheTailOnceAndTheNextPacketStartsANewRun) {
    PCMConverter converter(analyzerFormat());
    EXPECT_TRUE(converter.flush().empty());  // no run yet
    ConvertedBuffers all = converter.convert(mic(48000, 2, 0.0, 4800));
    const ConvertedBuffers tail = converter.flush();
    EXPECT_FALSE(tail.empty());
    append(all, tail);
    EXPECT_EQ(totalFrames(all), 1600);
    EXPECT_TRUE(converter.flush().empty());
    EXPECT_EQ(converter.nextInputMs(), 100.0);  // kept across the flush

    // Exactly where the stream left off, yet a new run with a fresh anchor and counters.
    const ConvertedBuffers next = converter.convert(mic(48000, 2, 100.0, 4800));
    EXPECT_TRUE(converter.hasActiveRun());
    EXPECT_EQ(converter.originMs(), 100.0);
    EXPECT_EQ(converter.inputFrames(), 4800);
    ConvertedBuffers second = next;
    append(second, converter.flush());
    EXPECT_EQ(totalFrames(second), 1600);
    expectContiguousFrom(second, CMTimeMakeWithSeconds(0.1, 48000));
    // Earlier than the expected time is still rejected after a flush.
    EXPECT_EQ(failureOf([&] { converter.convert(mic(48000, 2, 150.0, 4800)); }), kOutOfOrderAudioMessage);
}

TEST(PCMConverter, StereoIsMixedDownToNonZeroFiniteSamples) {
    PCMConverter converter(analyzerFormat());
    ConvertedBuffers all = converter.convert(packet(Source::microphone, 48000, 2, 0.0, 4800, {8000, -3000}));
    append(all, converter.flush());
    ASSERT_EQ(totalFrames(all), 1600);
    bool nonZero = false;
    for (const auto& item : all) {
        for (AVAudioFrameCount f = 0; f < item.buffer->frameLength(); ++f) {
            const float sample = item.buffer->floatChannelData()[0][f];
            ASSERT_TRUE(std::isfinite(sample));
            nonZero = nonZero || sample != 0.0f;
        }
    }
    EXPECT_TRUE(nonZero);
    // Away from the run's edges the level is the channels' mean.
    EXPECT_NEAR(all[all.size() / 2].buffer->floatChannelData()[0][0], 2500.0f / 32768.0f, 1e-3);
}

TEST(PCMConverter, RejectsPacketsOutsideThePacketBounds) {
    PCMConverter converter(analyzerFormat());
    AudioPacket noFrames = mic(48000, 1, 0.0, 0);
    AudioPacket halfFrame = mic(48000, 2, 0.0, 10);
    // Ten stereo frames less half a frame.
    halfFrame.data.pop_back();
    halfFrame.data.pop_back();
    AudioPacket noChannels = mic(48000, 1, 0.0, 10);
    noChannels.channels = 0;
    AudioPacket oddRate = mic(44100, 1, 0.0, 10);
    AudioPacket notANumber = mic(48000, 1, std::nan(""), 10);
    AudioPacket negative = mic(48000, 1, -0.5, 10);
    AudioPacket pastSevenDays = mic(48000, 1, 604'800'000.5, 10);
    AudioPacket tooLong = mic(16000, 1, 0.0, 32'001);
    for (const AudioPacket& p : {noFrames, halfFrame, noChannels, oddRate, notANumber, negative, pastSevenDays, tooLong}) {
        EXPECT_EQ(failureOf([&] { converter.convert(p); }), kInvalidPacketMessage);
    }
    EXPECT_FALSE(converter.nextInputMs().has_value());
    EXPECT_FALSE(converter.hasActiveRun());
}

TEST(PCMConverter, SourcesSelectTheirTolerances) {
    EXPECT_EQ(continuityToleranceMs(*sourceFromRawValue("microphone")), 1.1);
    EXPECT_EQ(continuityToleranceMs(*sourceFromRawValue("system-audio")), 0.000001);
}

// A converter that plays a script: each call writes the frames of the next step and
// answers its status; it records what the input callback told it.
class ScriptedConverter final : public AVAudioConverter {
public:
    struct Step {
        AVAudioFrameCount frames;
        AVAudioConverterOutputStatus status;
        bool raise = false;
    };

    ScriptedConverter(const AVAudioFormat& from, const AVAudioFormat& to, std::deque<Step>* script,
                      std::vector<AVAudioConverterInputStatus>* inputs, int* calls,
                      AVAudioConverterPrimeMethod* prime)
        : from_(from), to_(to), script_(script), inputs_(inputs), calls_(calls), prime_(prime) {}

    const AVAudioFormat& inputFormat() const override { return from_; }
    const AVAudioFormat& outputFormat() const override { return to_; }
    AVAudioConverterPrimeMethod primeMethod() const override { return *prime_; }
    void setPrimeMethod(AVAudioConverterPrimeMethod method) override { *prime_ = method; }
    void reset() override {}

    AVAudioConverterOutputStatus convertToBuffer(AVAudioPCMBuffer& output,
                                                const AVAudioConverterInputBlock& block) override {
        ++*calls_;
        AVAudioConverterInputStatus status = AVAudioConverterInputStatus::noDataNow;
        block(1, status);
        inputs_->push_back(status);
        const Step step = script_->empty() ? Step{8192, AVAudioConverterOutputStatus::haveData} : script_->front();
        if (!script_->empty()) script_->pop_front();
        if (step.raise) throw AVAudioError("The converter's own description.");
        output.setFrameLength(step.frames);
        for (AVAudioFrameCount f = 0; f < step.frames; ++f) output.floatChannelData()[0][f] = 0.5f;
        return step.status;
    }

private:
    AVAudioFormat from_, to_;
    std::deque<Step>* script_;
    std::vector<AVAudioConverterInputStatus>* inputs_;
    int* calls_;
    AVAudioConverterPrimeMethod* prime_;
};

class ScriptedPCMConverter : public testing::Test {
protected:
    PCMConverter make() {
        return PCMConverter(analyzerFormat(), [this](const AVAudioFormat& from, const AVAudioFormat& to) {
            ++made;
            if (refuse) return std::unique_ptr<AVAudioConverter>();
            return std::unique_ptr<AVAudioConverter>(
                std::make_unique<ScriptedConverter>(from, to, &script, &inputs, &calls, &prime));
        });
    }
    std::deque<ScriptedConverter::Step> script;
    std::vector<AVAudioConverterInputStatus> inputs;
    int calls = 0;
    int made = 0;
    bool refuse = false;
    AVAudioConverterPrimeMethod prime = AVAudioConverterPrimeMethod::normal;
};

using Status = AVAudioConverterOutputStatus;
using Input = AVAudioConverterInputStatus;

TEST_F(ScriptedPCMConverter, HandsTheInputOverOncePerPumpWithoutPriming) {
    PCMConverter converter = make();
    script = {{100, Status::haveData}, {100, Status::haveData}, {0, Status::inputRanDry}};
    const ConvertedBuffers out = converter.convert(mic(48000, 1, 0.0, 4800));
    EXPECT_EQ(prime, AVAudioConverterPrimeMethod::none);
    EXPECT_EQ(inputs, (std::vector<Input>{Input::haveData, Input::noDataNow, Input::noDataNow}));
    // The empty last buffer is dropped; the others follow each other exactly.
    ASSERT_EQ(out.size(), 2u);
    expectContiguousFrom(out, kCMTimeZero);

    inputs.clear();
    script = {{0, Status::endOfStream}};
    EXPECT_TRUE(converter.flush().empty());
    EXPECT_EQ(inputs, (std::vector<Input>{Input::endOfStream}));
    EXPECT_EQ(made, 1);
}

TEST_F(ScriptedPCMConverter, CutsTheTailToTheRunsExactLength) {
    PCMConverter converter = make();
    script = {{1000, Status::inputRanDry}};
    converter.convert(mic(48000, 1, 0.0, 4801));  // exactly 1600.33 → 1600 output frames
    // The converter offers more than the run may have; an empty cut buffer is dropped.
    script = {{500, Status::haveData}, {500, Status::haveData}, {500, Status::endOfStream}};
    const ConvertedBuffers tail = converter.flush();
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[0].buffer->frameLength(), 500u);
    EXPECT_EQ(tail[1].buffer->frameLength(), 100u);
    EXPECT_EQ(converter.outputFrames(), 1600);
    EXPECT_EQ(CMTimeCompare(tail[1].startTime, CMTimeMake(1500, 16000)), 0);
}

TEST_F(ScriptedPCMConverter, EndsAnOldRunByPumpingItsTailBeforeTheNewRun) {
    PCMConverter converter = make();
    script = {{1000, Status::inputRanDry}};
    converter.convert(mic(48000, 1, 0.0, 4800));
    inputs.clear();
    script = {{2000, Status::endOfStream}, {700, Status::inputRanDry}};
    const ConvertedBuffers out = converter.convert(mic(48000, 1, 500.0, 4800));
    EXPECT_EQ(inputs, (std::vector<Input>{Input::endOfStream, Input::haveData}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].buffer->frameLength(), 600u);  // 1,600 in all for the old run
    EXPECT_EQ(CMTimeCompare(out[0].startTime, CMTimeMake(1000, 16000)), 0);
    EXPECT_EQ(CMTimeCompare(out[1].startTime, CMTimeMake(1, 2)), 0);
    EXPECT_EQ(made, 2);
}

TEST_F(ScriptedPCMConverter, FailsAfterSixtyFourCallsThatKeepHavingData) {
    PCMConverter converter = make();
    EXPECT_EQ(failureOf([&] { converter.convert(mic(48000, 1, 0.0, 4800)); }), kConversionWorkLimitMessage);
    EXPECT_EQ(calls, kMaximumConversionCallsPerPump);
    // Sixty-three calls with data and a sixty-fourth that runs dry is within bounds.
    PCMConverter bounded = make();
    calls = 0;
    script.assign(63, {10, Status::haveData});
    script.push_back({10, Status::inputRanDry});
    EXPECT_EQ(bounded.convert(mic(48000, 1, 0.0, 4800)).size(), 64u);
    EXPECT_EQ(calls, 64);
}

TEST_F(ScriptedPCMConverter, ReportsTheErrorStatusAndPassesOnTheConvertersOwnFailure) {
    PCMConverter converter = make();
    script = {{0, Status::error}};
    EXPECT_EQ(failureOf([&] { converter.convert(mic(48000, 1, 0.0, 4800)); }), kConversionFailedMessage);

    PCMConverter raising = make();
    script = {{0, Status::haveData, true}};
    try {
        raising.convert(mic(48000, 1, 0.0, 4800));
        ADD_FAILURE() << "no failure";
    } catch (const AVAudioError& error) {
        EXPECT_STREQ(error.what(), "The converter's own description.");
    }
}

TEST_F(ScriptedPCMConverter, FailsWhenNoConverterCanBeMade) {
    refuse = true;
    PCMConverter converter = make();
    EXPECT_EQ(failureOf([&] { converter.convert(mic(16000, 2, 0.0, 1600)); }), kConverterUnavailableMessage);
    // An output rate that is not a whole number of frames cannot give exact times.
    PCMConverter fractional(*AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000.5, 1, false));
    EXPECT_EQ(failureOf([&] { fractional.convert(mic(16000, 1, 0.0, 1600)); }), kConverterUnavailableMessage);
}

}  // namespace
