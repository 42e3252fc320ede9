#include "capture/stop_flag.h"

#include <atomic>

namespace quorvantel::capture {
namespace {

// A lock-free atomic is safe to store from a signal handler and to read from any
// thread.
std::atomic<int> stopFlag{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void signalHandler(int) { stopFlag.store(1, std::memory_order_relaxed); }
bool stopRequested() { return stopFlag.load(std::memory_order_relaxed) != 0; }
void clearStopFlag() { stopFlag.store(0, std::memory_order_relaxed); }

}  // namespace quorvantel::capture
