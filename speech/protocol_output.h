// The one writer of the speech helper's standard output. Every line from every
// thread goes through it, so lines never interleave, at most one error line is ever
// written, and nothing follows it.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "platform/foundation/json.h"

namespace quorvantel::speech {

// A serialised line (without its line feed) may be at most this long.
inline constexpr std::size_t kMaximumOutputLineBytes = 524'288;

class ProtocolOutput {
public:
    // Lines go to fd; a line that cannot be serialised or written calls terminate(1),
    // which must not return (the process ends without writing anything of that line).
    ProtocolOutput(int fd, std::function<void(int)> terminate);

    // Writes the object as one sorted-key line, unless an error line was already
    // written and this object is not itself of type "error".
    void emit(const json::Object& object);
    // Writes {"type":"error","message":…} for the first call only.
    void error(const std::string& message);
    // Nothing more is written, not even an error line: the process is ending on a
    // signal.
    void close();

private:
    std::mutex lock_;
    bool errorEmitted_ = false;
    bool closed_ = false;
    int fd_;
    std::function<void(int)> terminate_;
};

// The process-wide instance on standard output; created on first use, never
// destroyed, ends the process with _exit on an output failure.
ProtocolOutput& output();

}  // namespace quorvantel::speech
