// Standard input, read in bounded chunks.
#pragma once

#include <string>

namespace quorvantel::speech {

inline constexpr std::size_t kInputChunkBytes = 16'384;

class InputReader {
public:
    virtual ~InputReader() = default;
    // Up to kInputChunkBytes; empty at end of input. Raises on a read failure.
    virtual std::string read() = 0;
};

// Reads a file descriptor (standard input in the helper).
class FileDescriptorReader final : public InputReader {
public:
    explicit FileDescriptorReader(int fd) : fd_(fd) {}
    std::string read() override;

private:
    int fd_;
};

}  // namespace quorvantel::speech
