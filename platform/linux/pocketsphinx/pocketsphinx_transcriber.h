// The transcriber module on pocketsphinx: its locale and the results its analyzer
// delivers.
#pragma once

#include "platform/speech/speech_transcriber.h"
#include "platform/speech/transcription_result_queue.h"

namespace quorvantel::pocketsphinx {

class PocketsphinxTranscriber final : public SpeechTranscriber {
public:
    explicit PocketsphinxTranscriber(Locale locale) : locale_(std::move(locale)) {}
    const Locale& locale() const override { return locale_; }
    std::optional<SpeechTranscriptionResult> nextResult() override { return results_.next(); }
    TranscriptionResultQueue& results() { return results_; }

private:
    Locale locale_;
    TranscriptionResultQueue results_;
};

}  // namespace quorvantel::pocketsphinx
