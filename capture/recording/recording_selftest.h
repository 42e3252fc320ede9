// The recording's built-in fixtures for `selftest`: the timeline, sample decoding,
// the ring, the stereo converter and the line formats, without any audio device.
#pragma once

namespace quorvantel::capture {

// Returns when every fixture passes; otherwise raises the first failing fixture's
// message (or the failure of the logic under test, where it failed to succeed).
void runRecordingFixtures();

}  // namespace quorvantel::capture
