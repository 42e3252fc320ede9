#include "speech/transcript_timing.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cmath>
#include <utility>
#include <vector>

#include "speech/speech_failure.h"

namespace quorvantel::speech {
namespace {

// Numeric, of epoch 0 and with a timescale that makes value ÷ timescale a time.
bool isPlainTime(const CMTime& time) { return time.isNumeric() && time.timescale >= 1 && time.epoch == 0; }

double milliseconds(const CMTime& time) { return CMTimeGetSeconds(time) * 1000.0; }

// Rounding to whole milliseconds, halves away from zero; only ever applied to values
// within the seven-day timeline, so the conversion cannot overflow.
std::int64_t roundedMs(double ms) { return std::llround(ms); }

bool isWhiteSpaceOrNewline(UChar32 c) {
    return (U_GET_GC_MASK(c) & U_GC_Z_MASK) != 0 || (c >= 0x0A && c <= 0x0D) || c == 0x85;
}

bool isPunctuation(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_P_MASK) != 0; }

}  // namespace

std::optional<TranscriptBounds> transcriptBounds(const CMTimeRange& range) {
    if (!range.isValid()) return std::nullopt;
    if (!isPlainTime(range.start)) return std::nullopt;
    const double startMs = milliseconds(range.start);
    if (!std::isfinite(startMs)) return std::nullopt;
    if (!isPlainTime(range.duration)) return std::nullopt;
    const double durationMs = milliseconds(range.duration);
    if (!(durationMs == 0.0 || (durationMs > 0.0 && std::isfinite(durationMs)))) return std::nullopt;
    const CMTime end = CMTimeRangeGetEnd(range);
    if (!isPlainTime(end)) return std::nullopt;
    const double endMs = milliseconds(end);
    if (!(endMs <= kTranscriptTimelineEndMs && startMs <= endMs && startMs >= 0.0 && std::isfinite(endMs))) {
        return std::nullopt;
    }
    return TranscriptBounds{startMs, endMs};
}

bool hasWordContent(std::string_view characters) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(characters.data());
    const auto length = static_cast<std::int64_t>(characters.size());
    std::int64_t index = 0;
    while (index < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, index, length, c);
        // An ill-formed sequence is no white space or punctuation either.
        if (c < 0) return true;
        if (!isWhiteSpaceOrNewline(c) && !isPunctuation(c)) return true;
    }
    return false;
}

TranscriptTiming transcriptTiming(const AttributedString& text, const CMTimeRange& resultRange) {
    const std::optional<TranscriptBounds> result = transcriptBounds(resultRange);
    if (!result) throw SpeechFailure(kInvalidResultRangeMessage);
    const TranscriptTiming coarse{roundedMs(result->startMs), roundedMs(result->endMs), kResultRangeTimingSource};

    bool wordSeen = false;
    bool rangeSeen = false;
    double firstStart = 0, lastStart = 0, lastEnd = 0;
    for (const AttributedString::Run& run : text.runs) {
        const bool word = hasWordContent(run.characters);
        wordSeen = wordSeen || word;
        if (!run.audioTimeRange) {
            // A word without its time makes the word times incomplete; white space and
            // punctuation need none.
            if (word) return coarse;
            continue;
        }
        // Every run that carries a range is held to it, word or not.
        const std::optional<TranscriptBounds> bounds = transcriptBounds(*run.audioTimeRange);
        if (!bounds || bounds->startMs >= bounds->endMs) return coarse;
        if (rangeSeen && (bounds->startMs < lastStart || bounds->endMs < lastEnd)) return coarse;
        if (!rangeSeen) firstStart = bounds->startMs;
        rangeSeen = true;
        lastStart = bounds->startMs;
        lastEnd = bounds->endMs;
    }
    if (wordSeen && rangeSeen) {
        return TranscriptTiming{roundedMs(firstStart), roundedMs(lastEnd), kSpeechAudioRangeTimingSource};
    }
    return coarse;
}

std::string segmentId(Source source, std::int64_t finalResultsWritten) {
    return std::string(rawValue(source)) + "-" + std::to_string(finalResultsWritten);
}

json::Value segmentRecord(Source source, std::int64_t finalResultsWritten, const TranscriptTiming& timing,
                          std::string text, bool isFinal) {
    return json::Value(json::Object{
        {"type", "segment"},
        {"source", rawValue(source)},
        {"id", segmentId(source, finalResultsWritten)},
        {"startMs", static_cast<long long>(timing.startMs)},
        {"endMs", static_cast<long long>(timing.endMs)},
        {"timingSource", timing.timingSource},
        {"text", std::move(text)},
        {"isFinal", isFinal},
    });
}

// ---------------------------------------------------------------------------
// Self-test: the fixed examples.

