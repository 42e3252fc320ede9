// A slow reader: lines much larger than the pipe go out in many partial writes, each
// whole and in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "capture/emit.h"

namespace quorvantel::capture {
namespace {

TEST(CaptureEmitThreaded, LinesLargerThanThePipeArriveWholeAndInOrder) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    // The smallest pipe the kernel allows (one page), so that every line is split.
    ::fcntl(fds[1], F_SETPIPE_SZ, 4096);

    std::string received;
    std::thread reader([&] {
        char buffer[1000];
        ssize_t n;
        // Small reads, so the writer keeps finding the pipe full.
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<std::size_t>(n));
    });

    const LineOutput output(fds[1]);
    std::string expected;
    for (int i = 0; i < 8; ++i) {
        const std::string data(60000 + i, static_cast<char>('a' + i));
        const json::Value line = json::Object{{"type", "audio"}, {"data", data}, {"startFrame", i}};
        output.emit(line);
        expected += json::write(line, json::KeyOrder::insertion) + "\n";
    }
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
}

}  // namespace
}  // namespace quorvantel::capture
