// The recording's frame timeline: 48,000 stereo frames a second, numbered from 0 at
// the session origin. It turns the host-clock times of captured audio into frame
// positions: where each converted chunk belongs, how much of a chunk that began
// before the origin is dropped, when a jump in the times is a real gap (written as
// silence) and when it is rounding noise, and where the recording ends. Audio that
// overlaps or goes backwards is a failure; the timeline is never repaired.
#pragma once

#include <cstdint>

#include "platform/coremedia/cmtime.h"

namespace quorvantel::capture {

inline constexpr CMTimeScale kTimelineRate = 48'000;
// Seven days: no frame at or beyond this position is written; a recording may end
// exactly at it.
inline constexpr std::int64_t kMaximumTimelineFrames = 29'030'400'000;
// How far before the origin a timestamp may lie (two seconds of device start-up).
inline constexpr std::int64_t kPrerollWindowFrames = 96'000;
// How far after its receipt a chunk's host time may lie.
inline constexpr std::int64_t kReceiptLeadFrames = 96'000;
inline constexpr std::uint32_t kMaximumChunkFrames = 16'384;
// A start within this many frames of the expected position counts as contiguous.
inline constexpr std::int64_t kBoundaryToleranceFrames = 1;

// A host-clock time the timeline can work with: a plain, non-negative number of
// epoch 0 at a positive timescale.
bool isUsableTime(CMTime time);

struct Placement {
    std::uint64_t start = 0;    // where the kept part of the chunk is written
    std::uint32_t trimmed = 0;  // leading frames of the chunk that are dropped
};

class Timeline {
public:
    explicit Timeline(CMTime origin) : origin_(origin) {}

    CMTime origin() const { return origin_; }

    // The frame offset of a time from the origin, rounded as asked.
    std::int64_t offset(CMTime time, CMTimeRoundingMethod method) const;

    // Places a chunk of `frames` frames whose first frame has the host time `source`
    // and whose audio the callback received at `receipt`, and records it as placed.
    Placement target(CMTime source, std::uint32_t frames, CMTime receipt);

    // The frame at which the recording ends, given the host time read when the
    // recording loop ended: never before audio already written.
    std::uint64_t end(CMTime stopMarker) const;

    // The first frame not yet written; only the writer of lines advances it.
    std::uint64_t nextFrame() const { return nextFrame_; }
    void setNextFrame(std::uint64_t frame) { nextFrame_ = frame; }

    // Frames dropped because they lay before the origin.
    std::uint64_t discarded() const { return discarded_; }

private:
    CMTime origin_;
    bool hasPrevious_ = false;
    CMTime previousSource_ = kCMTimeInvalid;
    std::int64_t previousEnd_ = 0;
    std::uint64_t nextFrame_ = 0;
    std::uint64_t discarded_ = 0;
};

}  // namespace quorvantel::capture
