#include "platform/linux/pocketsphinx/streaming_recognition.h"

#include <algorithm>
#include <gtest/gtest.h>

#include "platform/linux/pocketsphinx/tests/scripted_decoder.h"

using namespace quorvantel;
using namespace quorvantel::pocketsphinx;
using quorvantel::pocketsphinx::testing::ScriptedDecoder;
using quorvantel::pocketsphinx::testing::ScriptedStep;

namespace {

// A result as text: "final|partial: word@startMs-endMs word@…  [rangeStart-rangeEnd]".
std::string describe(const SpeechTranscriptionResult& result) {
    auto ms = [](CMTime t) { return std::to_string(static_cast<long long>(CMTimeGetSeconds(t) * 1000 + 0.5)); };
    std::string text = result.isFinal ? "final:" : "partial:";
    for (const AttributedString::Run& run : result.text.runs) {
        if (!run.audioTimeRange) {
            // Only single spaces go without a range.
            if (run.characters != " ") text += " <unranged '" + run.characters + "'>";
            continue;
        }
        text += " " + run.characters + "@" + ms(run.audioTimeRange->start) + "-" +
                ms(CMTimeRangeGetEnd(*run.audioTimeRange));
    }
    text += "  [" + ms(result.range.start) + "-" + ms(CMTimeRangeGetEnd(result.range)) + "]";
    return text;
}

struct Recorder {
    std::vector<std::string> results;
    std::vector<std::string> texts;
    StreamingRecognition::Deliver deliver() {
        return [this](SpeechTranscriptionResult result) {
            results.push_back(describe(result));
            texts.push_back(result.text.characters());
        };
    }
};

const std::vector<std::int16_t> kStep(1600, 0);

}  // namespace

TEST(StreamingRecognition, PartialsWhenTheWordsChangeAndOneFinalPerUtterance) {
    ScriptedDecoder decoder({
        /* 0 */ {false, {}},
        /* 1 */ {true, {{"<s>", 0, 9}, {"hello", 10, 19}}},
        // The same words with later times: no new result.
        /* 2 */ {true, {{"<s>", 0, 9}, {"hello", 10, 29}}},
        /* 3 */ {true, {{"<s>", 0, 9}, {"hello", 10, 31}, {"<sil>", 32, 34}, {"world(2)", 35, 39}}},
        // The decoder no longer hears speech: the utterance ends with its best words.
        /* 4 */ {false,
                 {},
                 std::vector<DecodedToken>{{"<s>", 0, 9}, {"hello", 10, 29}, {"world", 35, 44}, {"</s>", 45, 49}}},
        // Noise alone: no partial, and its end closes nothing.
        /* 5 */ {true, {{"[NOISE]", 50, 60}, {"++UM++", 61, 65}}},
        /* 6 */ {false, {}, std::vector<DecodedToken>{{"[NOISE]", 50, 60}}},
        /* 7 */ {true, {{"yes", 72, 79}}},
        // At the end of the audio the decoder takes the word back: an empty final
        // result still closes the partial one, over its range.
        /* 8 */ {true, {{"yes", 72, 79}}, std::vector<DecodedToken>{{"<sil>", 72, 79}}},
    });
    Recorder recorder;
    StreamingRecognition recognition(decoder, recorder.deliver());
    for (int step = 0; step < 9; ++step) {
        recognition.feed(CMTimeMake(step * 100, 1000), kStep.data(), kStep.size());
    }
    recognition.finish();
    recognition.finish();

    EXPECT_EQ(recorder.results, (std::vector<std::string>{
                                    "partial: hello@100-200  [100-200]",
                                    "partial: hello@100-320 world@350-400  [100-400]",
                                    "final: hello@100-300 world@350-450  [100-450]",
                                    "partial: yes@720-800  [720-800]",
                                    "final:  [720-800]",
                                }));
    EXPECT_EQ(recorder.texts, (std::vector<std::string>{"hello", "hello world", "hello world", "yes", ""}));
    EXPECT_EQ(decoder.calls, (std::vector<std::string>{
                                 "start", "process 1600", "process 1600", "process 1600", "process 1600",
                                 "process 1600", "end",
                                 "start", "process 1600", "process 1600", "end",
                                 "start", "process 1600", "process 1600", "end",
                             }));
}

