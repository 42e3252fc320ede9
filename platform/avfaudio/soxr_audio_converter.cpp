// The converter on Linux: sample types and channel mapping by hand, sample-rate
// conversion by libsoxr at high quality. libsoxr keeps its output aligned with its
// input (output frame 0 is input frame 0, whatever the filter's latency) and, once
// told the input has ended, delivers round(input frames × ratio) frames in all, so
// no priming frames are ever added and the frames it holds back come out at the end.
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/avfaudio/av_audio_converter.h"

namespace quorvantel {
namespace {

// Frames converted per step through the scratch buffers: bounds the converter's own
// memory whatever the size of the buffers it is given.
constexpr std::size_t kScratchFrames = 4096;

bool isSupportedInput(const AVAudioFormat& format) {
    switch (format.commonFormat()) {
        case AVAudioCommonFormat::pcmFormatInt16:
        case AVAudioCommonFormat::pcmFormatInt32:
        case AVAudioCommonFormat::pcmFormatFloat32:
        case AVAudioCommonFormat::pcmFormatFloat64: return true;
        case AVAudioCommonFormat::otherFormat: break;
    }
    return false;
}

// Sample c of frame f of a buffer, as a float in [-1, 1) for integer types.
class SampleReader {
public:
    explicit SampleReader(const AVAudioPCMBuffer& buffer)
        : format_(buffer.format()), list_(*buffer.audioBufferList()), stride_(buffer.stride()) {}

    float operator()(std::size_t frame, std::size_t channel) const {
        const std::size_t bufferIndex = format_.isInterleaved() ? 0 : channel;
        const std::size_t index = frame * stride_ + (format_.isInterleaved() ? channel : 0);
        const void* data = list_.mBuffers[bufferIndex].mData;
        switch (format_.commonFormat()) {
            case AVAudioCommonFormat::pcmFormatInt16:
                return float(static_cast<const std::int16_t*>(data)[index]) / 32768.0f;
            case AVAudioCommonFormat::pcmFormatInt32:
                return float(double(static_cast<const std::int32_t*>(data)[index]) / 2147483648.0);
            case AVAudioCommonFormat::pcmFormatFloat32: return static_cast<const float*>(data)[index];
            case AVAudioCommonFormat::pcmFormatFloat64:
                return float(static_cast<const double*>(data)[index]);
            case AVAudioCommonFormat::otherFormat: break;
        }
        return 0.0f;
    }

private:
    const AVAudioFormat& format_;
    const AudioBufferList& list_;
    std::size_t stride_;
};

class SoxrAudioConverter final : public AVAudioConverter {
public:
    SoxrAudioConverter(const AVAudioFormat& from, const AVAudioFormat& to, soxr_t resampler,
                       unsigned workChannels)
        : input_(from), output_(to), resampler_(resampler), workChannels_(workChannels),
          inScratch_(kScratchFrames * workChannels), outScratch_(kScratchFrames * workChannels) {}

    ~SoxrAudioConverter() override {
        if (resampler_ != nullptr) soxr_delete(resampler_);
    }

    SoxrAudioConverter(const SoxrAudioConverter&) = delete;
    SoxrAudioConverter& operator=(const SoxrAudioConverter&) = delete;

    const AVAudioFormat& inputFormat() const override { return input_; }
    const AVAudioFormat& outputFormat() const override { return output_; }
    AVAudioConverterPrimeMethod primeMethod() const override { return primeMethod_; }
    // The output is aligned with the input under every method; the method is kept
    // only so that it reads back as set.
    void setPrimeMethod(AVAudioConverterPrimeMethod method) override { primeMethod_ = method; }

    AVAudioConverterOutputStatus convertToBuffer(AVAudioPCMBuffer& outputBuffer,
                                                const AVAudioConverterInputBlock& inputBlock) override;

    void reset() override {
        if (resampler_ != nullptr) soxr_clear(resampler_);
        pending_.reset();
        pendingOffset_ = 0;
        inputEnded_ = false;
        drained_ = false;
    }

private:
    enum class Step { progressed, ranDry, ended };

    std::size_t pendingFrames() const { return pending_ ? pending_->frameLength() - pendingOffset_ : 0; }
    // Input frames of the pending buffer, mapped onto the work channels, into inScratch_.
    void loadInput(std::size_t frames);
    // work-channel frames from outScratch_ into the output buffer at frame `at`.
    void storeOutput(AVAudioPCMBuffer& output, std::size_t at, std::size_t frames) const;
    Step pullInput(const AVAudioConverterInputBlock& inputBlock, std::size_t wantedOutputFrames);
    Step stepPassThrough(AVAudioPCMBuffer& output, std::size_t& written,
                         const AVAudioConverterInputBlock& inputBlock);
    Step stepResampled(AVAudioPCMBuffer& output, std::size_t& written,
                       const AVAudioConverterInputBlock& inputBlock);

