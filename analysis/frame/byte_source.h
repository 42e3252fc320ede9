// Where the request bytes come from and where the result line goes: the standard
// streams in a helper, strings in tests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvantel::analysis {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to maximum bytes into buffer; 0 means end of input. Raises ReadError.
    virtual std::size_t read(char* buffer, std::size_t maximum) = 0;
};

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // Writes all bytes; false when they could not all be written.
    virtual bool write(std::string_view bytes) = 0;
};

class FileDescriptorSource final : public ByteSource {
public:
    explicit FileDescriptorSource(int fd) : fd_(fd) {}
    std::size_t read(char* buffer, std::size_t maximum) override;

private:
    int fd_;
};

class FileDescriptorSink final : public OutputSink {
public:
    explicit FileDescriptorSink(int fd) : fd_(fd) {}
    bool write(std::string_view bytes) override;

private:
    int fd_;
};

// The bytes of the source, read until its end or until more than limit bytes are
// held, whichever comes first: never more than limit + 1 bytes are asked for in all,
// so an oversized request costs no more than the limit to reject.
std::string readAtMost(ByteSource& source, std::size_t limit);

}  // namespace quorvantel::analysis