namespace {

constexpr const char* kSelftestPrefix = "Self-test failed: ";
constexpr const char* kCoarseFallbackPrefix = "explicit coarse fallback: ";

// Milliseconds as an exact time; every fixed example is a whole number of them.
CMTime ms(std::int64_t value) { return CMTimeMake(value, 1000); }

CMTimeRange span(std::int64_t startMs, std::int64_t durationMs) { return CMTimeRange{ms(startMs), ms(durationMs)}; }

const CMTimeRange kInvalidRange{kCMTimeInvalid, kCMTimeInvalid};
const CMTimeRange kR1 = span(14'647, 153);    // 14,647 to 14,800 ms
const CMTimeRange kR2 = span(15'050, 1'150);  // 15,050 to 16,200 ms
const CMTimeRange kResultRange = span(12'004, 2);
const TranscriptTiming kCoarse{12'004, 12'006, kResultRangeTimingSource};

// U+4E16 U+754C, a two-character non-Latin word; U+1F642, an emoji.
constexpr const char* kNonLatinWord = "\xE4\xB8\x96\xE7\x95\x8C";
constexpr const char* kEmoji = "\xF0\x9F\x99\x82";

using Runs = std::vector<AttributedString::Run>;

struct CoarseCase {
    const char* label;
    Runs runs;
};

std::vector<CoarseCase> coarseCases() {
    auto startingAt = [](CMTime start) { return CMTimeRange{start, CMTimeMake(1, 1)}; };
    return {
        {"missing attributes", {{"Hi there", std::nullopt}}},
        {"partial leading word", {{"Hi ", std::nullopt}, {"there", kR2}}},
        {"partial trailing word", {{"Hi ", kR1}, {"there", std::nullopt}}},
        {"partial interior word", {{"one ", kR1}, {"two ", std::nullopt}, {"three", kR2}}},
        {"non-Latin missing range", {{"Hi ", kR1}, {kNonLatinWord, std::nullopt}}},
        {"symbol missing range", {{"Hi ", kR1}, {kEmoji, std::nullopt}}},
        {"empty result", {}},
        {"punctuation only", {{"! ", kR1}}},
        {"backwards starts", {{"one ", kR2}, {"two", kR1}}},
        {"backwards ends", {{"one ", span(14'000, 2'000)}, {"two", span(15'000, 500)}}},
        {"zero duration", {{"one", span(14'000, 0)}}},
        {"negative duration", {{"one", span(14'000, -1'000)}}},
        {"negative start", {{"one", span(-1, 101)}}},
        {"past recording limit", {{"one", span(604'800'000, 1)}}},
        {"invalid range", {{"one", kInvalidRange}}},
        {"indefinite time", {{"one", startingAt(kCMTimeIndefinite)}}},
        {"infinite time", {{"one", startingAt(kCMTimePositiveInfinity)}}},
        {"wrong epoch", {{"one", startingAt(CMTime{1, 1, kCMTimeFlags_Valid, 1})}}},
        {"malformed timescale", {{"one", startingAt(CMTime{1, 0, kCMTimeFlags_Valid, 0})}}},
    };
}

[[noreturn]] void fail(const std::string& check) { throw SpeechFailure(kSelftestPrefix + check); }

void require(bool condition, const std::string& check) {
    if (!condition) fail(check);
}

TranscriptTiming timingOf(Runs runs, const CMTimeRange& resultRange = kResultRange) {
    return transcriptTiming(AttributedString(std::move(runs)), resultRange);
}

}  // namespace

void transcriptTimingSelftest() {
    const Runs replaced{{"Hi", kR1}, {", ", std::nullopt}, {kNonLatinWord, kR2}, {"!", std::nullopt}};
    require(timingOf(replaced) == TranscriptTiming{14'647, 16'200, kSpeechAudioRangeTimingSource},
            "speech bounds replace analysis range, preserving gaps");
    require(AttributedString(replaced).characters() == std::string("Hi, ") + kNonLatinWord + "!",
            "timing extraction preserves exact text");

    require(timingOf({{"hel", kR1}, {"lo", kR1}}) == TranscriptTiming{14'647, 14'800, kSpeechAudioRangeTimingSource},
            "equal attributed ranges are valid");
    require(timingOf({{"one ", span(14'000, 1'000)}, {"two", span(14'900, 1'100)}}) ==
                TranscriptTiming{14'000, 16'000, kSpeechAudioRangeTimingSource},
            "ascending overlapping ranges remain unmodified");

    for (CoarseCase& example : coarseCases()) {
        require(timingOf(std::move(example.runs)) == kCoarse, std::string(kCoarseFallbackPrefix) + example.label);
    }

    const bool partialIsCoarse = timingOf({{"Hi ", kR1}, {"there", std::nullopt}}) == kCoarse;
    const bool revisionIsWordTimed = timingOf({{"Hi ", kR1}, {"there", kR2}}) ==
                                     TranscriptTiming{14'647, 16'200, kSpeechAudioRangeTimingSource};
    require(partialIsCoarse && revisionIsWordTimed, "revisions independently recompute timing");

    const CMTimeRange invalidResultRanges[] = {kInvalidRange, span(-1, 101), span(100, -1), span(0, 604'800'001)};
    for (const CMTimeRange& range : invalidResultRanges) {
        bool failedExplicitly = false;
        try {
            timingOf({{"one", kR1}}, range);
        } catch (const SpeechFailure& failure) {
            failedExplicitly = std::string(failure.what()) == kInvalidResultRangeMessage;
        }
        require(failedExplicitly, "invalid coarse ranges fail explicitly");
    }
}

}  // namespace quorvantel::speech