TEST(StreamingRecognition, WordsKeepTheTimesOfTheInputsTheyWereHeardIn) {
    // Decoder frames count on across inputs; the inputs were re-anchored (a
    // microphone that resumed at 10 s) and a hole filled with silence follows.
    ScriptedDecoder decoder({
        {true, {{"one", 2, 9}}},
        {true, {{"one", 2, 9}, {"two", 12, 19}}},
        {true, {{"one", 2, 9}, {"two", 12, 19}}},
        {true, {{"one", 2, 9}, {"two", 12, 19}, {"three", 31, 36}}},
        {false, {}, std::vector<DecodedToken>{{"one", 2, 9}, {"two", 12, 19}, {"three", 31, 36}}},
    });
    Recorder recorder;
    StreamingRecognition recognition(decoder, recorder.deliver());
    recognition.feed(CMTimeMake(0, 1000), kStep.data(), kStep.size());           // frames 0-9: 0-100 ms
    recognition.feed(CMTimeMake(10'000, 1000), kStep.data(), kStep.size());      // frames 10-19: re-anchored
    recognition.feed(CMTimeMake(10'100, 1000), kStep.data(), kStep.size());      // frames 20-29: filled hole
    recognition.feed(CMTimeMake(10'200, 1000), kStep.data(), kStep.size());      // frames 30-39
    recognition.feed(CMTimeMake(10'300, 1000), kStep.data(), kStep.size());
    EXPECT_EQ(recorder.results, (std::vector<std::string>{
                                    "partial: one@20-100  [20-100]",
                                    "partial: one@20-100 two@10020-10100  [20-10100]",
                                    "partial: one@20-100 two@10020-10100 three@10210-10270  [20-10270]",
                                    "final: one@20-100 two@10020-10100 three@10210-10270  [20-10270]",
                                }));
}

TEST(StreamingRecognition, SpeechWithoutAPauseIsCutIntoBoundedUtterances) {
    // 31 s of speech in 100 ms steps; the decoder hears one word per step.
    const int steps = 310;
    std::vector<ScriptedStep> script;
    std::vector<DecodedToken> words;
    for (int step = 0; step < steps; ++step) {
        words.push_back({"go", step * 10, step * 10 + 9});
        script.push_back({true, words});
        if (step == 299) words.clear();
    }
    ScriptedDecoder decoder(script);
    Recorder recorder;
    StreamingRecognition recognition(decoder, recorder.deliver());
    for (int step = 0; step < steps; ++step) {
        recognition.feed(CMTimeMake(step * 100, 1000), kStep.data(), kStep.size());
    }
    recognition.finish();
    std::vector<std::string> finals;
    for (const std::string& result : recorder.results) {
        if (result.rfind("final:", 0) == 0) finals.push_back(result.substr(result.find("  [")));
    }
    EXPECT_EQ(finals, (std::vector<std::string>{"  [0-30000]", "  [30000-31000]"}));
    EXPECT_EQ(std::count(decoder.calls.begin(), decoder.calls.end(), "start"), 2);
}

// A microphone re-anchored a little back in time in the middle of a word: that word's
// own range runs backwards (the session then times the line by the result's range),
// and the result's range still covers every word.
TEST(StreamingRecognition, AResultsRangeCoversWordsOfInputsReanchoredBackInTime) {
    ScriptedDecoder decoder({
        {true, {{"one", 2, 9}}},
        {true, {{"one", 2, 9}, {"two", 8, 12}}},
        {false, {}, std::vector<DecodedToken>{{"one", 2, 9}, {"two", 8, 12}}},
    });
    Recorder recorder;
    StreamingRecognition recognition(decoder, recorder.deliver());
    recognition.feed(CMTimeMake(1000, 1000), kStep.data(), kStep.size());  // 1000-1100 ms
    recognition.feed(CMTimeMake(950, 1000), kStep.data(), kStep.size());   // back to 950 ms
    recognition.feed(CMTimeMake(1050, 1000), kStep.data(), kStep.size());
    EXPECT_EQ(recorder.results, (std::vector<std::string>{
                                    "partial: one@1020-1100  [1020-1100]",
                                    "partial: one@1020-1100 two@1080-980  [1020-1100]",
                                    "final: one@1020-1100 two@1080-980  [1020-1100]",
                                }));
}
