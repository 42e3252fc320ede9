// The file reader on Linux, on libsndfile: WAV, AIFF, FLAC and the other containers
// it decodes, converted to the requested sample type as it reads.
#include <sndfile.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/avfaudio/av_audio_file.h"

namespace quorvantel {
namespace {

// Frames decoded per step when the caller wants one buffer per channel: bounds the
// reader's scratch memory whatever the size of the buffer it is given.
constexpr sf_count_t kDeinterleaveFrames = 4096;

class SndfileAudioFile final : public AVAudioFile {
public:
    SndfileAudioFile(SNDFILE* file, const AVAudioFormat& format, sf_count_t frames)
        : file_(file), format_(format), length_(frames) {}
    ~SndfileAudioFile() override { sf_close(file_); }

    SndfileAudioFile(const SndfileAudioFile&) = delete;
    SndfileAudioFile& operator=(const SndfileAudioFile&) = delete;

    const AVAudioFormat& processingFormat() const override { return format_; }
    AVAudioFramePosition length() const override { return length_; }
    AVAudioFramePosition framePosition() const override { return position_; }

    void readIntoBuffer(AVAudioPCMBuffer& buffer, AVAudioFrameCount frameCount) override {
        if (!(buffer.format() == format_)) {
            throw AVAudioError("The audio file's read buffer has another format than its processing format.");
        }
        const sf_count_t wanted = std::min<sf_count_t>(frameCount, buffer.frameCapacity());
        const sf_count_t read = format_.isInterleaved() ? readInterleaved(buffer, 0, wanted)
                                                        : readDeinterleaved(buffer, wanted);
        buffer.setFrameLength(static_cast<AVAudioFrameCount>(read));
        position_ += read;
    }

private:
    // Decodes up to `frames` frames into `out` (interleaved) from the file.
    sf_count_t decode(void* out, sf_count_t frames) {
        sf_count_t read = 0;
        switch (format_.commonFormat()) {
            case AVAudioCommonFormat::pcmFormatInt16:
                read = sf_readf_short(file_, static_cast<short*>(out), frames);
                break;
            case AVAudioCommonFormat::pcmFormatInt32:
                read = sf_readf_int(file_, static_cast<int*>(out), frames);
                break;
            case AVAudioCommonFormat::pcmFormatFloat32:
                read = sf_readf_float(file_, static_cast<float*>(out), frames);
                break;
            case AVAudioCommonFormat::pcmFormatFloat64:
                read = sf_readf_double(file_, static_cast<double*>(out), frames);
                break;
            case AVAudioCommonFormat::otherFormat: break;
        }
        if (read < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
            throw AVAudioError(std::string("The audio file could not be read: ") + sf_strerror(file_));
        }
        return read < 0 ? 0 : read;
    }

    sf_count_t readInterleaved(AVAudioPCMBuffer& buffer, sf_count_t at, sf_count_t frames) {
        auto* data = static_cast<std::byte*>(buffer.mutableAudioBufferList()->mBuffers[0].mData);
        return decode(data + at * format_.bytesPerFrame(), frames);
    }

    sf_count_t readDeinterleaved(AVAudioPCMBuffer& buffer, sf_count_t frames) {
        const std::size_t sampleBytes = format_.bytesPerSample();
        const unsigned channels = format_.channelCount();
        scratch_.resize(std::size_t(kDeinterleaveFrames) * channels * sampleBytes);
        AudioBufferList* list = buffer.mutableAudioBufferList();
        sf_count_t done = 0;
        while (done < frames) {
            const sf_count_t step = decode(scratch_.data(), std::min(kDeinterleaveFrames, frames - done));
            for (sf_count_t f = 0; f < step; ++f) {
                for (unsigned c = 0; c < channels; ++c) {
                    auto* channel = static_cast<std::byte*>(list->mBuffers[c].mData);
                    std::copy_n(scratch_.data() + (std::size_t(f) * channels + c) * sampleBytes, sampleBytes,
                                channel + std::size_t(done + f) * sampleBytes);
                }
            }
            done += step;
            if (step == 0) break;
        }
        return done;
    }

    SNDFILE* file_;
    AVAudioFormat format_;
    AVAudioFramePosition length_;
    AVAudioFramePosition position_ = 0;
    std::vector<std::byte> scratch_;
};

}  // namespace

std::unique_ptr<AVAudioFile> AVAudioFile::openForReading(const std::string& path, AVAudioCommonFormat commonFormat,
                                                         bool interleaved) {
    if (commonFormat == AVAudioCommonFormat::otherFormat) {
        throw AVAudioError("Audio files are read as linear PCM only.");
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        throw AVAudioError(std::string("The audio file could not be opened: ") + sf_strerror(nullptr));
    }
    const auto format = AVAudioFormat::make(commonFormat, double(info.samplerate),
                                            static_cast<AVAudioChannelCount>(info.channels), interleaved);
    if (!format || info.frames < 0) {
        sf_close(file);
        throw AVAudioError("The audio file's format is not supported.");
    }
    // Floating-point files read as integers saturate instead of wrapping around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    try {
        return std::make_unique<SndfileAudioFile>(file, *format, info.frames);
    } catch (...) {
        sf_close(file);
        throw;
    }
}

}  // namespace quorvantel
