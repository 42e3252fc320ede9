#include "speech/pcm_converter.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "speech/speech_failure.h"

namespace quorvantel::speech {
namespace {

__extension__ typedef __int128 i128;

// A rate usable as an exact timescale: a whole number of frames per second.
std::optional<CMTimeScale> wholeRate(double rate) {
    if (!(rate >= 1.0 && rate <= double(std::numeric_limits<CMTimeScale>::max()))) return std::nullopt;
    if (std::floor(rate) != rate) return std::nullopt;
    return static_cast<CMTimeScale>(rate);
}

// Parsed packets always pass; packets made elsewhere (silence fill, file reading,
// tests) are held to the same bounds, so that a malformed one can neither divide by a
// zero channel count, lose its trailing bytes, nor be anchored at a time that is not a
// number.
bool isConvertiblePacket(const AudioPacket& packet) {
    if (packet.sampleRate != 16000 && packet.sampleRate != 48000) return false;
    if (packet.channels != 1 && packet.channels != 2) return false;
    if (!(packet.startMs >= 0.0 && packet.startMs <= kMaximumRecordingMs)) return false;
    const std::size_t frameBytes = std::size_t(packet.channels) * 2;
    return !packet.data.empty() && packet.data.size() % frameBytes == 0 &&
           packet.data.size() <= kMaximumPacketBytesPerRateUnit * std::size_t(packet.sampleRate);
}

// round(frames × toRate ÷ fromRate), halves away from zero: the exact length of a
// whole run at the output rate. Whole rates (all the helper meets) are computed
// without floating point.
std::int64_t convertedLength(std::int64_t frames, double fromRate, CMTimeScale toRate) {
    const std::optional<CMTimeScale> from = wholeRate(fromRate);
    if (!from) return std::llround(double(frames) * double(toRate) / fromRate);
    const i128 numerator = i128(frames) * toRate;
    i128 quotient = numerator / *from;
    const i128 remainder = numerator % *from;
    if (remainder * 2 >= *from) quotient += 1;
    return static_cast<std::int64_t>(quotient);
}

}  // namespace

PCMConverter::PCMConverter(const AVAudioFormat& outputFormat)
    : PCMConverter(outputFormat, [](const AVAudioFormat& from, const AVAudioFormat& to) {
          return AVAudioConverter::make(from, to);
      }) {}

PCMConverter::PCMConverter(const AVAudioFormat& outputFormat, ConverterFactory makeConverter)
    : outputFormat_(outputFormat), makeConverter_(std::move(makeConverter)) {}

ConvertedBuffers PCMConverter::convert(const AudioPacket& packet) {
    if (!isConvertiblePacket(packet)) throw SpeechFailure(kInvalidPacketMessage);
    const double tolerance = continuityToleranceMs(packet.source);
    ConvertedBuffers result;
    bool continues = false;
    if (nextInputMs_) {
        if (packet.startMs < *nextInputMs_ - tolerance) throw SpeechFailure(kOutOfOrderAudioMessage);
        continues = converter_ && std::fabs(packet.startMs - *nextInputMs_) <= tolerance &&
                    packet.channels == channelCount_ && packet.sampleRate == inputSampleRate_;
    }
    if (packet.source == Source::microphone) {
        // Audio past the end would reach the recogniser and come back as a result range
        // outside the recording; it is the input's fault and fails as such.
        const double runFrames = double(packet.frames()) + (continues ? double(inputFrames_) : 0.0);
        const double endMs = (continues ? originMs_ : packet.startMs) + runFrames / double(packet.sampleRate) * 1000.0;
        if (endMs > kMaximumRecordingMs) throw SpeechFailure(kMicrophonePastTimelineMessage);
    }
    if (!continues) {
        if (converter_) {
            // The old run ends here: its tail comes first, cut to its exact length.
            result = pump(*converter_, nullptr, true);
            converter_.reset();
        }
        startRun(packet);
    }

    const auto frames = static_cast<AVAudioFrameCount>(packet.frames());
    std::shared_ptr<AVAudioPCMBuffer> input = AVAudioPCMBuffer::make(converter_->inputFormat(), frames);
    AudioBufferList* list = input ? input->mutableAudioBufferList() : nullptr;
    if (list == nullptr || list->mNumberBuffers < 1 || list->mBuffers[0].mData == nullptr) {
        throw SpeechFailure(kInputAudioAllocationMessage);
    }
    input->setFrameLength(frames);
    // The packet's bytes are already the run's input format: 16-bit little-endian,
    // interleaved.
    std::memcpy(list->mBuffers[0].mData, packet.data.data(), std::size_t(frames) * std::size_t(packet.channels) * 2);

    inputFrames_ += frames;
    ConvertedBuffers converted = pump(*converter_, std::move(input), false);
    result.insert(result.end(), std::make_move_iterator(converted.begin()), std::make_move_iterator(converted.end()));
    // Recomputed from the anchor every time, so that rounding never accumulates.
    nextInputMs_ = originMs_ + double(inputFrames_) / double(*inputSampleRate_) * 1000.0;
    return result;
}

void PCMConverter::startRun(const AudioPacket& packet) {
    const auto inputFormat = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, double(packet.sampleRate),
                                                 static_cast<AVAudioChannelCount>(packet.channels), true);
    // Buffer times are counted in output frames, so the output rate must be whole.
    if (!inputFormat || !wholeRate(outputFormat_.sampleRate())) throw SpeechFailure(kConverterUnavailableMessage);
    std::unique_ptr<AVAudioConverter> converter = makeConverter_(*inputFormat, outputFormat_);
    if (!converter) throw SpeechFailure(kConverterUnavailableMessage);
    converter->setPrimeMethod(AVAudioConverterPrimeMethod::none);

