#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "capture/recording/recording_events.h"
#include "capture/recording/tests/test_formats.h"
#include "platform/foundation/base64.h"

namespace quorvantel::capture {
namespace {

using testing::failureOf;

std::string line(const json::Value& v) { return json::write(v, json::KeyOrder::insertion); }

constexpr const char* kAudioUnsafe = "The native recorder could not represent the audio timeline safely.";
constexpr const char* kSilenceUnsafe = "The native recorder could not represent the silent timeline safely.";
constexpr const char* kBadStart = "The native recorder received an invalid session start time.";
constexpr std::uint64_t kMax = 29'030'400'000;

TEST(RecordingEvents, StartedCarriesTheFixedFormatAndTheOrigin) {
    EXPECT_EQ(line(startedEvent(1'788'586'400'000)),
              R"({"type":"started","sampleRate":48000,"channels":2,"captureStartedAtMs":1788586400000})");
    EXPECT_EQ(failureOf([] { startedEvent(0); }), std::nullopt);
    EXPECT_EQ(failureOf([] { startedEvent(8'640'000'000'000'000); }), std::nullopt);
    EXPECT_EQ(failureOf([] { startedEvent(-1); }), kBadStart);
    EXPECT_EQ(failureOf([] { startedEvent(8'640'000'000'000'001); }), kBadStart);
}

TEST(RecordingEvents, AudioCarriesItsBytesPeakAndPosition) {
    const std::vector<std::uint8_t> eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const json::Value audio = audioEvent(eight.data(), eight.size(), 0.25, 144'000);
    EXPECT_EQ(audio.find("type")->asString(), "audio");
    EXPECT_EQ(base64::decodeCanonical(audio.find("data")->asString()), eight);
    EXPECT_EQ(audio.find("peak")->asDouble(), 0.25);
    EXPECT_EQ(audio.find("startFrame")->asInt(), 144'000);
    const std::vector<std::uint8_t> zeros(19'200, 0);
    const json::Value silent = audioEvent(zeros.data(), zeros.size(), 0.0, 144'002);
    EXPECT_EQ(silent.find("startFrame")->asInt(), 144'002);
    EXPECT_EQ(silent.find("peak")->asDouble(), 0.0);
    // A negative zero peak is allowed and written as a plain 0.
    EXPECT_NE(line(audioEvent(eight.data(), 8, -0.0, 0)).find(R"("peak":0,)"), std::string::npos);
    // The largest line, ending exactly at the seventh day.
    const std::vector<std::uint8_t> largest(65'536, 0);
    EXPECT_EQ(failureOf([&] { audioEvent(largest.data(), largest.size(), 1.0, kMax - 16'384); }), std::nullopt);
}

TEST(RecordingEvents, AudioRefusesWhatItCannotRepresent) {
    const std::vector<std::uint8_t> bytes(65'540, 0);
    struct Case {
        const char* name;
        std::size_t count;
        double peak;
        std::uint64_t start;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"empty", 0, 0.5, 0},
        {"three bytes", 3, 0.5, 0},
        {"too many bytes", 65'540, 0.5, 0},
        {"peak not a number", 8, nan, 0},
        {"peak infinite", 8, std::numeric_limits<double>::infinity(), 0},
        {"peak negative", 8, -0.01, 0},
        {"peak above one", 8, 1.0001, 0},
        {"two frames past the end", 8, 0.5, kMax - 1},
        {"start past the end", 4, 0.5, kMax + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(failureOf([&] { audioEvent(bytes.data(), c.count, c.peak, c.start); }), kAudioUnsafe);
    }
}

TEST(RecordingEvents, SilenceStaysSmallForEveryLength) {
    for (const std::uint64_t n : {std::uint64_t(1), std::uint64_t(4'800), std::uint64_t(28'800'000), kMax}) {
        SCOPED_TRACE(n);
        const json::Value silence = silenceEvent(0, n);
        EXPECT_EQ(silence.find("data"), nullptr);
        EXPECT_EQ(silence.find("startFrame")->asInt(), 0);
        EXPECT_EQ(silence.find("frames")->asInt(), std::int64_t(n));
        EXPECT_LE(line(silence).size(), 128u);
    }
    EXPECT_EQ(line(silenceEvent(144'000, 4'800)), R"({"type":"silence","startFrame":144000,"frames":4800})");
    EXPECT_LE(line(silenceEvent(kMax - 1, 1)).size(), 128u);
}

TEST(RecordingEvents, SilenceRefusesWhatDoesNotFitTheTimeline) {
    EXPECT_EQ(failureOf([] { silenceEvent(kMax, 1); }), kSilenceUnsafe);
    EXPECT_EQ(failureOf([] { silenceEvent(0, 0); }), kSilenceUnsafe);
    EXPECT_EQ(failureOf([] { silenceEvent(1, kMax); }), kSilenceUnsafe);
    EXPECT_EQ(failureOf([] { silenceEvent(kMax + 1, 1); }), kSilenceUnsafe);
}

TEST(RecordingEvents, StoppedCarriesTheTotals) {
    EXPECT_EQ(line(stoppedEvent(48'000, 240)), R"({"type":"stopped","totalFrames":48000,"discardedPreStartFrames":240})");
}

}  // namespace
}  // namespace quorvantel::capture
