#include "capture/read_stop.h"

#include <cerrno>
#include <string_view>

#include "capture/capture_failure.h"

namespace quorvantel::capture {

bool readStop(std::string& buffer, int fd) {
    char chunk[kControlReadBytes];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    // End of file: the host closed its end, an ordinary request to stop.
    if (n == 0) return true;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
        fail(kControlFailedMessage);
    }
    buffer.append(chunk, static_cast<std::size_t>(n));
    if (buffer.size() > kControlBufferLimit) fail(kInvalidControlMessage);
    const std::size_t lineFeed = buffer.find('\n');
    if (lineFeed == std::string::npos) return false;
    std::string_view line(buffer.data(), lineFeed);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "stop") return true;
    fail(kUnknownControlMessage);
}

}  // namespace quorvantel::capture
