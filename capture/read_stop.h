// The control channel of a recording: the host writes the one line "stop" (or closes
// standard input) to end it. Read without blocking, a few hundred bytes at a time,
// into a bounded buffer; a complete line either stops the recording or fails it, so
// nothing after the first line feed is ever interpreted.
#pragma once

#include <string>
#include <unistd.h>

namespace quorvantel::capture {

// Bytes taken from standard input per call.
inline constexpr std::size_t kControlReadBytes = 256;
// The most the buffer may hold without resolving into a line.
inline constexpr std::size_t kControlBufferLimit = 1024;

inline constexpr const char* kControlFailedMessage = "The recording control connection failed.";
inline constexpr const char* kInvalidControlMessage = "Invalid recording control message.";
inline constexpr const char* kUnknownControlMessage = "Unknown recording control message.";

// Reads what fd has (it must be non-blocking) into buffer. Returns true when the
// recording must stop ("stop", "stop" with CR LF, or end of input) and false to go on
// (nothing to read, or a partial line); raises a failure for a read error, an
// oversized buffer or any other line.
bool readStop(std::string& buffer, int fd = STDIN_FILENO);

}  // namespace quorvantel::capture
