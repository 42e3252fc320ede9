// The monotonic clock: elapsed time that never jumps with the wall clock.
#pragma once

#include <cstdint>

namespace quorvantel {

// Nanoseconds of CLOCK_MONOTONIC.
std::uint64_t monotonicNanoseconds();

// Milliseconds since the Unix epoch, from the wall clock, with a fraction.
double wallClockMilliseconds();

}  // namespace quorvantel
