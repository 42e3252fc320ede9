// The built-in self-test: synthetic series-identifier and meeting-link checks that
// need no calendar access and no input.
#pragma once

namespace quorvantel::calendar {

inline constexpr int kSyntheticCases = 13;

// Runs the checks in order and returns how many ran; the first failing check raises
// CalendarFailure(accessFailed).
int runSelfTest();

}  // namespace quorvantel::calendar
