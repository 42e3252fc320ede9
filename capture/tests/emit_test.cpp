#include "capture/emit.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "capture/capture_failure.h"

namespace quorvantel::capture {
namespace {

// A pipe whose write end is non-blocking, as the helper's standard output is.
class Pipe {
public:
    Pipe() {
        std::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        ::fcntl(fds_[1], F_SETFL, ::fcntl(fds_[1], F_GETFL) | O_NONBLOCK);
    }
    ~Pipe() {
        closeRead();
        if (fds_[1] >= 0) ::close(fds_[1]);
    }
    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeRead() {
        if (fds_[0] >= 0) ::close(fds_[0]);
        fds_[0] = -1;
    }
    std::string drain() {
        ::fcntl(fds_[0], F_SETFL, ::fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
        std::string out;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }
    // Fills the pipe until it takes no more bytes.
    std::size_t fill() {
        const std::string block(4096, 'x');
        std::size_t total = 0;
        while (true) {
            const ssize_t n = ::write(fds_[1], block.data(), block.size());
            if (n > 0) {
                total += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                // A pipe may still take fewer bytes than one block.
                if (::write(fds_[1], "x", 1) == 1) {
                    ++total;
                    continue;
                }
                return total;
            }
            throw std::runtime_error("fill");
        }
    }

private:
    int fds_[2] = {-1, -1};
};

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CaptureFailure& failure) {
        return failure.what();
    }
    return "";
}

TEST(CaptureEmit, WritesOneCompactLineInInsertionOrder) {
    Pipe pipe;
    const LineOutput output(pipe.writeEnd());
    output.emit(json::Object{{"type", "silence"}, {"startFrame", 144000}, {"frames", 4800}});
    output.emit(json::Object{{"type", "error"}, {"message", "a/b"}});
    EXPECT_EQ(pipe.drain(),
              "{\"type\":\"silence\",\"startFrame\":144000,\"frames\":4800}\n"
              "{\"type\":\"error\",\"message\":\"a\\/b\"}\n");
}

TEST(CaptureEmit, UnserialisableObjectsFailWithTheSerialisersDescription) {
    Pipe pipe;
    const LineOutput output(pipe.writeEnd());
    const json::Value cases[] = {
        json::Object{{"type", "audio"}, {"peak", std::nan("")}},
        json::Object{{"type", "meeting-metadata"}, {"windowTitle", "\xC3("}},
    };
    for (const auto& object : cases) {
        const std::string failure = failureOf([&] { output.emit(object); });
        EXPECT_FALSE(failure.empty());
        EXPECT_NE(failure, kConnectionClosedMessage);
    }
    EXPECT_EQ(pipe.drain(), "");
}

TEST(CaptureEmit, AClosedReaderIsAClosedConnection) {
    Pipe pipe;
    pipe.closeRead();
    const LineOutput output(pipe.writeEnd());
    EXPECT_EQ(failureOf([&] { output.emit(json::Object{{"type", "selftest"}, {"ok", true}}); }),
              kConnectionClosedMessage);
}

TEST(CaptureEmit, AnUnusableDescriptorIsAClosedConnection) {
    const LineOutput output(-1);
    EXPECT_EQ(failureOf([&] { output.emit(json::Object{{"type", "selftest"}}); }), kConnectionClosedMessage);
}

TEST(CaptureEmit, AReaderThatStopsReadingFailsTheLineAtItsDeadline) {
    Pipe pipe;
    pipe.fill();
    const LineOutput output(pipe.writeEnd());
    for (const int timeoutMs : {0, 1, 45}) {
        EXPECT_EQ(failureOf([&] { output.emit(json::Object{{"type", "audio"}, {"data", "AAAA"}}, timeoutMs); }),
                  kConsumerStoppedMessage)
            << timeoutMs;
    }
}

}  // namespace
}  // namespace quorvantel::capture
