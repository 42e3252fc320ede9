#include "platform/sim/speech/sim_speech_analyzer.h"

#include <cmath>

namespace quorvantel::sim {
namespace {
constexpr const char* kCancelledMessage = "The speech analysis was cancelled.";
}

SimSpeechAnalyzer::SimSpeechAnalyzer(std::shared_ptr<SimSpeechTranscriber> transcriber, SimRecognizerFaults faults)
    : transcriber_(std::move(transcriber)), faults_(std::move(faults)) {}

void SimSpeechAnalyzer::prepareToAnalyze(const AVAudioFormat& format) {
    if (format.commonFormat() != AVAudioCommonFormat::pcmFormatFloat32) {
        throw SpeechPlatformError("The speech analyzer needs 32-bit float audio.");
    }
    rate_ = static_cast<std::int32_t>(std::lround(format.sampleRate()));
    channels_ = format.channelCount();
    if (rate_ < kWindowsPerSecond) throw SpeechPlatformError("The speech analyzer cannot use this sample rate.");
}

bool SimSpeechAnalyzer::cancelled() {
    std::lock_guard<std::mutex> guard(lock_);
    return cancelled_;
}

std::optional<CMTime> SimSpeechAnalyzer::analyzeSequence(AnalyzerInputSequence& inputs) {
    std::optional<CMTime> lastSampleTime;
    while (true) {
        if (faults_.stallAfterInputs && inputsTaken_ >= *faults_.stallAfterInputs) {
            // A stalled recogniser takes nothing more until it is cancelled.
            std::unique_lock<std::mutex> guard(lock_);
            cancelledSignal_.wait(guard, [&] { return cancelled_; });
            throw SpeechPlatformError(kCancelledMessage);
        }
        std::optional<AnalyzerInput> input = inputs.next();
        if (!input) break;
        if (cancelled()) throw SpeechPlatformError(kCancelledMessage);
        ++inputsTaken_;
        if (faults_.failAfterInputs && inputsTaken_ > *faults_.failAfterInputs) {
            throw SpeechPlatformError(faults_.failureMessage);
        }
        feed(*input);
        const CMTime start = CMTimeConvertScale(input->bufferStartTime, rate_,
                                                kCMTimeRoundingMethod_RoundHalfAwayFromZero);
        lastSampleTime = CMTimeAdd(start, CMTimeMake(input->buffer->frameLength(), rate_));
    }
    return lastSampleTime;
}

void SimSpeechAnalyzer::feed(const AnalyzerInput& input) {
    const AVAudioPCMBuffer& buffer = *input.buffer;
    const std::int64_t start =
        CMTimeConvertScale(input.bufferStartTime, rate_, kCMTimeRoundingMethod_RoundHalfAwayFromZero).value;
    float* const* data = buffer.floatChannelData();
    const std::size_t stride = buffer.stride();
    const std::uint32_t buffers = buffer.format().bufferCount();
    for (std::int64_t frame = 0; frame < buffer.frameLength(); ++frame) {
        double energy = 0;
        for (std::uint32_t b = 0; b < buffers; ++b) {
            for (std::size_t k = 0; k < stride; ++k) {
                const double v = data[b][static_cast<std::size_t>(frame) * stride + k];
                energy += v * v;
            }
        }
        addSample(start + frame, energy / double(channels_));
    }
}

void SimSpeechAnalyzer::addSample(std::int64_t position, double energy) {
    const std::int64_t window = position / samplesPerWindow();
    if (currentWindow_ < 0) currentWindow_ = window;
    // Windows that passed without audio are unvoiced.
    while (currentWindow_ < window) closeCurrentWindow();
    windowSquares_ += energy;
    ++windowSamples_;
}

void SimSpeechAnalyzer::closeCurrentWindow() {
    const bool voiced = std::sqrt(windowSquares_ / double(samplesPerWindow())) >= kVoicedRms;
    closeWindow(currentWindow_ * samplesPerWindow(), (currentWindow_ + 1) * samplesPerWindow(), voiced);
    ++currentWindow_;
    windowSquares_ = 0;
    windowSamples_ = 0;
}

void SimSpeechAnalyzer::closeWindow(std::int64_t start, std::int64_t end, bool voiced) {
    const std::int64_t wordSamples = rate_ / kWordsPerSecond;
    if (voiced) {
        if (!inUtterance_) {
            inUtterance_ = true;
            utteranceStart_ = start;
            wordsDelivered_ = 0;
        }
        lastVoicedEnd_ = end;
        const std::int64_t wholeWords = (lastVoicedEnd_ - utteranceStart_) / wordSamples;
        if (wholeWords > wordsDelivered_) {
            wordsDelivered_ = wholeWords;
            deliver(utteranceStart_ + wholeWords * wordSamples, false);
        }
    } else if (inUtterance_ && (end - lastVoicedEnd_) * 1000 >= std::int64_t(kUtteranceEndSilenceMs) * rate_) {
        deliver(lastVoicedEnd_, true);
        inUtterance_ = false;
    }
}

void SimSpeechAnalyzer::deliver(std::int64_t endSample, bool isFinal) {
    const std::int64_t wordSamples = rate_ / kWordsPerSecond;
    const std::string word = faults_.resultText.value_or("speech");
    SpeechTranscriptionResult result;
    for (std::int64_t start = utteranceStart_; start < endSample; start += wordSamples) {
        const std::int64_t end = std::min(start + wordSamples, endSample);
        if (start != utteranceStart_) result.text.append(" ");
        result.text.append(word, CMTimeRangeMake(CMTimeMake(start, rate_), CMTimeMake(end - start, rate_)));
    }
    result.range = CMTimeRangeMake(CMTimeMake(utteranceStart_, rate_), CMTimeMake(endSample - utteranceStart_, rate_));
    result.isFinal = isFinal;
    transcriber_->deliver(std::move(result));
}

void SimSpeechAnalyzer::finalizeAndFinish(CMTime through) {
    if (through.isNumeric() && currentWindow_ >= 0) {
        const std::int64_t end = CMTimeConvertScale(through, rate_, kCMTimeRoundingMethod_RoundHalfAwayFromZero).value;
        while ((currentWindow_ + 1) * samplesPerWindow() <= end) closeCurrentWindow();
        // The window in progress counts with the audio it has.
        if (windowSamples_ > 0) {
            const bool voiced = std::sqrt(windowSquares_ / double(windowSamples_)) >= kVoicedRms;
            closeWindow(currentWindow_ * samplesPerWindow(), currentWindow_ * samplesPerWindow() + windowSamples_,
                        voiced);
        }
    }
    if (inUtterance_) deliver(lastVoicedEnd_, true);
    inUtterance_ = false;
    transcriber_->end();
}

void SimSpeechAnalyzer::cancelAndFinishNow() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        cancelled_ = true;
        cancelledSignal_.notify_all();
    }
    transcriber_->end();
}

}  // namespace quorvantel::sim
