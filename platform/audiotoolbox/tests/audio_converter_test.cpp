#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "platform/audiotoolbox/audio_converter.h"

namespace quorvantel {
namespace {

constexpr std::uint32_t kNoMoreInputNow = fourCharCode("smni");

AudioStreamBasicDescription floatStereo(double rate, std::uint32_t channels = 2) {
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    f.mBytesPerPacket = f.mBytesPerFrame = channels * 4;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    return f;
}

// Gives its samples on request; when they are used up it says "no more input for
// now", or ends the stream once told the input is final.
struct Feed {
    std::vector<float> samples;  // interleaved stereo
    std::size_t consumed = 0;    // frames
    bool final = false;
    int calls = 0;

    static OSStatus provide(AudioConverterRef, std::uint32_t* packets, AudioBufferList* data,
                            AudioStreamPacketDescription** descriptions, void* user) {
        auto* feed = static_cast<Feed*>(user);
        ++feed->calls;
        if (descriptions != nullptr) *descriptions = nullptr;
        const std::size_t frames = feed->samples.size() / 2;
        data->mNumberBuffers = 1;
        data->mBuffers[0].mNumberChannels = 2;
        if (feed->consumed == frames) {
            *packets = 0;
            data->mBuffers[0].mDataByteSize = 0;
            data->mBuffers[0].mData = nullptr;
            return feed->final ? 0 : OSStatus(kNoMoreInputNow);
        }
        const std::size_t n = std::min<std::size_t>(*packets, frames - feed->consumed);
        data->mBuffers[0].mData = feed->samples.data() + feed->consumed * 2;
        data->mBuffers[0].mDataByteSize = static_cast<std::uint32_t>(n * 8);
        *packets = static_cast<std::uint32_t>(n);
        feed->consumed += n;
        return 0;
    }
};

class ConverterTest : public ::testing::Test {
protected:
    AudioConverterService& service = systemAudioConverters();
    AudioConverterRef converter = nullptr;

    void make(double sourceRate) {
        const AudioStreamBasicDescription in = floatStereo(sourceRate), out = floatStereo(48000);
        ASSERT_EQ(service.AudioConverterNew(&in, &out, &converter), 0);
    }
    void TearDown() override {
        if (converter != nullptr) {
            EXPECT_EQ(service.AudioConverterDispose(converter), 0);
        }
    }

    // One conversion call into a fresh buffer of `room` frames.
    OSStatus fill(Feed& feed, std::uint32_t room, std::vector<float>& out) {
        std::vector<float> buffer(room * 2);
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = {2, room * 8, buffer.data()};
        std::uint32_t packets = room;
        const OSStatus status =
            service.AudioConverterFillComplexBuffer(converter, &Feed::provide, &feed, &packets, &list, nullptr);
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, packets * 8);
        out.insert(out.end(), buffer.begin(), buffer.begin() + packets * 2);
        return status;
    }

    // Feeds pieces of `piece` frames, then ends the input and drains the tail.
    std::vector<float> convert(const std::vector<float>& samples, std::size_t piece, std::uint32_t room) {
        std::vector<float> out;
        Feed feed;
        for (std::size_t at = 0; at < samples.size(); at += piece * 2) {
            const std::size_t end = std::min(samples.size(), at + piece * 2);
            feed.samples.assign(samples.begin() + at, samples.begin() + end);
            feed.consumed = 0;
            OSStatus status;
            while ((status = fill(feed, room, out)) == 0) {}
            EXPECT_EQ(status, OSStatus(kNoMoreInputNow));
            EXPECT_EQ(feed.consumed, feed.samples.size() / 2);
        }
        feed.samples.clear();
        feed.consumed = 0;
        feed.final = true;
        std::size_t before;
        do {
            before = out.size();
            EXPECT_EQ(fill(feed, room, out), 0);
        } while (out.size() != before);
        return out;
    }
};

std::vector<float> impulseAt(std::size_t frames, std::size_t position) {
    std::vector<float> samples(frames * 2, 0.0f);
    samples[position * 2] = samples[position * 2 + 1] = 1.0f;
    return samples;
}

std::size_t peakFrame(const std::vector<float>& samples) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
        if (std::fabs(samples[i * 2]) > std::fabs(samples[best * 2])) best = i;
    }
    return best;
}

