// The process-wide stop flag: SIGINT and SIGTERM set it, and only a recording reads
// it. The handler does nothing but store the flag, which is safe in a signal handler.
#pragma once

namespace quorvantel::capture {

void signalHandler(int signalNumber);
bool stopRequested();
// Clears the flag; for tests that raise the signals themselves.
void clearStopFlag();

}  // namespace quorvantel::capture
