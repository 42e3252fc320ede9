#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "capture/recording/recording_failure.h"
#include "capture/recording/timeline.h"

namespace quorvantel::capture {
namespace {

// Host times at 192 kHz, so that quarter frames are exact; the origin is 1000 s.
constexpr CMTimeScale kHostScale = 192'000;
constexpr CMTimeValue kOriginValue = 1000LL * kHostScale;
const CMTime kOrigin = CMTimeMake(kOriginValue, kHostScale);

// The origin plus `frames` 48 kHz frames (fractions in quarters).
CMTime at(double frames) { return CMTimeMake(kOriginValue + std::llround(frames * 4), kHostScale); }

constexpr const char* kOutOfOrder =
    "macOS delivered overlapping or out-of-order audio. Recording stopped to avoid corrupt timing.";
constexpr const char* kOutside =
    "macOS supplied an audio timestamp outside the supported recording timeline. Start a new recording.";
constexpr const char* kAhead = "macOS supplied an audio timestamp ahead of the recording clock.";
constexpr const char* kExceeded = "The recording exceeded the supported audio timeline.";
constexpr const char* kBadDuration = "macOS supplied an invalid audio packet duration.";
constexpr const char* kInvalidTimestamp = "macOS supplied an invalid audio clock timestamp.";
constexpr const char* kInvalidRecordingDuration = "Invalid recording duration.";

// One step on a timeline. A placed chunk advances nextFrame by its kept frames, as
// the writer of lines does.
struct Step {
    enum Kind { place, setNext, end } kind;
    double source = 0;  // frames from the origin
    std::uint32_t frames = 0;
    double receipt = 0;
    std::uint64_t start = 0;  // expected placement start, next frame or end
    std::uint32_t trimmed = 0;
    const char* failure = nullptr;
};

Step place(double source, std::uint32_t frames, double receipt, std::uint64_t start, std::uint32_t trimmed = 0) {
    return Step{Step::place, source, frames, receipt, start, trimmed, nullptr};
}
Step placeFails(double source, std::uint32_t frames, double receipt, const char* failure) {
    return Step{Step::place, source, frames, receipt, 0, 0, failure};
}
Step next(std::uint64_t frame) { return Step{Step::setNext, 0, 0, 0, frame, 0, nullptr}; }
Step endsAt(double marker, std::uint64_t end) { return Step{Step::end, marker, 0, 0, end, 0, nullptr}; }
Step endFails(double marker, const char* failure) { return Step{Step::end, marker, 0, 0, 0, 0, failure}; }

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::optional<std::uint64_t> discarded = std::nullopt;
};

std::optional<std::string> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RecordingFailure& failure) {
        return std::string(failure.what());
    }
    return std::nullopt;
}

void run(const Case& c) {
    SCOPED_TRACE(c.name);
    Timeline timeline(kOrigin);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const Step& step = c.steps[i];
        if (step.kind == Step::setNext) {
            timeline.setNextFrame(step.start);
            continue;
        }
        Placement placement;
        std::uint64_t end = 0;
        const auto failure = failureOf([&] {
            if (step.kind == Step::place) {
                placement = timeline.target(at(step.source), step.frames, at(step.receipt));
            } else {
                end = timeline.end(at(step.source));
            }
        });
        if (step.failure != nullptr) {
            EXPECT_EQ(failure.value_or("(accepted)"), step.failure);
            return;
        }
        ASSERT_EQ(failure.value_or("(accepted)"), "(accepted)");
        if (step.kind == Step::end) {
            EXPECT_EQ(end, step.start);
            continue;
        }
        EXPECT_EQ(placement.start, step.start);
        EXPECT_EQ(placement.trimmed, step.trimmed);
        if (placement.trimmed < step.frames) {
            EXPECT_GE(placement.start, timeline.nextFrame());
            timeline.setNextFrame(placement.start + (step.frames - placement.trimmed));
        }
    }
    if (c.discarded) {
        EXPECT_EQ(timeline.discarded(), *c.discarded);
    }
}

