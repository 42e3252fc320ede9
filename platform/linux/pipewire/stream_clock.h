// Host times of the capture stream's buffers. PipeWire reports each cycle's time on
// CLOCK_MONOTONIC, the host clock, but with the jitter of its timer; a device whose
// buffers follow each other holds a frame counter instead. So a buffer continues
// the previous one exactly, at the stream's rate, unless the reported time has run
// ahead by more than a tolerance: then the stream really paused (a skipped cycle, a
// driver change) and the time is taken anew, which the recording turns into silence.
// Reported times that fall behind are jitter; the stream never goes back in time.
#pragma once

#include <cstdint>

namespace quorvantel::pipewire {

// Jitter of the graph's timer stays far below this; a pause of the graph does not.
inline constexpr std::uint64_t kReanchorToleranceNs = 2'000'000;

class StreamClock {
public:
    explicit StreamClock(std::uint32_t rate) : rate_(rate) {}

    // The host time of the first frame of a buffer of `frames` frames whose time the
    // stream reported as `reportedNs`.
    std::uint64_t place(std::uint64_t reportedNs, std::uint32_t frames);

private:
    std::uint64_t predicted() const;

    std::uint32_t rate_;
    bool anchored_ = false;
    std::uint64_t anchorNs_ = 0;
    std::uint64_t framesSinceAnchor_ = 0;
};

}  // namespace quorvantel::pipewire
