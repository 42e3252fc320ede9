#include "analysis/frame/byte_source.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "analysis/frame/analysis_errors.h"

namespace quorvantel::analysis {

std::size_t FileDescriptorSource::read(char* buffer, std::size_t maximum) {
    while (true) {
        const ssize_t n = ::read(fd_, buffer, maximum);
        if (n >= 0) return static_cast<std::size_t>(n);
        // A signal that interrupts the read is not a failure of the input.
        if (errno == EINTR) continue;
        throw ReadError(std::string("cannot read standard input: ") + std::strerror(errno));
    }
}

bool FileDescriptorSink::write(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string readAtMost(ByteSource& source, std::size_t limit) {
    std::string held;
    const std::size_t capacity = limit + 1;
    held.resize(capacity);
    std::size_t size = 0;
    while (size <= limit) {
        const std::size_t n = source.read(held.data() + size, capacity - size);
        if (n == 0) break;
        size += n;
    }
    held.resize(size);
    return held;
}

}  // namespace quorvantel::analysis
