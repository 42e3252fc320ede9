#include "speech/input_reader.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace quorvantel::speech {

std::string FileDescriptorReader::read() {
    std::string chunk(kInputChunkBytes, '\0');
    while (true) {
        const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
        if (n >= 0) {
            chunk.resize(static_cast<std::size_t>(n));
            return chunk;
        }
        if (errno == EINTR) continue;
        throw std::runtime_error(std::string("Reading transcription input failed: ") + std::strerror(errno));
    }
}

}  // namespace quorvantel::speech
