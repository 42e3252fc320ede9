#include "capture/process_frame.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture/capture_failure.h"
#include "capture/stop_flag.h"
#include "capture/tests/fakes.h"
#include "platform/coreaudio/tap_description_record.h"
#include "platform/foundation/service_failure.h"
#include "platform/sim/coregraphics/sim_coregraphics.h"

namespace quorvantel::capture {
namespace {

using testing::application;
using testing::FakeProcessObjects;
using testing::FakeWorkspace;
using testing::identity;
using testing::IdentityTable;

// The helper's frame over fakes, writing into a pipe the test reads.
class Frame {
public:
    explicit Frame(const char* scenarioText = "{}")
        : scenario_(json::parse(scenarioText)),
          access_(sim::Section::root(scenario_)),
          windows_(sim::Section::root(scenario_)),
          displays_(sim::Section::root(scenario_)) {
        std::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(out_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        ::fcntl(out_[1], F_SETFL, ::fcntl(out_[1], F_GETFL) | O_NONBLOCK);
        identities.set(identity(600, 1, 500)).set(identity(700, 600, 600)).set(identity(42, 1, 1000));
        workspace = FakeWorkspace({application("com.example.Meet", "Meet", 42)});
    }
    ~Frame() {
        closeReader();
        ::close(out_[1]);
    }

    int run(const std::vector<std::string>& arguments) {
        CapturePlatform platform{workspace,
                                 objects,
                                 descriptions,
                                 access_,
                                 windows_,
                                 displays_,
                                 identities.reader(),
                                 [] { return 700; },
                                 [] { return 600; },
                                 "org.quorvantel.capture",
                                 [] { return 1768469400123.0; },
                                 record,
                                 selfTests,
                                 wording};
        return runCaptureCommand(arguments, platform, LineOutput(out_[1]), controlFd);
    }
    std::string output() {
        ::fcntl(out_[0], F_SETFL, ::fcntl(out_[0], F_GETFL) | O_NONBLOCK);
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out_[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    void closeReader() {
        if (out_[0] >= 0) ::close(out_[0]);
        out_[0] = -1;
    }
    void fillOutput() {
        const std::string block(65536, 'x');
        while (::write(out_[1], block.data(), block.size()) > 0) {
        }
        while (::write(out_[1], "x", 1) > 0) {
        }
    }

    FakeWorkspace workspace;
    FakeProcessObjects objects;
    TapDescriptionRecords descriptions;
    IdentityTable identities;
    std::function<void(RecordingContext&)> record = [](RecordingContext&) {};
    std::function<void()> selfTests;
    PlatformWording wording;
    int controlFd = 17;

private:
    json::Value scenario_;
    sim::SimScreenCaptureAccess access_;
    sim::SimWindowList windows_;
    sim::SimDisplayList displays_;
    int out_[2] = {-1, -1};
};

TEST(CaptureFrame, ACommandThatFinishesExitsZeroWithItsLine) {
    Frame frame;
    EXPECT_EQ(frame.run({"list"}), 0);
    EXPECT_EQ(frame.output(), R"({"type":"sources","sources":[{"id":"com.example.Meet","name":"Meet"}]})"
                              "\n");
    EXPECT_EQ(frame.run({"selftest"}), 0);
    EXPECT_EQ(frame.output(), "{\"type\":\"selftest\",\"ok\":true}\n");
    EXPECT_EQ(frame.run({"display-status"}), 0);
    EXPECT_EQ(frame.output(),
              R"({"type":"display-status","schemaVersion":1,"status":"ok","observedAt":"2026-01-15T09:30:00.123Z",)"
              R"("onlineDisplayCount":1,"activeDisplayCount":1,"asleepDisplayCount":0,"state":"active-displays"})"
              "\n");
}

TEST(CaptureFrame, AFailedDisplayQueryWritesItsLineAndExitsOne) {
    Frame frame(R"({"displays":{"activeError":1000}})");
    EXPECT_EQ(frame.run({"display-status"}), 1);
    EXPECT_EQ(frame.output(),
              R"({"type":"display-status","schemaVersion":1,"status":"error","observedAt":"2026-01-15T09:30:00.123Z",)"
              R"("query":"active","reason":"query-failed","errorCode":1000})"
              "\n");
}

TEST(CaptureFrame, TheRecordingGetsThePreparedSelection) {
    Frame frame;
    frame.objects.objects = {{0x20, 42}};
    bool called = false;
    frame.record = [&](RecordingContext& context) {
        called = true;
        EXPECT_EQ(context.controlFd, 17);
        EXPECT_EQ(context.isolation.bundleId(), "com.example.Meet");
        EXPECT_EQ(context.isolation.target().pid, 42);
        EXPECT_EQ(context.isolation.own().pid, 700);
        EXPECT_EQ(context.isolation.tapDescription().processes(), std::vector<AudioObjectID>{0x20});
        context.output.emit(json::Object{{"type", "stopped"}, {"totalFrames", 0}, {"discardedPreStartFrames", 0}});
    };
    EXPECT_EQ(frame.run({"record", "--bundle-id", "com.example.Meet"}), 0);
    EXPECT_TRUE(called);
    EXPECT_EQ(frame.output(), "{\"type\":\"stopped\",\"totalFrames\":0,\"discardedPreStartFrames\":0}\n");
}

TEST(CaptureFrame, AFailureBecomesTheLastLine) {
    struct Case {
        const char* what;
        std::function<void(RecordingContext&)> record;
        std::string output;
        PlatformWording wording = {};
    };
    const Case cases[] = {
        {"a capture failure after a line",
         [](RecordingContext& c) {
             c.output.emit(json::Object{{"type", "started"}});
             fail("Recording was cancelled.");
         },
         "{\"type\":\"started\"}\n{\"type\":\"error\",\"message\":\"Recording was cancelled.\"}\n"},
        {"a message that is not UTF-8", [](RecordingContext&) { fail("bad \xFF text"); },
         "{\"type\":\"error\",\"message\":\"Native audio capture failed.\"}\n"},
        {"an exception of no sentence", [](RecordingContext&) { throw std::bad_alloc(); },
         "{\"type\":\"error\",\"message\":\"Native audio capture failed.\"}\n"},
        {"a sentence naming the system, on another one",
         [](RecordingContext&) { fail("macOS could not start computer audio recording (Core Audio -1). Try again."); },
         "{\"type\":\"error\",\"message\":\"Linux could not start computer audio recording (PipeWire -1). Try "
         "again.\"}\n",
         PlatformWording{"Linux", "PipeWire"}},
        {"a missing service of the machine", [](RecordingContext&) { throw ServiceFailure("Start the server."); },
         "{\"type\":\"error\",\"message\":\"Start the server.\"}\n"},
    };
    for (const auto& c : cases) {
        Frame frame;
        frame.record = c.record;
        frame.wording = c.wording;
        EXPECT_EQ(frame.run({"record", "--all-system"}), 1) << c.what;
        EXPECT_EQ(frame.output(), c.output) << c.what;
    }
    Frame frame;
    frame.selfTests = [] { fail("Audio timeline envelope self-test failed."); };
    EXPECT_EQ(frame.run({"selftest"}), 1);
    EXPECT_EQ(frame.output(), "{\"type\":\"error\",\"message\":\"Audio timeline envelope self-test failed.\"}\n");
}

TEST(CaptureFrame, AnErrorLineThatCannotBeWrittenStillExitsOne) {
    Frame closed;
    closed.closeReader();
    EXPECT_EQ(closed.run({"list"}), 1);

    // The host stopped reading: the line and then the error line both miss their
    // deadlines, and nothing is written at all.
    Frame full;
    full.fillOutput();
    EXPECT_EQ(full.run({"selftest"}), 1);
    const std::string output = full.output();
    EXPECT_EQ(output.find('{'), std::string::npos);
}

TEST(CaptureFrame, StartUpIgnoresSigpipeSetsTheStopFlagAndMakesTheStreamsNonBlocking) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Fresh streams of its own, so that the test's descriptions keep their flags.
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) ::_exit(10);
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        clearStopFlag();
        startUp();
        if (!(::fcntl(STDIN_FILENO, F_GETFL) & O_NONBLOCK) || !(::fcntl(STDOUT_FILENO, F_GETFL) & O_NONBLOCK)) {
            ::_exit(11);
        }
        ::raise(SIGPIPE);
        if (stopRequested()) ::_exit(12);
        ::raise(SIGTERM);
        if (!stopRequested()) ::_exit(13);
        clearStopFlag();
        ::raise(SIGINT);
        if (!stopRequested()) ::_exit(14);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace quorvantel::capture
