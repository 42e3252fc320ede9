// The failure a recording raises: one complete user-facing sentence that ends the
// recording. It unwinds through the recording's owners, which release the platform
// objects on the way, to the helper's one failure boundary, which writes it as the
// "error" line.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvantel::capture {

class RecordingFailure : public std::runtime_error {
public:
    explicit RecordingFailure(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] inline void failRecording(const std::string& message) { throw RecordingFailure(message); }

}  // namespace quorvantel::capture
