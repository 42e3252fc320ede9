#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/avfaudio/av_audio_file.h"

namespace quorvantel {
namespace {

// A temporary file, removed when the test ends.
class TemporaryPath {
public:
    explicit TemporaryPath(const char* suffix) {
        std::string pattern = testing::TempDir() + "qv_audio_file_XXXXXX" + suffix;
        const int fd = mkstemps(pattern.data(), int(std::strlen(suffix)));
        if (fd >= 0) close(fd);
        path_ = pattern;
    }
    ~TemporaryPath() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void writeWave(const std::string& path, int rate, int channels, const std::vector<short>& samples, int subtype) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_short(file, samples.data(), sf_count_t(samples.size() / channels)),
              sf_count_t(samples.size() / channels));
    sf_close(file);
}

std::vector<short> ramp(std::size_t count) {
    std::vector<short> samples;
    for (std::size_t i = 0; i < count; ++i) samples.push_back(short(int(i % 2000) - 1000));
    return samples;
}

TEST(AVAudioFileTest, ReadsInterleaved16BitAtTheFilesOwnRateAndChannels) {
    TemporaryPath wave(".wav");
    const std::vector<short> samples = ramp(10000 * 2);
    writeWave(wave.path(), 48000, 2, samples, SF_FORMAT_PCM_16);

    auto file = AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::pcmFormatInt16, true);
    ASSERT_NE(file, nullptr);
    const AVAudioFormat& format = file->processingFormat();
    EXPECT_EQ(format.commonFormat(), AVAudioCommonFormat::pcmFormatInt16);
    EXPECT_EQ(format.sampleRate(), 48000.0);
    EXPECT_EQ(format.channelCount(), 2u);
    EXPECT_TRUE(format.isInterleaved());
    EXPECT_EQ(file->length(), 10000);

    auto buffer = AVAudioPCMBuffer::make(format, 4800);
    std::vector<short> read;
    std::vector<AVAudioFrameCount> lengths;
    while (file->framePosition() < file->length()) {
        file->readIntoBuffer(*buffer, 4800);
        lengths.push_back(buffer->frameLength());
        const auto* data = static_cast<const short*>(buffer->audioBufferList()->mBuffers[0].mData);
        read.insert(read.end(), data, data + buffer->frameLength() * 2);
    }
    EXPECT_EQ(lengths, (std::vector<AVAudioFrameCount>{4800, 4800, 400}));
    EXPECT_EQ(read, samples);
    EXPECT_EQ(file->framePosition(), 10000);
    // At the end a read gives no frames.
    file->readIntoBuffer(*buffer, 4800);
    EXPECT_EQ(buffer->frameLength(), 0u);
}

TEST(AVAudioFileTest, ReadsNoMoreThanAskedOrThanTheBufferHolds) {
    TemporaryPath wave(".wav");
    writeWave(wave.path(), 16000, 1, ramp(5000), SF_FORMAT_PCM_16);
    auto file = AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::pcmFormatInt16, true);
    auto buffer = AVAudioPCMBuffer::make(file->processingFormat(), 1600);
    file->readIntoBuffer(*buffer, 100);
    EXPECT_EQ(buffer->frameLength(), 100u);
    file->readIntoBuffer(*buffer, 100000);
    EXPECT_EQ(buffer->frameLength(), 1600u);
    EXPECT_EQ(file->framePosition(), 1700);
}

TEST(AVAudioFileTest, DecodesToOtherSampleTypesAndLayouts) {
    TemporaryPath wave(".wav");
    writeWave(wave.path(), 16000, 2, {16384, -16384, 8192, 0}, SF_FORMAT_PCM_24);
    auto file = AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::pcmFormatFloat32, false);
    ASSERT_FALSE(file->processingFormat().isInterleaved());
    auto buffer = AVAudioPCMBuffer::make(file->processingFormat(), 10);
    file->readIntoBuffer(*buffer, 10);
    ASSERT_EQ(buffer->frameLength(), 2u);
    EXPECT_FLOAT_EQ(buffer->floatChannelData()[0][0], 0.5f);
    EXPECT_FLOAT_EQ(buffer->floatChannelData()[1][0], -0.5f);
    EXPECT_FLOAT_EQ(buffer->floatChannelData()[0][1], 0.25f);
    EXPECT_FLOAT_EQ(buffer->floatChannelData()[1][1], 0.0f);
}

TEST(AVAudioFileTest, AnEmptyFileHasNoFrames) {
    TemporaryPath wave(".wav");
    writeWave(wave.path(), 48000, 1, {}, SF_FORMAT_PCM_16);
    auto file = AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::pcmFormatInt16, true);
    EXPECT_EQ(file->length(), 0);
    EXPECT_EQ(file->processingFormat().sampleRate(), 48000.0);
}

TEST(AVAudioFileTest, RaisesForMissingOrUndecodableFilesAndWrongBuffers) {
    EXPECT_THROW(AVAudioFile::openForReading(testing::TempDir() + "qv_no_such_file.wav",
                                             AVAudioCommonFormat::pcmFormatInt16, true),
                 AVAudioError);
    TemporaryPath text(".wav");
    std::ofstream(text.path()) << "this is not audio at all, only some text";
    EXPECT_THROW(AVAudioFile::openForReading(text.path(), AVAudioCommonFormat::pcmFormatInt16, true), AVAudioError);

    TemporaryPath wave(".wav");
    writeWave(wave.path(), 44100, 1, ramp(100), SF_FORMAT_PCM_16);
    EXPECT_THROW(AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::otherFormat, true), AVAudioError);
    auto file = AVAudioFile::openForReading(wave.path(), AVAudioCommonFormat::pcmFormatInt16, true);
    EXPECT_EQ(file->processingFormat().sampleRate(), 44100.0);
    auto wrong = AVAudioPCMBuffer::make(*AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 48000, 1, true), 10);
    EXPECT_THROW(file->readIntoBuffer(*wrong, 10), AVAudioError);
    EXPECT_EQ(file->framePosition(), 0);
}

}  // namespace
}  // namespace quorvantel
