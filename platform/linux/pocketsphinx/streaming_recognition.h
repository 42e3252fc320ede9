// The recogniser's results from a streaming decoder: a partial result whenever the
// words of the utterance in progress change, a final one when the decoder ends the
// utterance or the audio ends. Every word is a run with the audio time range it was
// heard in, on the inputs' own timeline; words are joined by single spaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/coremedia/cmtime.h"
#include "platform/linux/pocketsphinx/decoder_timeline.h"
#include "platform/linux/pocketsphinx/speech_decoder.h"
#include "platform/speech/transcription_result.h"

namespace quorvantel::pocketsphinx {

// Audio kept mapped behind the utterance in progress, in case the decoder's first
// frames of an utterance reach back over its start.
inline constexpr std::int64_t kRetainedTimelineSamples = kDecoderSampleRate;
// Speech that goes on without a pause is cut into utterances of at most this much
// audio: the decoder's memory grows with an utterance, and its result text with it.
inline constexpr std::int64_t kLongestUtteranceSamples = 30 * kDecoderSampleRate;

class StreamingRecognition {
public:
    using Deliver = std::function<void(SpeechTranscriptionResult)>;
    StreamingRecognition(SpeechDecoder& decoder, Deliver deliver);

    // Feeds samples that start at `start` on the inputs' timeline, as one step of the
    // decoder; results follow from what the decoder then reports.
    void feed(CMTime start, const std::int16_t* samples, std::size_t count);
    // Ends the utterance in progress, with its final result.
    void finish();

private:
    struct Word {
        std::string text;
        CMTimeRange range;
    };
    std::vector<Word> words();
    void deliverPartial();
    void endUtterance();
    SpeechTranscriptionResult result(const std::vector<Word>& words, bool isFinal) const;

    SpeechDecoder& decoder_;
    Deliver deliver_;
    DecoderTimeline timeline_;
    bool inUtterance_ = false;
    bool heardSpeech_ = false;
    std::int64_t utteranceSamples_ = 0;
    // The text of the last partial result of the utterance, when one was delivered.
    std::optional<std::string> partialText_;
    CMTimeRange partialRange_{kCMTimeInvalid, kCMTimeInvalid};
};

}  // namespace quorvantel::pocketsphinx
