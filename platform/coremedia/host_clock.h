// The host-time clock: one monotonic timeline for every reading and every audio
// callback's time stamp.
#pragma once

#include <cstdint>

#include "platform/coremedia/cmtime.h"

namespace quorvantel {

struct CMClock;
using CMClockRef = const CMClock*;

CMClockRef CMClockGetHostTimeClock();
// The clock's current time.
CMTime CMClockGetTime(CMClockRef clock);
// A host-time stamp in the clock's system units as a time on the same clock.
CMTime CMClockMakeHostTimeFromSystemUnits(std::uint64_t hostTime);
// The clock's current reading in system units.
std::uint64_t CMClockGetHostTimeSystemUnits();

}  // namespace quorvantel
