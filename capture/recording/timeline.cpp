#include "capture/recording/timeline.h"

#include <algorithm>

#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {
namespace {

constexpr const char* kInvalidTimestamp = "macOS supplied an invalid audio clock timestamp.";
constexpr const char* kOutsideTimeline =
    "macOS supplied an audio timestamp outside the supported recording timeline. Start a new recording.";
constexpr const char* kInvalidDuration = "macOS supplied an invalid audio packet duration.";
constexpr const char* kAheadOfReceipt = "macOS supplied an audio timestamp ahead of the recording clock.";
constexpr const char* kExceededTimeline = "The recording exceeded the supported audio timeline.";
constexpr const char* kOutOfOrder =
    "macOS delivered overlapping or out-of-order audio. Recording stopped to avoid corrupt timing.";
constexpr const char* kInvalidRecordingDuration = "Invalid recording duration.";

}  // namespace

bool isUsableTime(CMTime time) {
    constexpr std::uint32_t mask = kCMTimeFlags_Valid | kCMTimeFlags_ImpliedValueFlagsMask;
    return (time.flags & mask) == kCMTimeFlags_Valid && time.timescale >= 1 && time.epoch == 0 &&
           time.value >= 0;
}

std::int64_t Timeline::offset(CMTime time, CMTimeRoundingMethod method) const {
    if (!isUsableTime(origin_) || !isUsableTime(time)) failRecording(kInvalidTimestamp);
    const CMTime d = CMTimeConvertScale(CMTimeSubtract(time, origin_), kTimelineRate, method);
    if (!d.isNumeric() || d.epoch != 0 || d.value < -kPrerollWindowFrames || d.value > kMaximumTimelineFrames) {
        failRecording(kOutsideTimeline);
    }
    return d.value;
}

Placement Timeline::target(CMTime source, std::uint32_t frames, CMTime receipt) {
    if (frames == 0 || frames > kMaximumChunkFrames) failRecording(kInvalidDuration);
    const std::int64_t s = offset(source, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
    const std::int64_t r = offset(receipt, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
    if (r < 0 || s > r + kReceiptLeadFrames) failRecording(kAheadOfReceipt);
    if (s > kMaximumTimelineFrames - std::int64_t(frames)) failRecording(kExceededTimeline);
    if (hasPrevious_ && (CMTimeCompare(source, previousSource_) <= 0 || s + kBoundaryToleranceFrames < previousEnd_)) {
        failRecording(kOutOfOrder);
    }
    // Audio that starts before what is already written overlaps it.
    if (nextFrame_ > 0 && s + kBoundaryToleranceFrames < std::int64_t(nextFrame_)) failRecording(kOutOfOrder);

    // Only whole frames that lie before the origin are dropped, so the count rounds
    // toward the past while the position rounds to the nearest frame.
    const std::int64_t f = offset(source, kCMTimeRoundingMethod_RoundTowardNegativeInfinity);
    hasPrevious_ = true;
    previousSource_ = source;
    previousEnd_ = s + frames;

    const std::uint32_t trimmed = f < 0 ? std::uint32_t(std::min<std::int64_t>(-f, frames)) : 0;
    discarded_ += trimmed;
    if (trimmed == frames) return Placement{nextFrame_, trimmed};

    std::int64_t start = std::max<std::int64_t>(0, s + trimmed);
    const std::int64_t expected = std::int64_t(nextFrame_);
    if (start >= expected - kBoundaryToleranceFrames && start <= expected + kBoundaryToleranceFrames) {
        start = expected;
    }
    return Placement{std::uint64_t(start), trimmed};
}

std::uint64_t Timeline::end(CMTime stopMarker) const {
    const std::int64_t e = offset(stopMarker, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
    if (e < 0) failRecording(kInvalidRecordingDuration);
    return std::max(std::uint64_t(e), nextFrame_);
}

}  // namespace quorvantel::capture
