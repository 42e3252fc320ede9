// The one writer of standard output. Each line is one compact JSON object (keys in
// insertion order) and a line feed, written whole within a deadline or not at all:
// a line is never split by another and never dropped. A pipe that stays full past the
// deadline means the host stopped reading, and the helper stops rather than buffer
// or lose audio.
#pragma once

#include <unistd.h>

#include "platform/foundation/json.h"

namespace quorvantel::capture {

// Every line's deadline, except the error line's.
inline constexpr int kLineTimeoutMs = 1000;
// The error line's deadline: it is the last word, and a host that does not read it
// within this time is not waiting for it.
inline constexpr int kErrorLineTimeoutMs = 250;
// The longest single wait for a full pipe to take bytes again.
inline constexpr int kWritablePollMs = 20;

inline constexpr const char* kConnectionClosedMessage = "The recording connection closed.";
inline constexpr const char* kConsumerStoppedMessage =
    "The recording consumer stopped accepting audio; capture stopped to prevent data loss.";
inline constexpr const char* kEncodeFailedMessage = "Could not encode capture response.";

class LineOutput {
public:
    // fd must be in non-blocking mode, or a full pipe blocks past the deadline.
    explicit LineOutput(int fd = STDOUT_FILENO) : fd_(fd) {}

    // Writes object as one line within timeoutMs, or raises the failure: the
    // serialiser's own description (or kEncodeFailedMessage), kConnectionClosedMessage
    // or kConsumerStoppedMessage.
    void emit(const json::Value& object, int timeoutMs = kLineTimeoutMs) const;

    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace quorvantel::capture
