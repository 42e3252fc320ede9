// The stand-in transcriber module: a queue of results that its analyzer fills and
// the session's results thread drains, in order.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/speech/speech_transcriber.h"

namespace quorvantel::sim {

class SimSpeechTranscriber final : public SpeechTranscriber {
public:
    explicit SimSpeechTranscriber(Locale locale) : locale_(std::move(locale)) {}

    const Locale& locale() const override { return locale_; }
    std::optional<SpeechTranscriptionResult> nextResult() override;

    // Called by the analyzer.
    void deliver(SpeechTranscriptionResult result);
    // Ends the results: normally, or with the recogniser's failure.
    void end(std::optional<std::string> failure = std::nullopt);

private:
    Locale locale_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<SpeechTranscriptionResult> results_;
    bool ended_ = false;
    std::optional<std::string> failure_;
};

}  // namespace quorvantel::sim
