#include "capture/emit.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>

#include "capture/capture_failure.h"
#include "platform/foundation/clock.h"

namespace quorvantel::capture {

void LineOutput::emit(const json::Value& object, int timeoutMs) const {
    std::string line;
    try {
        line = json::write(object, json::KeyOrder::insertion);
    } catch (const json::WriteError& error) {
        const std::string description = error.what();
        fail(description.empty() ? kEncodeFailedMessage : description);
    }
    line += '\n';

    constexpr std::uint64_t kNanosecondsPerMillisecond = 1'000'000;
    const std::uint64_t deadline =
        monotonicNanoseconds() + static_cast<std::uint64_t>(std::max(timeoutMs, 0)) * kNanosecondsPerMillisecond;
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) fail(kConnectionClosedMessage);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) fail(kConnectionClosedMessage);
        const std::uint64_t now = monotonicNanoseconds();
        if (now >= deadline) fail(kConsumerStoppedMessage);
        // Wait for room, but never past the deadline (rounded up to whole milliseconds).
        const std::uint64_t leftMs = (deadline - now + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond;
        pollfd writable{fd_, POLLOUT, 0};
        ::poll(&writable, 1, static_cast<int>(std::min<std::uint64_t>(leftMs, kWritablePollMs)));
    }
}

}  // namespace quorvantel::capture
