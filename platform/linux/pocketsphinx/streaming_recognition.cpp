#include "platform/linux/pocketsphinx/streaming_recognition.h"

#include "platform/linux/pocketsphinx/token_filter.h"

namespace quorvantel::pocketsphinx {
namespace {

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

}  // namespace

StreamingRecognition::StreamingRecognition(SpeechDecoder& decoder, Deliver deliver)
    : decoder_(decoder), deliver_(std::move(deliver)) {}

void StreamingRecognition::feed(CMTime start, const std::int16_t* samples, std::size_t count) {
    if (count == 0) return;
    if (!inUtterance_) {
        decoder_.startUtterance();
        inUtterance_ = true;
        heardSpeech_ = false;
        utteranceSamples_ = 0;
        partialText_.reset();
    }
    timeline_.append(start, static_cast<std::int64_t>(count));
    decoder_.process(samples, count);
    utteranceSamples_ += static_cast<std::int64_t>(count);
    const bool inSpeech = decoder_.inSpeech();
    if (inSpeech) heardSpeech_ = true;
    // The decoder's voice detection closes the utterance once the speech is over.
    if (heardSpeech_ && (!inSpeech || utteranceSamples_ >= kLongestUtteranceSamples)) {
        endUtterance();
    } else if (heardSpeech_) {
        deliverPartial();
    } else {
        // Before speech nothing points far back: silence of any length, re-anchored
        // as often as the host likes, keeps only the last moments mapped.
        timeline_.forgetBefore(timeline_.samplesFed() - kRetainedTimelineSamples);
    }
}

void StreamingRecognition::finish() {
    if (inUtterance_) endUtterance();
}

std::vector<StreamingRecognition::Word> StreamingRecognition::words() {
    std::vector<Word> words;
    for (const DecodedToken& token : decoder_.tokens()) {
        std::optional<std::string> word = spokenWord(token.token);
        if (!word) continue;
        const CMTime start = timeline_.startTime(token.firstFrame * kSamplesPerFrame);
        const CMTime end = timeline_.endTime((token.lastFrame + 1) * kSamplesPerFrame);
        words.push_back(Word{std::move(*word), CMTimeRangeMake(start, CMTimeSubtract(end, start))});
    }
    return words;
}

SpeechTranscriptionResult StreamingRecognition::result(const std::vector<Word>& words, bool isFinal) const {
    SpeechTranscriptionResult result;
    for (const Word& word : words) {
        if (!result.text.runs.empty()) result.text.append(" ");
        result.text.append(word.text, word.range);
    }
    if (words.empty()) {
        // A final result that closes a partial one whose words the decoder took back.
        result.range = partialRange_;
    } else {
        // From the earliest start to the latest end: inputs re-anchored back in time
        // may leave words out of order, and the result's range must still be one.
        CMTime start = words.front().range.start;
        CMTime end = CMTimeRangeGetEnd(words.front().range);
        for (const Word& word : words) {
            const CMTime wordEnd = CMTimeRangeGetEnd(word.range);
            if (word.range.start < start) start = word.range.start;
            if (end < word.range.start) end = word.range.start;
            if (end < wordEnd) end = wordEnd;
        }
        result.range = CMTimeRangeMake(start, CMTimeSubtract(end, start));
    }
    result.isFinal = isFinal;
    return result;
}

void StreamingRecognition::deliverPartial() {
    const std::vector<Word> current = words();
    if (current.empty()) return;
    std::vector<std::string> texts;
    for (const Word& word : current) texts.push_back(word.text);
    std::string text = joined(texts);
    if (partialText_ && *partialText_ == text) return;
    SpeechTranscriptionResult partial = result(current, false);
    partialText_ = std::move(text);
    partialRange_ = partial.range;
    deliver_(std::move(partial));
}

void StreamingRecognition::endUtterance() {
    decoder_.endUtterance();
    inUtterance_ = false;
    const std::vector<Word> final = words();
    // An utterance without words was noise; it has nothing to close unless a partial
    // result already opened it.
    if (!final.empty() || partialText_) deliver_(result(final, true));
    partialText_.reset();
    timeline_.forgetBefore(timeline_.samplesFed() - kRetainedTimelineSamples);
}

}  // namespace quorvantel::pocketsphinx
