#include "platform/linux/pocketsphinx/pocketsphinx_analyzer.h"

#include <algorithm>
#include <vector>

#include "platform/linux/pocketsphinx/sample_conversion.h"

namespace quorvantel::pocketsphinx {
namespace {

constexpr const char* kFormatMessage = "pocketsphinx needs 16 kHz mono 32-bit float audio.";
constexpr const char* kNotPreparedMessage = "The pocketsphinx analyzer was not prepared.";
constexpr const char* kCancelledMessage = "The speech analysis was cancelled.";

}  // namespace

PocketsphinxAnalyzer::PocketsphinxAnalyzer(std::shared_ptr<PocketsphinxTranscriber> transcriber,
                                           DecoderFactory makeDecoder)
    : transcriber_(std::move(transcriber)), makeDecoder_(std::move(makeDecoder)) {}

void PocketsphinxAnalyzer::prepareToAnalyze(const AVAudioFormat& format) {
    if (format.commonFormat() != AVAudioCommonFormat::pcmFormatFloat32 || format.sampleRate() != kDecoderSampleRate ||
        format.channelCount() != 1) {
        throw SpeechPlatformError(kFormatMessage);
    }
    decoder_ = makeDecoder_();
    TranscriptionResultQueue& results = transcriber_->results();
    recognition_ = std::make_unique<StreamingRecognition>(
        *decoder_, [&results](SpeechTranscriptionResult result) { results.deliver(std::move(result)); });
}

void PocketsphinxAnalyzer::stopIfCancelled() const {
    if (cancelled_.load()) throw SpeechPlatformError(kCancelledMessage);
}

std::optional<CMTime> PocketsphinxAnalyzer::analyzeSequence(AnalyzerInputSequence& inputs) {
    if (!recognition_) throw SpeechPlatformError(kNotPreparedMessage);
    std::optional<CMTime> lastSampleTime;
    while (std::optional<AnalyzerInput> input = inputs.next()) {
        stopIfCancelled();
        if (input->buffer->frameLength() == 0) continue;
        feed(*input);
        lastSampleTime =
            CMTimeAdd(input->bufferStartTime, CMTimeMake(input->buffer->frameLength(), kDecoderSampleRate));
    }
    return lastSampleTime;
}

void PocketsphinxAnalyzer::feed(const AnalyzerInput& input) {
    const AVAudioPCMBuffer& buffer = *input.buffer;
    const float* samples = buffer.floatChannelData()[0];
    const std::size_t frames = buffer.frameLength();
    std::vector<std::int16_t> step;
    step.reserve(kStepSamples);
    for (std::size_t first = 0; first < frames; first += kStepSamples) {
        stopIfCancelled();
        const std::size_t count = std::min(kStepSamples, frames - first);
        step.clear();
        for (std::size_t i = 0; i < count; ++i) step.push_back(decoderSample(samples[first + i]));
        const CMTime start = CMTimeAdd(input.bufferStartTime,
                                       CMTimeMake(static_cast<CMTimeValue>(first), kDecoderSampleRate));
        recognition_->feed(start, step.data(), step.size());
    }
}

void PocketsphinxAnalyzer::finalizeAndFinish(CMTime) {
    // Every input fed lies before the time given, so the whole utterance in progress
    // is final.
    if (!cancelled_.load() && recognition_) recognition_->finish();
    transcriber_->results().end();
}

void PocketsphinxAnalyzer::cancelAndFinishNow() {
    cancelled_.store(true);
    transcriber_->results().endNow();
}

}  // namespace quorvantel::pocketsphinx