TEST_F(ConverterTest, RejectsFormatsOtherThanInterleavedFloatOfOneChannelCount) {
    AudioStreamBasicDescription in = floatStereo(44100), out = floatStereo(48000);
    AudioConverterRef ref = nullptr;
    AudioStreamBasicDescription planar = in;
    planar.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    EXPECT_EQ(service.AudioConverterNew(&planar, &out, &ref), kAudioConverterErr_FormatNotSupported);
    const AudioStreamBasicDescription mono = floatStereo(44100, 1);
    EXPECT_EQ(service.AudioConverterNew(&mono, &out, &ref), kAudioConverterErr_FormatNotSupported);
    AudioStreamBasicDescription integer = in;
    integer.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    EXPECT_EQ(service.AudioConverterNew(&integer, &out, &ref), kAudioConverterErr_FormatNotSupported);
    EXPECT_EQ(ref, nullptr);
}

TEST_F(ConverterTest, EqualRatesCopySamplesAndSayWhenInputRunsOut) {
    make(48000);
    Feed feed;
    for (int i = 0; i < 1000; ++i) feed.samples.push_back(float(i) / 1000.0f - 0.5f);
    std::vector<float> out;
    EXPECT_EQ(fill(feed, 300, out), 0);
    EXPECT_EQ(out.size(), 600u);
    EXPECT_EQ(fill(feed, 300, out), OSStatus(kNoMoreInputNow));
    EXPECT_EQ(out, feed.samples);
    feed.final = true;
    EXPECT_EQ(fill(feed, 300, out), 0);
    EXPECT_EQ(out.size(), 1000u);
}

TEST_F(ConverterTest, ResamplesWithoutLeadingLatencyAndReleasesTheTailAtTheEnd) {
    for (const double rate : {8000.0, 44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        make(rate);
        const std::size_t frames = std::size_t(rate);
        const std::vector<float> out = convert(impulseAt(frames, 100), 480, 8192);
        EXPECT_EQ(out.size() / 2, 48000u);
        EXPECT_EQ(peakFrame(out), std::size_t(std::lround(100 * 48000 / rate)));
        EXPECT_EQ(service.AudioConverterDispose(converter), 0);
        converter = nullptr;
    }
}

TEST_F(ConverterTest, OutputDoesNotDependOnHowTheInputIsSplit) {
    std::vector<float> samples(44100 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.4f * std::sin(0.01f * float(i));
    make(44100);
    const std::vector<float> whole = convert(samples, 44100, 8192);
    ASSERT_EQ(service.AudioConverterReset(converter), 0);
    EXPECT_EQ(convert(samples, 441, 8192), whole);
    ASSERT_EQ(service.AudioConverterReset(converter), 0);
    EXPECT_EQ(convert(samples, 7, 5), whole);
}

TEST_F(ConverterTest, ResetStartsAFreshStreamAfterTheEnd) {
    make(44100);
    const std::vector<float> first = convert(impulseAt(4410, 10), 4410, 8192);
    Feed ended;
    ended.final = true;
    std::vector<float> nothing;
    EXPECT_EQ(fill(ended, 100, nothing), 0);
    EXPECT_TRUE(nothing.empty());
    ASSERT_EQ(service.AudioConverterReset(converter), 0);
    EXPECT_EQ(convert(impulseAt(4410, 10), 4410, 8192), first);
}

TEST_F(ConverterTest, PropertiesAreCheckedForSizeValueAndTiming) {
    make(44100);
    const std::uint32_t high = kAudioConverterQuality_High, tooHigh = 0x80;
    const std::uint32_t normal = kConverterPrimeMethod_Normal, none = kConverterPrimeMethod_None;
    const std::uint16_t shortValue = 1;
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterSampleRateConverterQuality, 2, &shortValue),
              kAudioConverterErr_BadPropertySizeError);
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterSampleRateConverterQuality, 4, &tooHigh),
              kAudio_ParamError);
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterSampleRateConverterQuality, 4, &high), 0);
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterPrimeMethod, 4, &normal), 0);
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterPrimeMethod, 4, &none),
              kAudioConverterErr_PropertyNotSupported);
    Feed feed;
    feed.samples.assign(200, 0.1f);
    std::vector<float> out;
    fill(feed, 50, out);
    EXPECT_EQ(service.AudioConverterSetProperty(converter, kAudioConverterSampleRateConverterQuality, 4, &high),
              kAudioConverterErr_PropertyNotSupported);
}

TEST_F(ConverterTest, RefusesAnOutputBufferTooSmallForTheRequest) {
    make(44100);
    Feed feed;
    float room[4];
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0] = {2, sizeof room, room};
    std::uint32_t packets = 3;
    EXPECT_EQ(service.AudioConverterFillComplexBuffer(converter, &Feed::provide, &feed, &packets, &list, nullptr),
              kAudioConverterErr_InvalidOutputSize);
    EXPECT_EQ(packets, 0u);
    EXPECT_EQ(feed.calls, 0);
}

}  // namespace
}  // namespace quorvantel