    converter_ = std::move(converter);
    channelCount_ = packet.channels;
    inputSampleRate_ = packet.sampleRate;
    originMs_ = packet.startMs;
    if (packet.source == Source::systemAudio) {
        // Exactly on the 48 kHz grid, however far into the recording.
        originTime_ = CMTimeMake(std::llround(packet.startMs * 48.0), kAnchorTimescale);
    } else {
        originTime_ = CMTimeMakeWithSeconds(packet.startMs / 1000.0, kAnchorTimescale);
    }
    outputFrames_ = 0;
    inputFrames_ = 0;
}

ConvertedBuffers PCMConverter::flush() {
    if (!converter_) return {};
    ConvertedBuffers tail = pump(*converter_, nullptr, true);
    converter_.reset();
    return tail;
}

ConvertedBuffers PCMConverter::pump(AVAudioConverter& converter, std::shared_ptr<AVAudioPCMBuffer> input, bool end) {
    auto holder = std::make_shared<ConverterInput>();
    holder->buffer = std::move(input);
    // The converter receives the input buffer exactly once per pump; after that it is
    // told there is nothing now, or that the run's input has ended.
    const AVAudioConverterInputBlock inputBlock = [holder, end](AVAudioPacketCount,
                                                                AVAudioConverterInputStatus& status) {
        std::lock_guard<std::mutex> guard(holder->lock);
        std::shared_ptr<AVAudioPCMBuffer> buffer = std::exchange(holder->buffer, nullptr);
        if (buffer) {
            status = AVAudioConverterInputStatus::haveData;
        } else {
            status = end ? AVAudioConverterInputStatus::endOfStream : AVAudioConverterInputStatus::noDataNow;
        }
        return buffer;
    };

    const std::optional<CMTimeScale> wholeOutputRate = wholeRate(converter.outputFormat().sampleRate());
    if (!wholeOutputRate) throw SpeechFailure(kConverterUnavailableMessage);
    const CMTimeScale outputRate = *wholeOutputRate;
    ConvertedBuffers result;
    for (int call = 0; call < kMaximumConversionCallsPerPump; ++call) {
        std::shared_ptr<AVAudioPCMBuffer> output = AVAudioPCMBuffer::make(outputFormat_, kConvertedBufferCapacityFrames);
        if (!output) throw SpeechFailure(kConvertedAudioAllocationMessage);
        const AVAudioConverterOutputStatus status = converter.convertToBuffer(*output, inputBlock);
        if (status == AVAudioConverterOutputStatus::error) throw SpeechFailure(kConversionFailedMessage);
        if (end) {
            // Frames past the exact converted length of the whole run are dropped.
            const std::int64_t expected =
                convertedLength(inputFrames_, converter.inputFormat().sampleRate(), outputRate);
            const std::int64_t allowed = std::max<std::int64_t>(0, expected - outputFrames_);
            if (std::int64_t(output->frameLength()) > allowed) {
                output->setFrameLength(static_cast<AVAudioFrameCount>(allowed));
            }
        }
        if (output->frameLength() > 0) {
            const CMTime start = CMTimeAdd(originTime_, CMTimeMake(outputFrames_, outputRate));
            outputFrames_ += output->frameLength();
            result.push_back(ConvertedBuffer{std::move(output), start});
        }
        if (status == AVAudioConverterOutputStatus::endOfStream ||
            status == AVAudioConverterOutputStatus::inputRanDry) {
            return result;
        }
    }
    throw SpeechFailure(kConversionWorkLimitMessage);
}

}  // namespace quorvantel::speech
