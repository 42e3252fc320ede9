// One transcript result as the on-device recogniser delivers it: attributed text
// whose runs may carry the audio time range they were heard in, the range of audio
// the whole result covers, and whether the result is final.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/coremedia/cmtime.h"

namespace quorvantel {

// The recogniser's attributed text, reduced to what readers of a result need: its
// runs in text order. A run is a stretch of characters (UTF-8) with one set of
// attributes; the only attribute kept is the audio time range of the speech the
// characters were recognised from. Neighbouring runs may carry equal ranges.
struct AttributedString {
    struct Run {
        std::string characters;
        std::optional<CMTimeRange> audioTimeRange;
    };

    std::vector<Run> runs;

    AttributedString() = default;
    explicit AttributedString(std::vector<Run> textRuns) : runs(std::move(textRuns)) {}

    // Appends a run at the end of the text.
    void append(std::string characters, std::optional<CMTimeRange> audioTimeRange = std::nullopt) {
        runs.push_back(Run{std::move(characters), audioTimeRange});
    }

    // The plain text: every run's characters, joined in order, unchanged.
    std::string characters() const {
        std::size_t size = 0;
        for (const Run& run : runs) size += run.characters.size();
        std::string text;
        text.reserve(size);
        for (const Run& run : runs) text += run.characters;
        return text;
    }
};

struct SpeechTranscriptionResult {
    AttributedString text;
    // The audio the result covers, on the timeline of the input buffers' start times.
    CMTimeRange range{kCMTimeInvalid, kCMTimeInvalid};
    // True for the result that closes an utterance; false for a partial result that
    // later results revise.
    bool isFinal = false;
};

}  // namespace quorvantel
