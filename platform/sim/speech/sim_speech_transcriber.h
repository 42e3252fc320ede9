// The stand-in transcriber module: a queue of results that its analyzer fills and
// the session's results thread drains, in order.
#pragma once

#include <optional>
#include <string>

#include "platform/speech/speech_transcriber.h"
#include "platform/speech/transcription_result_queue.h"

namespace quorvantel::sim {

class SimSpeechTranscriber final : public SpeechTranscriber {
public:
    explicit SimSpeechTranscriber(Locale locale) : locale_(std::move(locale)) {}

    const Locale& locale() const override { return locale_; }
    std::optional<SpeechTranscriptionResult> nextResult() override { return results_.next(); }

    // Called by the analyzer.
    void deliver(SpeechTranscriptionResult result) { results_.deliver(std::move(result)); }
    // Ends the results: normally, or with the recogniser's failure, after which
    // nothing more is delivered.
    void end(std::optional<std::string> failure = std::nullopt) {
        if (failure) results_.endNow(std::move(failure));
        else results_.end();
    }

private:
    Locale locale_;
    TranscriptionResultQueue results_;
};

}  // namespace quorvantel::sim
