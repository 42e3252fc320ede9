#include "speech/selftest.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SpeechFailure& failure) {
        return failure.what();
    }
    return "";
}

AVAudioFormat outputFormat() {
    return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, kSelftestOutputSampleRate, 1, false);
}

// A converted buffer of `frames` 16 kHz frames starting at a 48 kHz frame plus a number
// of 16 kHz frames.
ConvertedBuffer converted(std::int64_t startFrame48k, std::int64_t plus16k, AVAudioFrameCount frames,
                          AVAudioFrameCount capacity = 8192) {
    auto buffer = AVAudioPCMBuffer::make(outputFormat(), capacity);
    buffer->setFrameLength(frames);
    return ConvertedBuffer{std::move(buffer),
                           CMTimeAdd(CMTimeMake(startFrame48k, 48'000), CMTimeMake(plus16k, 16'000))};
}

}  // namespace

TEST(Selftest, EveryCheckHoldsWithAndWithoutTheTimingExamples) {
    EXPECT_NO_THROW(selftest(false));
    EXPECT_NO_THROW(selftest(true));
}

// Two runs: 1,600 frames in two buffers at frame 4,800, and 100 frames one 48 kHz frame
// after the first run ends.
class RequireConverterRuns : public testing::Test {
protected:
    ConvertedBuffers buffers{converted(4'800, 0, 1'000), converted(4'800, 1'000, 600), converted(9'601, 0, 100)};
};

TEST_F(RequireConverterRuns, AcceptsOutputThatFillsEveryRunExactly) {
    EXPECT_NO_THROW(requireConverterRuns(buffers, {{4'800, 1'600}, {9'601, 100}}, "label"));
    // A run of no frames is filled by nothing.
    EXPECT_NO_THROW(requireConverterRuns(buffers, {{0, 0}, {4'800, 1'600}, {9'601, 100}}, "label"));
    EXPECT_NO_THROW(requireConverterRuns({}, {}, "label"));
}

TEST_F(RequireConverterRuns, NamesTheLabelAndWhatWentWrong) {
    struct Case {
        const char* name;
        std::vector<ExpectedRun> runs;
        const char* message;
    };
    const Case cases[] = {
        // The second run is anchored one frame off: its first buffer starts elsewhere.
        {"wrong anchor",
         {{4'800, 1'600}, {9'600, 100}},
         "Self-test failed: label: output timestamp 9601/48000, expected 9600/48000, run 1, offset 0"},
        // The first run is one frame longer than its buffers: the next buffer does not
        // continue it.
        {"run longer than its buffers",
         {{4'800, 1'601}, {9'601, 100}},
         "Self-test failed: label: output timestamp 9601/48000, expected 9600/48000, run 0, offset 1600"},
        // A buffer that would cross from one run into the next.
        {"buffer crosses its run's end",
         {{4'800, 1'500}, {9'300, 200}},
         "Self-test failed: label: output bridged a gap or EOF"},
        // Output after the last run.
        {"output past the last run", {{4'800, 1'600}}, "Self-test failed: label: output bridged a gap or EOF"},
        {"run never filled", {{4'800, 1'600}, {9'601, 101}}, "Self-test failed: label: missing output"},
        {"run never started", {{4'800, 1'600}, {9'601, 100}, {20'000, 1}}, "Self-test failed: label: missing output"},
    };
    for (const Case& example : cases) {
        EXPECT_EQ(failureOf([&] { requireConverterRuns(buffers, example.runs, "label"); }), example.message)
            << example.name;
    }
}

TEST(SelftestConsume, AcceptsBoundedChunksThatStartAtOrAfterThePreviousEnd) {
    std::optional<CMTime> end;
    consume(converted(0, 0, 1), end);
    ASSERT_TRUE(end);
    EXPECT_EQ(CMTimeCompare(*end, CMTimeMake(1, 16'000)), 0);
    consume(converted(0, 1, 8'192), end);   // exactly at the end, a full buffer
    consume(converted(0, 9'000, 10), end);  // after a hole
    EXPECT_EQ(CMTimeCompare(*end, CMTimeMake(9'010, 16'000)), 0);
}

TEST(SelftestConsume, RejectsEmptyOrOversizedChunksAndOverlap) {
    std::optional<CMTime> end;
    EXPECT_EQ(failureOf([&] { consume(converted(0, 0, 0), end); }),
              "Self-test failed: internal padding converted chunks remain bounded");
    EXPECT_EQ(failureOf([&] { consume(converted(0, 0, 8'193, 8'193), end); }),
              "Self-test failed: internal padding converted chunks remain bounded");
    EXPECT_FALSE(end);

    consume(converted(48'000, 0, 1'600), end);  // 1 s to 1.1 s
    EXPECT_EQ(failureOf([&] { consume(converted(52'799, 0, 10), end); }),
              "Self-test failed: internal padding padding overlap 52799/48000 before 52800/48000");
    // A rejected chunk leaves the end where it was.
    EXPECT_NO_THROW(consume(converted(52'800, 0, 10), end));
}
