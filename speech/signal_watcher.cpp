#include "speech/signal_watcher.h"

#include <csignal>
#include <pthread.h>

namespace quorvantel::speech {
namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

std::thread startThread(std::function<void()> work) {
    const sigset_t blocked = terminationSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    std::thread thread(std::move(work));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

void SignalWatcher::start(std::function<void()> onSignal) {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    *watching_ = true;
    // The watcher lives until the process ends; it owns nothing the process must free.
    startThread([watching = watching_, set, onSignal = std::move(onSignal)] {
        while (true) {
            int received = 0;
            if (sigwait(&set, &received) != 0) continue;
            if (watching->exchange(false)) {
                onSignal();
                return;
            }
        }
    }).detach();
}

void SignalWatcher::stop() { *watching_ = false; }

}  // namespace quorvantel::speech