TEST(Timeline, PlacesChunksByTheirOwnHostTime) {
    const std::vector<Case> cases = {
        {"first receipt five seconds late", {place(0, 480, 240'000, 0)}, 0},
        {"contiguous chunk received late", {next(480), place(480, 480, 240'000, 480)}, 0},
        {"gap before a chunk", {next(960), place(240'000, 480, 240'480, 240'000)}, 0},
        {"audio after the start request is never preroll", {place(960, 480, 1'440, 960)}, 0},
        {"long leading silence keeps its length", {place(28'800'000, 480, 28'848'000, 28'800'000)}, 0},
        {"the largest chunk", {place(0, 16'384, 16'384, 0)}, 0},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, TrimsWholeFramesBeforeTheOrigin) {
    const std::vector<Case> cases = {
        {"straddling chunk", {place(-240, 480, 480, 0, 240), place(240, 480, 720, 240)}, 240},
        {"wholly early chunk", {place(-480, 480, 0, 0, 480), place(0, 480, 480, 0)}, 480},
        {"one frame early", {place(-1, 1, 0, 0, 1)}, 1},
        {"a quarter frame early", {place(-0.25, 3, 0, 0, 1)}, 1},
        {"a frame and a quarter early", {place(-1.25, 3, 0, 0, 2)}, 2},
        {"one frame a quarter early", {place(-0.25, 1, 0, 0, 1)}, 1},
        {"exactly the preroll bound", {place(-96'000, 480, 0, 0, 480)}, 480},
        {"beyond the preroll bound", {placeFails(-96'001, 480, 0, kOutside)}, std::nullopt},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, ToleratesOneFrameOfRoundingButNotTwo) {
    const std::vector<Case> cases = {
        {"one frame early", {next(480), place(479, 480, 960, 480)}},
        {"on time", {next(480), place(480, 480, 960, 480)}},
        {"one frame late", {next(480), place(481, 480, 960, 480)}},
        {"two frames late is a real gap", {next(480), place(482, 480, 960, 482)}},
        {"two frames early overlaps", {next(480), placeFails(478, 480, 960, kOutOfOrder)}},
        {"overlapping the previous chunk",
         {place(0, 480, 480, 0), placeFails(478, 480, 960, kOutOfOrder)}},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, RejectsAudioThatGoesBackwards) {
    const std::vector<Case> cases = {
        {"earlier than the previous chunk",
         {place(240'000, 480, 240'480, 240'000), placeFails(192'000, 480, 288'000, kOutOfOrder)}},
        {"repeated host time", {place(0, 480, 480, 0), placeFails(0, 480, 960, kOutOfOrder)}},
        {"repeated wholly discarded chunk", {place(-480, 480, 0, 0, 480), placeFails(-480, 480, 0, kOutOfOrder)}},
        {"a quarter frame before the previous", {place(-480, 480, 0, 0, 480), placeFails(-480.25, 480, 0, kOutOfOrder)}},
        {"preroll after written audio", {place(0, 480, 480, 0), placeFails(-480, 480, 960, kOutOfOrder)}},
        {"sub-frame backward preroll", {place(-1, 1, 0, 0, 1), placeFails(-1.25, 1, 0, kOutOfOrder)}},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, BoundsLengthReceiptLeadAndSevenDays) {
    constexpr double kMax = double(kMaximumTimelineFrames);
    const std::vector<Case> cases = {
        {"empty chunk", {placeFails(0, 0, 0, kBadDuration)}},
        {"oversized chunk", {placeFails(0, 16'385, 16'385, kBadDuration)}},
        {"ahead of receipt by the bound", {place(96'000, 480, 0, 96'000)}},
        {"ahead of receipt beyond the bound", {placeFails(96'001, 480, 0, kAhead)}},
        {"received before the origin", {placeFails(0, 480, -1, kAhead)}},
        {"ending exactly at seven days", {place(kMax - 480, 480, kMax, std::uint64_t(kMax) - 480), endsAt(kMax, std::uint64_t(kMax))}},
        {"ending past seven days", {placeFails(kMax - 479, 480, kMax, kExceeded)}},
        {"starting past seven days", {placeFails(kMax + 1, 1, kMax, kOutside)}},
        {"stop marker past seven days", {endFails(kMax + 1, kOutside)}},
        {"stop marker before the origin", {endFails(-1, kInvalidRecordingDuration)}},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, EndsAtTheStopMarkerButNeverCutsAudio) {
    const std::vector<Case> cases = {
        {"silent recording ends at the origin", {endsAt(0, 0)}},
        {"silent recording ends at the marker", {endsAt(2'880'000, 2'880'000)}},
        {"marker after the audio", {next(240'480), endsAt(384'000, 384'000)}},
        {"marker after a delayed final callback", {place(4'320, 480, 7'200, 4'320), endsAt(4'800, 4'800)}},
        {"drain tail past the marker", {place(4'560, 480, 7'200, 4'560), endsAt(4'800, 5'040)}},
    };
    for (const Case& c : cases) run(c);
}

TEST(Timeline, RejectsUnusableTimesWhereverTheyAppear) {
    const std::vector<std::pair<const char*, CMTime>> unusable = {
        {"invalid", kCMTimeInvalid},
        {"indefinite", kCMTimeIndefinite},
        {"positive infinity", kCMTimePositiveInfinity},
        {"negative infinity", kCMTimeNegativeInfinity},
        {"negative value", CMTimeMake(-1, 1)},
        {"epoch 1", CMTime{kOriginValue, kHostScale, kCMTimeFlags_Valid, 1}},
        {"epoch -1", CMTime{kOriginValue, kHostScale, kCMTimeFlags_Valid, -1}},
        {"timescale 0", CMTime{kOriginValue, 0, kCMTimeFlags_Valid, 0}},
        {"timescale -1", CMTime{kOriginValue, -1, kCMTimeFlags_Valid, 0}},
    };
    for (const auto& [name, bad] : unusable) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(isUsableTime(bad));
        Timeline timeline(kOrigin);
        EXPECT_EQ(failureOf([&] { timeline.target(bad, 480, at(480)); }), kInvalidTimestamp);
        EXPECT_EQ(failureOf([&] { timeline.target(at(0), 480, bad); }), kInvalidTimestamp);
        EXPECT_EQ(failureOf([&] { timeline.end(bad); }), kInvalidTimestamp);
        Timeline badOrigin(bad);
        EXPECT_EQ(failureOf([&] { badOrigin.target(at(0), 480, at(480)); }), kInvalidTimestamp);
        EXPECT_EQ(failureOf([&] { badOrigin.end(at(0)); }), kInvalidTimestamp);
    }
    EXPECT_TRUE(isUsableTime(kOrigin));
    EXPECT_TRUE(isUsableTime(CMTimeMake(0, 1)));
}

TEST(Timeline, WorksOnNanosecondHostTimes) {
    // The host clock counts nanoseconds, in which a frame is not a whole number.
    const CMTime origin = CMTimeMake(5'000'000'000'123, 1'000'000'000);
    const auto ns = [&](std::int64_t frames) {
        return CMTimeAdd(origin, CMTimeConvertScale(CMTimeMake(frames, 48'000), 1'000'000'000,
                                                    kCMTimeRoundingMethod_RoundHalfAwayFromZero));
    };
    Timeline timeline(origin);
    for (std::int64_t chunk = 0; chunk < 1'000; ++chunk) {
        const Placement p = timeline.target(ns(chunk * 441), 441, ns(chunk * 441 + 500));
        ASSERT_EQ(p.start, std::uint64_t(chunk * 441));
        ASSERT_EQ(p.trimmed, 0u);
        timeline.setNextFrame(p.start + 441);
    }
    EXPECT_EQ(timeline.end(ns(441'000)), 441'000u);
}

}  // namespace
}  // namespace quorvantel::capture
