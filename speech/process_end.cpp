#include "speech/process_end.h"

#include <atomic>
#include <unistd.h>

namespace quorvantel::speech {
namespace {

std::atomic<bool> endClaimed{false};

[[noreturn]] void waitForTheEnd() {
    while (true) pause();
}

}  // namespace

void endProcess(int status) {
    if (endClaimed.exchange(true)) waitForTheEnd();
    _exit(status);
}

bool claimProcessEndForSignal() { return !endClaimed.exchange(true); }

}  // namespace quorvantel::speech
