// The analyzer on a streaming decoder: it takes the inputs in order, hands their
// audio to the decoder in steps of 100 ms and delivers the results to its
// transcriber.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/linux/pocketsphinx/pocketsphinx_transcriber.h"
#include "platform/linux/pocketsphinx/speech_decoder.h"
#include "platform/linux/pocketsphinx/streaming_recognition.h"
#include "platform/speech/speech_analyzer.h"

namespace quorvantel::pocketsphinx {

// Audio given to the decoder in one step: a partial result can follow each step, and
// a stop takes effect between two.
inline constexpr std::size_t kStepSamples = kDecoderSampleRate / 10;

using DecoderFactory = std::function<std::unique_ptr<SpeechDecoder>()>;

class PocketsphinxAnalyzer final : public SpeechAnalyzer {
public:
    PocketsphinxAnalyzer(std::shared_ptr<PocketsphinxTranscriber> transcriber, DecoderFactory makeDecoder);

    // Accepts 32-bit float 16 kHz mono only, then loads the decoder.
    void prepareToAnalyze(const AVAudioFormat& format) override;
    std::optional<CMTime> analyzeSequence(AnalyzerInputSequence& inputs) override;
    void finalizeAndFinish(CMTime through) override;
    void cancelAndFinishNow() override;

private:
    void feed(const AnalyzerInput& input);
    void stopIfCancelled() const;

    std::shared_ptr<PocketsphinxTranscriber> transcriber_;
    DecoderFactory makeDecoder_;
    std::unique_ptr<SpeechDecoder> decoder_;
    std::unique_ptr<StreamingRecognition> recognition_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace quorvantel::pocketsphinx
