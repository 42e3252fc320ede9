#include "platform/coremedia/host_clock.h"

#include "platform/foundation/clock.h"

namespace quorvantel {

// On Linux the system units of host time are nanoseconds of CLOCK_MONOTONIC.
struct CMClock {};
namespace {
constexpr CMTimeScale hostTimescale = 1'000'000'000;
const CMClock hostClock{};
}  // namespace

CMClockRef CMClockGetHostTimeClock() { return &hostClock; }

CMTime CMClockGetTime(CMClockRef) {
    return CMClockMakeHostTimeFromSystemUnits(CMClockGetHostTimeSystemUnits());
}

CMTime CMClockMakeHostTimeFromSystemUnits(std::uint64_t hostTime) {
    return CMTimeMake(static_cast<CMTimeValue>(hostTime), hostTimescale);
}

std::uint64_t CMClockGetHostTimeSystemUnits() { return monotonicNanoseconds(); }

}  // namespace quorvantel
