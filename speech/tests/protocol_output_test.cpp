#include "speech/protocol_output.h"

#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

struct Pipe {
    int fds[2];
    Pipe() {
        EXPECT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    }
    ~Pipe() {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    std::string drain() {
        std::string all;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) all.append(buffer, std::size_t(n));
        return all;
    }
};

}  // namespace

TEST(ProtocolOutput, OneErrorLineAndNothingAfterItWhicheverThreadWrites) {
    Pipe pipe;
    ProtocolOutput out(pipe.fds[1], [](int) { FAIL(); });
    out.emit(json::Object{{"type", "ready"}});
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                out.emit(json::Object{{"type", "segment"}, {"id", t * 100 + i}});
                if (t == 3 && i == 10) out.error("first failure");
                if (t == 5 && i == 20) out.error("second failure");
            }
        });
    }
    for (auto& writer : writers) writer.join();
    out.emit(json::Object{{"type", "stopped"}});
    out.emit(json::Object{{"type", "error"}, {"message", "an emitted error still passes"}});
    const std::string all = pipe.drain();
    // The two threads race to fail: whichever reports first is the one line written.
    const std::string firstLine = "{\"message\":\"first failure\",\"type\":\"error\"}\n";
    const std::string secondLine = "{\"message\":\"second failure\",\"type\":\"error\"}\n";
    const auto first = all.find(firstLine), second = all.find(secondLine);
    ASSERT_TRUE((first == std::string::npos) != (second == std::string::npos)) << all;
    const auto firstError = first != std::string::npos ? first : second;
    const std::string& errorLine = first != std::string::npos ? firstLine : secondLine;
    const std::string after = all.substr(firstError + errorLine.size());
    EXPECT_EQ(after, "{\"message\":\"an emitted error still passes\",\"type\":\"error\"}\n");
    // Every line before it is whole.
    std::size_t start = 0, lines = 0;
    for (std::size_t newline; (newline = all.find('\n', start)) != std::string::npos && start < firstError; start = newline + 1) {
        EXPECT_EQ(all[start], '{');
        EXPECT_EQ(all[newline - 1], '}');
        ++lines;
    }
    EXPECT_GT(lines, 1u);
}

TEST(ProtocolOutput, AnOversizedOrUnserialisableLineEndsTheProcessWithoutWriting) {
    const std::size_t overhead = std::string("{\"text\":\"\",\"type\":\"segment\"}").size();
    struct Case {
        json::Object object;
        bool ends;
    };
    const std::vector<Case> cases = {
        {{{"type", "segment"}, {"text", std::string(kMaximumOutputLineBytes - overhead, 'x')}}, false},
        {{{"type", "segment"}, {"text", std::string(kMaximumOutputLineBytes - overhead + 1, 'x')}}, true},
        {{{"type", "segment"}, {"startMs", std::nan("")}}, true},
        {{{"type", "segment"}, {"text", std::string("\xff")}}, true},
    };
    for (const Case& c : cases) {
        Pipe pipe;
        int ended = -1;
        ProtocolOutput out(pipe.fds[1], [&](int status) { ended = status; });
        out.emit(c.object);
        const std::string written = pipe.drain();
        if (c.ends) {
            EXPECT_EQ(ended, 1);
            EXPECT_EQ(written, "");
        } else {
            EXPECT_EQ(ended, -1);
            EXPECT_EQ(written.size(), kMaximumOutputLineBytes + 1);
        }
    }
}

TEST(ProtocolOutput, AFailedWriteEndsTheProcess) {
    Pipe pipe;
    close(pipe.fds[0]);
    pipe.fds[0] = open("/dev/null", O_RDONLY);
    signal(SIGPIPE, SIG_IGN);
    int ended = -1;
    ProtocolOutput out(pipe.fds[1], [&](int status) { ended = status; });
    out.emit(json::Object{{"type", "ready"}});
    EXPECT_EQ(ended, 1);
}
