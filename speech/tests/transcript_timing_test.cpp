#include "speech/transcript_timing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::speech;

// Readable values in failure messages; found by argument-dependent lookup.
namespace quorvantel::speech {
void PrintTo(const TranscriptTiming& t, std::ostream* os) {
    *os << t.startMs << " to " << t.endMs << " " << t.timingSource;
}
}  // namespace quorvantel::speech

namespace {

using Runs = std::vector<AttributedString::Run>;

CMTime ms(std::int64_t value) { return CMTimeMake(value, 1000); }
CMTimeRange span(std::int64_t startMs, std::int64_t durationMs) { return CMTimeRange{ms(startMs), ms(durationMs)}; }
CMTimeRange startingAt(CMTime start) { return CMTimeRange{start, CMTimeMake(1, 1)}; }

const CMTimeRange kInvalidRange{kCMTimeInvalid, kCMTimeInvalid};
const CMTimeRange R1 = span(14'647, 153);
const CMTimeRange R2 = span(15'050, 1'150);
const CMTimeRange kResult = span(12'004, 2);
const TranscriptTiming kCoarse{12'004, 12'006, "result-range"};
const std::string kWorld = "\xE4\xB8\x96\xE7\x95\x8C";  // U+4E16 U+754C
const std::string kSmile = "\xF0\x9F\x99\x82";          // U+1F642

TranscriptTiming words(std::int64_t startMs, std::int64_t endMs) { return {startMs, endMs, "speech-audio-range"}; }

TranscriptTiming timingOf(const Runs& runs, const CMTimeRange& result = kResult) {
    return transcriptTiming(AttributedString(runs), result);
}

struct TimingCase {
    const char* name;
    Runs runs;
    TranscriptTiming expected;
    CMTimeRange result = kResult;
};

void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

class TranscriptTimingTest : public testing::TestWithParam<TimingCase> {};

TEST_P(TranscriptTimingTest, TakesWordRangesOnlyWhenCompleteAndOrdered) {
    const TimingCase& c = GetParam();
    EXPECT_EQ(timingOf(c.runs, c.result), c.expected);
}

// The fixed examples where the word ranges decide, and variations that show how.
INSTANTIATE_TEST_SUITE_P(
    WordRanges, TranscriptTimingTest,
    testing::Values(
        TimingCase{"replaceTheResultRange", {{"Hi", R1}, {", ", std::nullopt}, {kWorld, R2}, {"!", std::nullopt}},
                   words(14'647, 16'200)},
        TimingCase{"equalAttributedRanges", {{"hel", R1}, {"lo", R1}}, words(14'647, 14'800)},
        TimingCase{"ascendingOverlappingRanges", {{"one ", span(14'000, 1'000)}, {"two", span(14'900, 1'100)}},
                   words(14'000, 16'000)},
        TimingCase{"revisedResultWithEveryWordRanged", {{"Hi ", R1}, {"there", R2}}, words(14'647, 16'200)},
        // Ranged white space and punctuation extend the bounds like words.
        TimingCase{"rangedTrailingSpaceExtendsTheEnd", {{"Hi", R1}, {" ", span(14'800, 300)}}, words(14'647, 15'100)},
        TimingCase{"rangedLeadingPunctuationSetsTheStart", {{"\xC2\xBF", span(14'000, 10)}, {"Hi", R1}},
                   words(14'000, 14'800)},
        // Neither clipped to nor compared with the result range.
        TimingCase{"wordsOutsideTheResultRange", {{"late", span(90'000, 500)}}, words(90'000, 90'500)},
        TimingCase{"wordsAtTheSevenDayEnd", {{"end", span(604'799'999, 1)}}, words(604'799'999, 604'800'000)},
        // Ranges at other timescales compare exactly and round only at the end.
        TimingCase{"roundsHalvesAwayFromZeroAtTheEnd",
                   {{"word", CMTimeRange{CMTimeMake(1'005'000, 10'000'000), CMTimeMake(999'999, 10'000'000)}}},
                   words(101, 200)},
        TimingCase{"mixedTimescales",
                   {{"a ", CMTimeRange{CMTimeMake(48'000, 48'000), CMTimeMake(24'000, 48'000)}},
                    {"b", CMTimeRange{CMTimeMake(3, 2), CMTimeMake(1, 3)}}},
                   words(1'000, 1'833)},
        TimingCase{"zeroLengthResultRange", {{"one", std::nullopt}}, TranscriptTiming{5'000, 5'000, "result-range"},
                   span(5'000, 0)},
        TimingCase{"coarseRoundsHalvesAwayFromZero", {},
                   TranscriptTiming{1, 3, "result-range"},
                   CMTimeRange{CMTimeMake(5, 10'000), CMTimeMake(20, 10'000)}}),
    [](const testing::TestParamInfo<TimingCase>& info) { return std::string(info.param.name); });

// The labelled fallback examples: whatever is wrong with the word ranges, the
// result range decides.
INSTANTIATE_TEST_SUITE_P(
    CoarseFallback, TranscriptTimingTest,
    testing::Values(
        TimingCase{"missingAttributes", {{"Hi there", std::nullopt}}, kCoarse},
        TimingCase{"partialLeadingWord", {{"Hi ", std::nullopt}, {"there", R2}}, kCoarse},
        TimingCase{"partialTrailingWord", {{"Hi ", R1}, {"there", std::nullopt}}, kCoarse},
        TimingCase{"partialInteriorWord", {{"one ", R1}, {"two ", std::nullopt}, {"three", R2}}, kCoarse},
        TimingCase{"nonLatinMissingRange", {{"Hi ", R1}, {kWorld, std::nullopt}}, kCoarse},
        TimingCase{"symbolMissingRange", {{"Hi ", R1}, {kSmile, std::nullopt}}, kCoarse},
        TimingCase{"emptyResult", {}, kCoarse},
        TimingCase{"emptyRun", {{"", std::nullopt}}, kCoarse},
        TimingCase{"punctuationOnly", {{"! ", R1}}, kCoarse},
        TimingCase{"backwardsStarts", {{"one ", R2}, {"two", R1}}, kCoarse},
        TimingCase{"backwardsEnds", {{"one ", span(14'000, 2'000)}, {"two", span(15'000, 500)}}, kCoarse},
        TimingCase{"zeroDuration", {{"one", span(14'000, 0)}}, kCoarse},
        TimingCase{"negativeDuration", {{"one", span(14'000, -1'000)}}, kCoarse},
        TimingCase{"negativeStart", {{"one", span(-1, 101)}}, kCoarse},
        TimingCase{"pastRecordingLimit", {{"one", span(604'800'000, 1)}}, kCoarse},
        TimingCase{"invalidRange", {{"one", kInvalidRange}}, kCoarse},
        TimingCase{"indefiniteTime", {{"one", startingAt(kCMTimeIndefinite)}}, kCoarse},
        TimingCase{"infiniteTime", {{"one", startingAt(kCMTimePositiveInfinity)}}, kCoarse},
        TimingCase{"wrongEpoch", {{"one", startingAt(CMTime{1, 1, kCMTimeFlags_Valid, 1})}}, kCoarse},
        TimingCase{"malformedTimescale", {{"one", startingAt(CMTime{1, 0, kCMTimeFlags_Valid, 0})}}, kCoarse},
        // A range on white space is held to the same rules as a word's.
        TimingCase{"invalidRangeOnWhiteSpace", {{"one", R1}, {" ", kInvalidRange}, {"two", R2}}, kCoarse},
        TimingCase{"backwardsRangeOnPunctuation", {{"one", R2}, {",", R1}}, kCoarse},
        TimingCase{"wrongEpochDuration",
                   {{"one", CMTimeRange{ms(1'000), CMTime{1, 1, kCMTimeFlags_Valid, 1}}}}, kCoarse}),
    [](const testing::TestParamInfo<TimingCase>& info) { return std::string(info.param.name); });

TEST(TranscriptTiming, RevisionsAreComputedIndependently) {
    EXPECT_EQ(timingOf({{"Hi ", R1}, {"there", std::nullopt}}), kCoarse);
    EXPECT_EQ(timingOf({{"Hi ", R1}, {"there", R2}}), words(14'647, 16'200));
    EXPECT_EQ(timingOf({{"Hi ", R1}, {"there", std::nullopt}}), kCoarse);
}

TEST(TranscriptTiming, PlainTextIsTheRunsJoinedUnchanged) {
    const AttributedString text(Runs{{"Hi", R1}, {", ", std::nullopt}, {kWorld, R2}, {"!", std::nullopt}});
    EXPECT_EQ(text.characters(), "Hi, " + kWorld + "!");
}

TEST(TranscriptTiming, AnUnusableResultRangeFailsWhateverTheRuns) {
    const CMTimeRange invalid[] = {kInvalidRange,
                                   span(-1, 101),
                                   span(100, -1),
                                   span(0, 604'800'001),
                                   startingAt(kCMTimeIndefinite),
                                   startingAt(CMTime{1, 1, kCMTimeFlags_Valid, 1}),
                                   CMTimeRange{ms(0), CMTime{1, 0, kCMTimeFlags_Valid, 0}}};
    const Runs perfect{{"Hi ", R1}, {"there", R2}};
    for (const CMTimeRange& range : invalid) {
        for (const Runs& runs : {perfect, Runs{}}) {
            try {
                timingOf(runs, range);
                ADD_FAILURE() << "accepted the result range starting at " << CMTimeGetSeconds(range.start);
            } catch (const SpeechFailure& failure) {
                EXPECT_STREQ(failure.what(), "Apple returned an invalid transcription result range.");
            }
        }
    }
}

struct BoundsCase {
    const char* name;
    CMTimeRange range;
    std::optional<TranscriptBounds> expected;
};

void PrintTo(const BoundsCase& c, std::ostream* os) { *os << c.name; }

class TranscriptBoundsTest : public testing::TestWithParam<BoundsCase> {};

TEST_P(TranscriptBoundsTest, ValidatesAndGivesUnroundedMilliseconds) {
    const BoundsCase& c = GetParam();
    const std::optional<TranscriptBounds> bounds = transcriptBounds(c.range);
    ASSERT_EQ(bounds.has_value(), c.expected.has_value());
    if (bounds) {
        EXPECT_DOUBLE_EQ(bounds->startMs, c.expected->startMs);
        EXPECT_DOUBLE_EQ(bounds->endMs, c.expected->endMs);
    }
}

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Ranges, TranscriptBoundsTest,
    testing::Values(
        BoundsCase{"ordinary", span(14'647, 153), TranscriptBounds{14'647, 14'800}},
        BoundsCase{"unrounded", CMTimeRange{CMTimeMake(1, 3), CMTimeMake(1, 48'000)},
                   TranscriptBounds{1000.0 / 3, 1000.0 / 3 + 1.0 / 48}},
        BoundsCase{"zeroLength", span(5'000, 0), TranscriptBounds{5'000, 5'000}},
        BoundsCase{"fromZero", span(0, 10), TranscriptBounds{0, 10}},
        BoundsCase{"toTheSevenDayEnd", span(604'799'000, 1'000), TranscriptBounds{604'799'000, 604'800'000}},
        BoundsCase{"zeroLengthAtTheSevenDayEnd", span(604'800'000, 0), TranscriptBounds{604'800'000, 604'800'000}},
        BoundsCase{"pastTheSevenDayEnd", span(604'799'000, 1'001), std::nullopt},
        BoundsCase{"negativeStart", span(-1, 2), std::nullopt},
        BoundsCase{"negativeDuration", span(10, -1), std::nullopt},
        BoundsCase{"invalid", kInvalidRange, std::nullopt},
        BoundsCase{"invalidDuration", CMTimeRange{ms(0), kCMTimeInvalid}, std::nullopt},
        BoundsCase{"infiniteDuration", CMTimeRange{ms(0), kCMTimePositiveInfinity}, std::nullopt},
        BoundsCase{"indefiniteDuration", CMTimeRange{ms(0), kCMTimeIndefinite}, std::nullopt},
        BoundsCase{"negativeInfiniteStart", startingAt(kCMTimeNegativeInfinity), std::nullopt},
        BoundsCase{"startOfAnotherEpoch", startingAt(CMTime{0, 1, kCMTimeFlags_Valid, 2}), std::nullopt},
        BoundsCase{"durationTimescaleZero", CMTimeRange{ms(0), CMTime{1, 0, kCMTimeFlags_Valid, 0}}, std::nullopt},
        BoundsCase{"negativeTimescale", startingAt(CMTime{1, -1, kCMTimeFlags_Valid, 0}), std::nullopt},
        // An end that cannot be represented is not numeric.
        BoundsCase{"endOverflows", CMTimeRange{CMTimeMake(kInt64Max, 1), CMTimeMake(1, 1)}, std::nullopt}),
    [](const testing::TestParamInfo<BoundsCase>& info) { return std::string(info.param.name); });

TEST(TranscriptTiming, WordContentIsAnythingButWhiteSpaceLineBreaksAndPunctuation) {
    struct Case {
        const char* text;
        bool word;
    };
    const Case cases[] = {
        {"", false},
        {" ", false},
        {"\n\r\x0B\x0C", false},
        {"\xC2\x85", false},          // U+0085 NEXT LINE
        {"\xC2\xA0", false},          // U+00A0 NO-BREAK SPACE (Zs)
        {"\xE2\x80\xA8", false},      // U+2028 LINE SEPARATOR (Zl)
        {"\xE2\x80\xA9", false},      // U+2029 PARAGRAPH SEPARATOR (Zp)
        {"\xE3\x80\x80", false},      // U+3000 IDEOGRAPHIC SPACE
        {", . ! ? ; : ' \" ( ) [ ] { } - _ / @ # % & *", false},
        {"\xE3\x80\x82\xE3\x80\x8C\xE2\x80\x94\xC2\xBF", false},  // 。「—¿
        {"a", true},
        {"  a  ", true},
        {"7", true},
        {"\xD9\xA3", true},           // U+0663 ARABIC-INDIC DIGIT THREE
        {"\xCC\x81", true},           // U+0301 COMBINING ACUTE ACCENT (Mn)
        {"$", true},                  // Sc
        {"+", true},                  // Sm
        {"^", true},                  // Sk
        {"\xF0\x9F\x99\x82", true},   // U+1F642, So
        {"\xE4\xB8\x96", true},       // U+4E16
        {"\t", true},                 // Cc: outside both sets as they are defined
        {"\xFF", true},               // ill-formed UTF-8
        {", \xE2\x82\xAC", true},     // punctuation then U+20AC EURO SIGN
    };
    for (const Case& c : cases) EXPECT_EQ(hasWordContent(c.text), c.word) << '"' << c.text << '"';
}

TEST(SegmentRecord, HasExactlyTheKeysOfASegmentLine) {
    const json::Value record =
        segmentRecord(Source::microphone, 0, words(14'647, 16'200), "Hi, " + kWorld + "!", false);
    ASSERT_TRUE(record.isObject());
    std::set<std::string> keys;
    for (const auto& [key, value] : record.asObject()) keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"type", "source", "id", "startMs", "endMs", "timingSource", "text",
                                           "isFinal"}));
    EXPECT_EQ(record.asObject().size(), 8u);
    EXPECT_TRUE(record.find("startMs")->isInteger());
    EXPECT_TRUE(record.find("endMs")->isInteger());
    EXPECT_TRUE(record.find("isFinal")->isBool());
    EXPECT_EQ(json::write(record, json::KeyOrder::sorted),
              "{\"endMs\":16200,\"id\":\"microphone-0\",\"isFinal\":false,\"source\":\"microphone\","
              "\"startMs\":14647,\"text\":\"Hi, " + kWorld + "!\",\"timingSource\":\"speech-audio-range\","
              "\"type\":\"segment\"}");
}

TEST(SegmentRecord, CarriesTheTextExactlyAndCountsFinalResultsPerSource) {
    const json::Value record =
        segmentRecord(Source::systemAudio, 12, TranscriptTiming{0, 604'800'000, "result-range"}, " a/b \n", true);
    EXPECT_EQ(record.find("id")->asString(), "system-audio-12");
    EXPECT_EQ(record.find("source")->asString(), "system-audio");
    EXPECT_EQ(record.find("text")->asString(), " a/b \n");
    EXPECT_EQ(record.find("startMs")->asInt(), 0);
    EXPECT_EQ(record.find("endMs")->asInt(), 604'800'000);
    EXPECT_EQ(record.find("timingSource")->asString(), "result-range");
    EXPECT_TRUE(record.find("isFinal")->asBool());
    EXPECT_EQ(segmentId(Source::microphone, 3), "microphone-3");
}

TEST(TranscriptTimingSelftest, PassesEveryFixedExample) { EXPECT_NO_THROW(transcriptTimingSelftest()); }

}  // namespace
