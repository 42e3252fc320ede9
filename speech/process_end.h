// The process ends once. Several threads may want to end it at the same moment (the
// driver after a failure, a session's failure report, a watchdog, the signal
// watcher); the first to claim the end decides the exit status and the others wait
// for it.
#pragma once

namespace quorvantel::speech {

// Exits with the status unless another thread has already claimed the end, in which
// case it waits for that thread to end the process.
[[noreturn]] void endProcess(int status);

// Claims the end for a signal: returns false when the process is already ending.
bool claimProcessEndForSignal();

}  // namespace quorvantel::speech
