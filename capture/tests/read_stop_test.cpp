#include "capture/read_stop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "capture/capture_failure.h"

namespace quorvantel::capture {
namespace {

// What one call of readStop did.
enum class Outcome { goOn, stop, failed };

struct Step {
    std::string write;     // bytes the host writes before the call
    bool closeAfter = false;  // the host closes its end before the call
    Outcome outcome;
    std::string message = "";  // the failure's message
};

class ControlPipe {
public:
    ControlPipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        ::fcntl(fds_[0], F_SETFL, ::fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
    }
    ~ControlPipe() {
        ::close(fds_[0]);
        closeWrite();
    }
    void write(const std::string& bytes) {
        if (!bytes.empty() && ::write(fds_[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("write");
        }
    }
    void closeWrite() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }
    int readEnd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

void runSteps(const std::string& name, const std::vector<Step>& steps) {
    ControlPipe pipe;
    std::string buffer;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        pipe.write(step.write);
        if (step.closeAfter) pipe.closeWrite();
        Outcome outcome;
        std::string message;
        try {
            outcome = readStop(buffer, pipe.readEnd()) ? Outcome::stop : Outcome::goOn;
        } catch (const CaptureFailure& failure) {
            outcome = Outcome::failed;
            message = failure.what();
        }
        EXPECT_EQ(outcome, step.outcome) << name << ", call " << i;
        EXPECT_EQ(message, step.message) << name << ", call " << i;
        if (outcome != Outcome::goOn) return;
    }
}

TEST(CaptureReadStop, FollowsEveryControlRule) {
    const std::string unknown = kUnknownControlMessage;
    const std::string invalid = kInvalidControlMessage;
    const std::vector<std::pair<std::string, std::vector<Step>>> cases = {
        {"nothing yet", {{"", false, Outcome::goOn}}},
        {"stop", {{"stop\n", false, Outcome::stop}}},
        {"stop with CR LF", {{"stop\r\n", false, Outcome::stop}}},
        {"split stop", {{"st", false, Outcome::goOn}, {"op\n", false, Outcome::stop}}},
        {"split before the line feed", {{"stop", false, Outcome::goOn}, {"\n", false, Outcome::stop}}},
        {"end of input", {{"", true, Outcome::stop}}},
        {"end of input after a partial line", {{"st", false, Outcome::goOn}, {"", true, Outcome::stop}}},
        {"capitals", {{"Stop\n", false, Outcome::failed, unknown}}},
        {"trailing space", {{"stop \n", false, Outcome::failed, unknown}}},
        {"empty line", {{"\n", false, Outcome::failed, unknown}}},
        {"lone CR line", {{"\r\n", false, Outcome::failed, unknown}}},
        {"two CRs", {{"stop\r\r\n", false, Outcome::failed, unknown}}},
        {"other word", {{"pause\n", false, Outcome::failed, unknown}}},
        {"JSON stop", {{"{\"type\":\"stop\"}\n", false, Outcome::failed, unknown}}},
        {"only the first line counts", {{"stop\ngarbage\n", false, Outcome::stop}}},
        {"a bad first line fails even before stop", {{"go\nstop\n", false, Outcome::failed, unknown}}},
    };
    for (const auto& [name, steps] : cases) runSteps(name, steps);
}

TEST(CaptureReadStop, BoundsTheUnresolvedBytes) {
    // Reads of 256 bytes: four of them reach exactly 1,024 bytes, which is allowed;
    // one byte more is not.
    std::vector<Step> atLimit(4, Step{std::string(kControlReadBytes, 'x'), false, Outcome::goOn});
    runSteps("1,024 bytes", atLimit);

    ControlPipe pipe;
    pipe.write(std::string(kControlBufferLimit + 1, 'x'));
    std::string buffer;
    std::string message;
    try {
        for (int i = 0; i < 8; ++i) readStop(buffer, pipe.readEnd());
    } catch (const CaptureFailure& failure) {
        message = failure.what();
    }
    EXPECT_EQ(message, kInvalidControlMessage);
    EXPECT_EQ(buffer.size(), kControlBufferLimit + 1);
}

TEST(CaptureReadStop, ReadsAtMostItsChunkPerCall) {
    ControlPipe pipe;
    pipe.write(std::string(300, 'x'));
    std::string buffer;
    EXPECT_FALSE(readStop(buffer, pipe.readEnd()));
    EXPECT_EQ(buffer.size(), kControlReadBytes);
}

TEST(CaptureReadStop, AFailingReadIsAControlConnectionFailure) {
    std::string buffer;
    std::string message;
    try {
        readStop(buffer, -1);
    } catch (const CaptureFailure& failure) {
        message = failure.what();
    }
    EXPECT_EQ(message, kControlFailedMessage);
}

}  // namespace
}  // namespace quorvantel::capture
