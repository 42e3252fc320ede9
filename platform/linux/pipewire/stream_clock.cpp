#include "platform/linux/pipewire/stream_clock.h"

namespace quorvantel::pipewire {

std::uint64_t StreamClock::predicted() const {
    // Rounded to the nearest nanosecond; whole frames from one anchor never drift.
    return anchorNs_ + (framesSinceAnchor_ * 1'000'000'000ull + rate_ / 2) / rate_;
}

std::uint64_t StreamClock::place(std::uint64_t reportedNs, std::uint32_t frames) {
    if (!anchored_ || reportedNs > predicted() + kReanchorToleranceNs) {
        anchored_ = true;
        anchorNs_ = reportedNs;
        framesSinceAnchor_ = 0;
    }
    const std::uint64_t start = predicted();
    framesSinceAnchor_ += frames;
    return start;
}

}  // namespace quorvantel::pipewire
