#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/avfaudio/av_audio_pcm_buffer.h"

namespace quorvantel {
namespace {

TEST(AVAudioFormatTest, RejectsFormatsThatCannotBeDescribed) {
    struct Case {
        AVAudioCommonFormat type;
        double rate;
        AVAudioChannelCount channels;
    };
    const Case rejected[] = {
        {AVAudioCommonFormat::otherFormat, 16000, 1},
        {AVAudioCommonFormat::pcmFormatFloat32, 0, 1},
        {AVAudioCommonFormat::pcmFormatFloat32, -16000, 1},
        {AVAudioCommonFormat::pcmFormatFloat32, std::numeric_limits<double>::quiet_NaN(), 1},
        {AVAudioCommonFormat::pcmFormatFloat32, std::numeric_limits<double>::infinity(), 1},
        {AVAudioCommonFormat::pcmFormatFloat32, AVAudioFormat::kMaximumSampleRate * 2, 1},
        {AVAudioCommonFormat::pcmFormatInt16, 48000, 0},
        {AVAudioCommonFormat::pcmFormatInt16, 48000, AVAudioFormat::kMaximumChannelCount + 1},
    };
    for (const Case& c : rejected) {
        EXPECT_FALSE(AVAudioFormat::make(c.type, c.rate, c.channels, true).has_value())
            << int(c.type) << " " << c.rate << " " << c.channels;
    }
}

TEST(AVAudioFormatTest, DescribesLayoutPerBuffer) {
    const auto planar = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 2, false);
    ASSERT_TRUE(planar);
    EXPECT_FALSE(planar->isInterleaved());
    EXPECT_EQ(planar->bufferCount(), 2u);
    EXPECT_EQ(planar->bytesPerFrame(), 4u);

    const auto interleaved = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 48000, 2, true);
    ASSERT_TRUE(interleaved);
    EXPECT_EQ(interleaved->bufferCount(), 1u);
    EXPECT_EQ(interleaved->bytesPerFrame(), 4u);

    // A single channel is the same layout either way, so the two compare equal.
    const auto monoPlanar = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, false);
    const auto monoInterleaved = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, true);
    EXPECT_TRUE(monoPlanar->isInterleaved());
    EXPECT_EQ(*monoPlanar, *monoInterleaved);
    EXPECT_FALSE(*planar == *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 2, true));
    EXPECT_FALSE(*monoPlanar == *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, false));
}

TEST(AVAudioPCMBufferTest, RejectsEmptyAndOversizedCapacities) {
    const auto format = *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat64, 48000, 8, false);
    EXPECT_EQ(AVAudioPCMBuffer::make(format, 0), nullptr);
    // 8 channels of 8-byte samples: this capacity needs more than the bound allows.
    EXPECT_EQ(AVAudioPCMBuffer::make(format, 80'000'000), nullptr);
}

TEST(AVAudioPCMBufferTest, PlanarFloatBufferHasOneZeroedBufferPerChannel) {
    const auto format = *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 2, false);
    const auto buffer = AVAudioPCMBuffer::make(format, 8192);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->frameCapacity(), 8192u);
    EXPECT_EQ(buffer->frameLength(), 0u);
    EXPECT_EQ(buffer->stride(), 1u);
    ASSERT_NE(buffer->floatChannelData(), nullptr);
    EXPECT_EQ(buffer->int16ChannelData(), nullptr);
    const AudioBufferList* list = buffer->audioBufferList();
    ASSERT_EQ(list->mNumberBuffers, 2u);
    EXPECT_EQ(list->mBuffers[0].mData, buffer->floatChannelData()[0]);
    EXPECT_EQ(list->mBuffers[1].mData, buffer->floatChannelData()[1]);
    EXPECT_EQ(list->mBuffers[0].mNumberChannels, 1u);
    for (int c = 0; c < 2; ++c) {
        for (int f = 0; f < 8192; ++f) ASSERT_EQ(buffer->floatChannelData()[c][f], 0.0f);
    }
    // The channels do not overlap.
    buffer->floatChannelData()[0][8191] = 1.0f;
    EXPECT_EQ(buffer->floatChannelData()[1][0], 0.0f);
}

TEST(AVAudioPCMBufferTest, FrameLengthSetsByteSizesAndIsBoundedByCapacity) {
    const auto format = *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 48000, 2, true);
    const auto buffer = AVAudioPCMBuffer::make(format, 4800);
    ASSERT_NE(buffer, nullptr);
    ASSERT_NE(buffer->int16ChannelData(), nullptr);
    EXPECT_EQ(buffer->floatChannelData(), nullptr);
    EXPECT_EQ(buffer->stride(), 2u);
    buffer->setFrameLength(100);
    EXPECT_EQ(buffer->frameLength(), 100u);
    EXPECT_EQ(buffer->mutableAudioBufferList()->mBuffers[0].mDataByteSize, 400u);
    EXPECT_EQ(buffer->mutableAudioBufferList()->mBuffers[0].mNumberChannels, 2u);
    buffer->setFrameLength(4800);
    EXPECT_EQ(buffer->audioBufferList()->mBuffers[0].mDataByteSize, 19200u);
    EXPECT_THROW(buffer->setFrameLength(4801), std::invalid_argument);
    EXPECT_EQ(buffer->frameLength(), 4800u);
}

}  // namespace
}  // namespace quorvantel
