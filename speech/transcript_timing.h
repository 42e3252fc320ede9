// Times of one transcript result on the recording timeline, and the `segment` record
// that carries it. The per-word audio ranges the recogniser attaches to the text are
// used when they are complete and consistent; otherwise the range the recogniser
// gives for the whole result. Pure: plain values in, plain values out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/coremedia/cmtime.h"
#include "platform/foundation/json.h"
#include "platform/speech/transcription_result.h"
#include "speech/source.h"

namespace quorvantel::speech {

inline constexpr const char* kInvalidResultRangeMessage = "Apple returned an invalid transcription result range.";
// Every time produced lies within the seven days of a recording.
inline constexpr double kTranscriptTimelineEndMs = 604'800'000.0;

inline constexpr const char* kSpeechAudioRangeTimingSource = "speech-audio-range";
inline constexpr const char* kResultRangeTimingSource = "result-range";

// A range's start and end in milliseconds, unrounded.
struct TranscriptBounds {
    double startMs = 0;
    double endMs = 0;
};

struct TranscriptTiming {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    // kSpeechAudioRangeTimingSource or kResultRangeTimingSource.
    std::string timingSource;

    bool operator==(const TranscriptTiming&) const = default;
};

// The range's bounds when it is a usable time range: valid, numeric start,
// duration and end of epoch 0 with a timescale of at least 1, a duration that is
// zero or positive, and 0 ≤ start ≤ end ≤ seven days. Nothing otherwise.
std::optional<TranscriptBounds> transcriptBounds(const CMTimeRange& range);

// Whether the characters (UTF-8) hold anything but white space, line breaks and
// punctuation: at least one scalar outside Unicode general categories Z* and P* and
// outside U+000A to U+000D and U+0085. Ill-formed bytes count as content.
bool hasWordContent(std::string_view characters);

// The word ranges' first start and last end when every run with word content has a
// usable, positive-length range and the ranges never go backwards ("speech-audio-
// range"); the result range otherwise ("result-range"). Raises SpeechFailure
// kInvalidResultRangeMessage when the result range itself is not usable.
TranscriptTiming transcriptTiming(const AttributedString& text, const CMTimeRange& resultRange);

// "<source>-<count>": the source's raw value and the number of final results the
// session has already written; every revision of one utterance shares it.
std::string segmentId(Source source, std::int64_t finalResultsWritten);

// The `segment` line's object: type, source, id, startMs, endMs, timingSource, text
// (exactly as recognised) and isFinal.
json::Value segmentRecord(Source source, std::int64_t finalResultsWritten, const TranscriptTiming& timing,
                          std::string text, bool isFinal);

// The fixed timing examples the helper's self-test checks, in order. Raises the
// first failing check's SpeechFailure ("Self-test failed: …").
void transcriptTimingSelftest();

}  // namespace quorvantel::speech