    AVAudioFormat input_;
    AVAudioFormat output_;
    soxr_t resampler_;  // nullptr when both rates are equal: samples pass through
    unsigned workChannels_;
    AVAudioConverterPrimeMethod primeMethod_ = AVAudioConverterPrimeMethod::normal;
    std::vector<float> inScratch_;
    std::vector<float> outScratch_;
    std::shared_ptr<AVAudioPCMBuffer> pending_;  // the input buffer being consumed
    std::size_t pendingOffset_ = 0;
    bool inputEnded_ = false;
    bool drained_ = false;
};

void SoxrAudioConverter::loadInput(std::size_t frames) {
    const unsigned inputChannels = input_.channelCount();
    if (input_.commonFormat() == AVAudioCommonFormat::pcmFormatInt16 && input_.isInterleaved()) {
        // The speech helper's only input: read straight from the interleaved samples.
        const std::int16_t* samples = pending_->int16ChannelData()[0] + pendingOffset_ * inputChannels;
        if (workChannels_ == 1 && inputChannels > 1) {
            const float scale = 1.0f / (32768.0f * float(inputChannels));
            for (std::size_t f = 0; f < frames; ++f) {
                std::int32_t sum = 0;
                for (unsigned c = 0; c < inputChannels; ++c) sum += samples[f * inputChannels + c];
                inScratch_[f] = float(sum) * scale;
            }
        } else {
            for (std::size_t i = 0; i < frames * workChannels_; ++i) inScratch_[i] = float(samples[i]) / 32768.0f;
        }
        return;
    }
    const SampleReader read(*pending_);
    for (std::size_t f = 0; f < frames; ++f) {
        const std::size_t frame = pendingOffset_ + f;
        if (workChannels_ == 1 && inputChannels > 1) {
            // Mixed down to one channel: the mean of all input channels.
            float sum = 0.0f;
            for (unsigned c = 0; c < inputChannels; ++c) sum += read(frame, c);
            inScratch_[f] = sum / float(inputChannels);
        } else {
            for (unsigned c = 0; c < workChannels_; ++c) inScratch_[f * workChannels_ + c] = read(frame, c);
        }
    }
}

void SoxrAudioConverter::storeOutput(AVAudioPCMBuffer& output, std::size_t at, std::size_t frames) const {
    float* const* channels = output.floatChannelData();
    const unsigned outputChannels = output_.channelCount();
    const std::size_t stride = output.stride();
    const bool interleaved = output_.isInterleaved();
    for (std::size_t f = 0; f < frames; ++f) {
        for (unsigned c = 0; c < outputChannels; ++c) {
            // One work channel feeds every output channel when a mono input is spread out.
            const float sample = outScratch_[f * workChannels_ + (workChannels_ == 1 ? 0 : c)];
            if (interleaved) {
                channels[0][(at + f) * stride + c] = sample;
            } else {
                channels[c][at + f] = sample;
            }
        }
    }
}

SoxrAudioConverter::Step SoxrAudioConverter::pullInput(const AVAudioConverterInputBlock& inputBlock,
                                                      std::size_t wantedOutputFrames) {
    const double wanted = std::ceil(double(wantedOutputFrames) * input_.sampleRate() / output_.sampleRate());
    const auto hint = static_cast<AVAudioPacketCount>(std::clamp(wanted, 1.0, double(UINT32_MAX)));
    AVAudioConverterInputStatus status = AVAudioConverterInputStatus::noDataNow;
    std::shared_ptr<AVAudioPCMBuffer> buffer = inputBlock(hint, status);
    switch (status) {
        case AVAudioConverterInputStatus::haveData:
            if (!buffer || !(buffer->format() == input_)) {
                throw AVAudioError("The audio converter's input block returned a buffer of another format.");
            }
            // A buffer without frames ends the call like no data now, so that a block
            // can never keep one call busy.
            if (buffer->frameLength() == 0) return Step::ranDry;
            pending_ = std::move(buffer);
            pendingOffset_ = 0;
            return Step::progressed;
        case AVAudioConverterInputStatus::noDataNow: return Step::ranDry;
        case AVAudioConverterInputStatus::endOfStream:
            inputEnded_ = true;
            return Step::progressed;
    }
    throw AVAudioError("The audio converter's input block returned an unknown status.");
}

SoxrAudioConverter::Step SoxrAudioConverter::stepPassThrough(AVAudioPCMBuffer& output, std::size_t& written,
                                                            const AVAudioConverterInputBlock& inputBlock) {
    const std::size_t room = output.frameCapacity() - written;
    if (const std::size_t available = pendingFrames(); available > 0) {
        const std::size_t frames = std::min({available, room, kScratchFrames});
        loadInput(frames);
        std::copy_n(inScratch_.begin(), frames * workChannels_, outScratch_.begin());
        storeOutput(output, written, frames);
        written += frames;
        pendingOffset_ += frames;
        if (pendingFrames() == 0) pending_.reset();
        return Step::progressed;
    }
    if (inputEnded_) {
        drained_ = true;
        return Step::ended;
    }
    return pullInput(inputBlock, room);
}

SoxrAudioConverter::Step SoxrAudioConverter::stepResampled(AVAudioPCMBuffer& output, std::size_t& written,
                                                          const AVAudioConverterInputBlock& inputBlock) {
    const std::size_t room = std::min<std::size_t>(output.frameCapacity() - written, kScratchFrames);
    std::size_t used = 0, made = 0;
    soxr_error_t error = nullptr;
    if (const std::size_t available = pendingFrames(); available > 0) {
        const std::size_t frames = std::min(available, kScratchFrames);
        loadInput(frames);
        error = soxr_process(resampler_, inScratch_.data(), frames, &used, outScratch_.data(), room, &made);
    } else if (inputEnded_) {
        // A null input tells libsoxr the stream has ended: it flushes what it holds.
        error = soxr_process(resampler_, nullptr, 0, nullptr, outScratch_.data(), room, &made);
        if (error == nullptr && made == 0) {
            drained_ = true;
            return Step::ended;
        }
    } else {
        // What an earlier call left inside the resampler comes before new input.
        error = soxr_process(resampler_, inScratch_.data(), 0, &used, outScratch_.data(), room, &made);
        if (error == nullptr && made == 0) return pullInput(inputBlock, room);
    }
    if (error != nullptr) throw AVAudioError(std::string("Sample-rate conversion failed: ") + error);
    if (used == 0 && made == 0) throw AVAudioError("Sample-rate conversion made no progress.");
    storeOutput(output, written, made);
    written += made;
    pendingOffset_ += used;
    if (pending_ && pendingFrames() == 0) pending_.reset();
    return Step::progressed;
}

AVAudioConverterOutputStatus SoxrAudioConverter::convertToBuffer(AVAudioPCMBuffer& outputBuffer,
                                                                const AVAudioConverterInputBlock& inputBlock) {
    if (!(outputBuffer.format() == output_)) {
        throw AVAudioError("The audio converter's output buffer has another format.");
    }
    std::size_t written = 0;
    AVAudioConverterOutputStatus status = AVAudioConverterOutputStatus::haveData;
    while (!drained_ && written < outputBuffer.frameCapacity()) {
        const Step step = resampler_ == nullptr ? stepPassThrough(outputBuffer, written, inputBlock)
                                                : stepResampled(outputBuffer, written, inputBlock);
        if (step == Step::ranDry) {
            status = AVAudioConverterOutputStatus::inputRanDry;
            break;
        }
    }
    if (drained_) status = AVAudioConverterOutputStatus::endOfStream;
    outputBuffer.setFrameLength(static_cast<AVAudioFrameCount>(written));
    return status;
}

}  // namespace

std::unique_ptr<AVAudioConverter> AVAudioConverter::make(const AVAudioFormat& fromFormat,
                                                         const AVAudioFormat& toFormat) {
    if (!isSupportedInput(fromFormat)) return nullptr;
    if (toFormat.commonFormat() != AVAudioCommonFormat::pcmFormatFloat32) return nullptr;
    const unsigned from = fromFormat.channelCount(), to = toFormat.channelCount();
    // Channels map one to one, one channel spreads to all, or all mix down to one.
    if (from != to && from != 1 && to != 1) return nullptr;
    const unsigned workChannels = std::min(from, to);
    soxr_t resampler = nullptr;
    if (fromFormat.sampleRate() != toFormat.sampleRate()) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler = soxr_create(fromFormat.sampleRate(), toFormat.sampleRate(), workChannels, &error, &io,
                                &quality, nullptr);
        if (error != nullptr || resampler == nullptr) {
            if (resampler != nullptr) soxr_delete(resampler);
            return nullptr;
        }
    }
    try {
        return std::make_unique<SoxrAudioConverter>(fromFormat, toFormat, resampler, workChannels);
    } catch (const std::bad_alloc&) {
        if (resampler != nullptr) soxr_delete(resampler);
        return nullptr;
    }
}

}  // namespace quorvantel
