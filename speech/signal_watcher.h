// SIGINT and SIGTERM during a run are received by a thread that waits for them, never
// by work inside a signal handler.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quorvantel::speech {

// Starts a thread with SIGINT and SIGTERM blocked, so that only the watcher ever
// receives them. Every thread of the helper is started through this.
std::thread startThread(std::function<void()> work);

class SignalWatcher {
public:
    // Blocks both signals in the calling thread (the others already have them
    // blocked) and starts the watching thread; the first signal runs onSignal there.
    void start(std::function<void()> onSignal);
    // Later signals are ignored.
    void stop();

private:
    // Shared with the watching thread, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> watching_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace quorvantel::speech
