// `quorvantel-capture record` over pipes, as the host runs it, on the stand-in Core
// Audio device.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace quorvantel::capture {
namespace {

using quorvantel::testing::Child;
using quorvantel::testing::ChildExit;
using quorvantel::testing::ChildOptions;
using quorvantel::testing::helperPath;
using quorvantel::testing::writeTemporaryFile;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// One run of the helper: its lines as JSON, its exit, and the moments that bound
// how long it recorded.
class Recording {
public:
    Recording(const std::vector<std::string>& arguments, const std::string& scenario,
              const std::string& pendingInput = "") {
        ChildOptions options;
        options.arguments = arguments;
        options.pendingInput = pendingInput;
        if (!scenario.empty()) {
            scenarioPath_ = writeTemporaryFile(scenario, ".json");
            options.environment["QUORVANTEL_SIMULATION"] = scenarioPath_;
        }
        spawned_ = Clock::now();
        child_.emplace(helperPath("quorvantel-capture"), options);
    }
    ~Recording() {
        child_.reset();
        if (!scenarioPath_.empty()) std::remove(scenarioPath_.c_str());
    }

    Child& child() { return *child_; }

    // Reads the "started" line; false when the helper wrote something else.
    bool started() {
        if (!take(std::chrono::seconds(10))) return false;
        startedSeen_ = Clock::now();
        return type(lines.back()) == "started";
    }
    // Keeps reading for a while, as a host does, so the pipe never fills.
    void readFor(std::chrono::milliseconds period) {
        const auto until = Clock::now() + period;
        while (Clock::now() < until) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (!take(std::max(left, std::chrono::milliseconds(1)))) break;
        }
    }
    // Marks the moment the host asked to stop, for the lower bound of the length.
    void stopAsked() { stopAsked_ = Clock::now(); }
    // Reads to the end of output and waits for the exit.
    ChildExit finish() {
        while (take(std::chrono::seconds(10))) {}
        exit = child_->wait();
        lifetime_ = secondsSince(spawned_);
        return exit;
    }

    static std::string type(const json::Value& line) { return line.find("type")->asString(); }
    std::size_t count(const std::string& t) const {
        std::size_t n = 0;
        for (const auto& l : lines) n += type(l) == t;
        return n;
    }
    const json::Value& last() const { return lines.back(); }
    // The audio and silence lines cover frame 0 onwards without gap or overlap.
    std::int64_t coveredFrames() const {
        std::int64_t next = 0;
        for (const auto& l : lines) {
            const std::string t = type(l);
            if (t != "audio" && t != "silence") continue;
            EXPECT_EQ(l.find("startFrame")->asInt(), next);
            if (t == "silence") {
                EXPECT_GE(l.find("frames")->asInt(), 1);
                next += l.find("frames")->asInt();
            } else {
                const auto bytes = base64::decodeCanonical(l.find("data")->asString());
                EXPECT_TRUE(bytes.has_value());
                next += bytes ? std::int64_t(bytes->size() / 4) : 0;
            }
        }
        return next;
    }
    // The peaks of audio lines long enough to hold a whole period of a 440 Hz tone,
    // skipping the first few (the resampler's start).
    std::vector<double> tonePeaks(std::size_t skip = 2) const {
        std::vector<double> p;
        std::size_t seen = 0;
        for (const auto& l : lines) {
            if (type(l) != "audio" || seen++ < skip) continue;
            if (base64::decodeCanonical(l.find("data")->asString())->size() / 4 >= 128) {
                p.push_back(l.find("peak")->asDouble());
            }
        }
        return p;
    }
    // Silence lines after the first audio line.
    std::vector<std::int64_t> silencesAfterAudio() const {
        std::vector<std::int64_t> found;
        bool audio = false;
        for (const auto& l : lines) {
            audio = audio || type(l) == "audio";
            if (audio && type(l) == "silence") found.push_back(l.find("frames")->asInt());
        }
        return found;
    }

    // A complete recording: "started", contiguous lines from frame 0, "stopped" with
    // their sum, lasting at least from "started" to the stop request and at most the
    // helper's whole life (unless the source clock ran ahead of it).
    void expectComplete(bool boundedByLifetime = true) {
        ASSERT_TRUE(exit.exited);
        EXPECT_EQ(exit.exitStatus, 0);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(type(lines.front()), "started");
        EXPECT_EQ(lines.front().find("sampleRate")->asInt(), 48'000);
        EXPECT_EQ(lines.front().find("channels")->asInt(), 2);
        ASSERT_EQ(type(last()), "stopped");
        EXPECT_EQ(count("started"), 1u);
        EXPECT_EQ(count("stopped"), 1u);
        const std::int64_t total = last().find("totalFrames")->asInt();
        EXPECT_EQ(coveredFrames(), total);
        EXPECT_EQ(last().find("discardedPreStartFrames")->asInt(), 0);
        const double seconds = double(total) / 48'000;
        if (stopAsked_) {
            EXPECT_GE(seconds, std::chrono::duration<double>(*stopAsked_ - startedSeen_).count());
        }
        if (boundedByLifetime) {
            EXPECT_LE(seconds, lifetime_);
        }
    }

    std::vector<json::Value> lines;
    ChildExit exit;

private:
    bool take(std::chrono::milliseconds timeout) {
        const auto line = child_->readLine(timeout);
        if (!line) return false;
        lines.push_back(json::parse(*line));
        return true;
    }

    std::string scenarioPath_;
    std::optional<Child> child_;
    Clock::time_point spawned_;
    Clock::time_point startedSeen_;
    std::optional<Clock::time_point> stopAsked_;
    double lifetime_ = 0;
};

const std::vector<std::string> kAllSystem = {"record", "--all-system"};

std::string errorMessage(const json::Value& line) {
    if (Recording::type(line) == "error") return line.find("message")->asString();
    return "a line of type " + Recording::type(line);
}

TEST(RecordProcess, EachWayOfStoppingEndsWithACompleteRecording) {
    struct Case {
        const char* name;
        std::function<void(Recording&)> stop;
    };
    const std::vector<Case> cases = {
        {"stop line", [](Recording& r) { r.child().write("stop\n"); }},
        {"stop with CR LF", [](Recording& r) { r.child().write("stop\r\n"); }},
        {"stop split across writes",
         [](Recording& r) {
             r.child().write("st");
             r.readFor(std::chrono::milliseconds(60));
             r.child().write("op\n");
         }},
        {"end of input", [](Recording& r) { r.child().closeInput(); }},
        {"SIGTERM", [](Recording& r) { r.child().kill(SIGTERM); }},
        {"SIGINT", [](Recording& r) { r.child().kill(SIGINT); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r(kAllSystem, "");
        ASSERT_TRUE(r.started());
        r.readFor(std::chrono::milliseconds(200));
        r.stopAsked();
        c.stop(r);
        r.finish();
        r.expectComplete();
        EXPECT_GT(r.count("audio"), 5u);
    }
}

TEST(RecordProcess, AStopBeforeTheStartCancelsWithoutAStartedLine) {
    // Waiting before the helper's first read: written after the spawn, it could arrive
    // after the start on a busy machine and stop a started recording instead.
    Recording r(kAllSystem, "", "stop\n");
    r.finish();
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(errorMessage(r.last()), "Recording was cancelled.");
    EXPECT_EQ(r.exit.exitStatus, 1);
}

TEST(RecordProcess, AnUnknownControlLineFailsAfterTheAudioBeforeIt) {
    Recording r(kAllSystem, "");
    ASSERT_TRUE(r.started());
    r.readFor(std::chrono::milliseconds(100));
    r.child().write("Stop\n");
    r.finish();
    EXPECT_EQ(errorMessage(r.last()), "Unknown recording control message.");
    EXPECT_EQ(r.exit.exitStatus, 1);
    EXPECT_EQ(r.count("stopped"), 0u);
    r.coveredFrames();
}

// What the host writes while the helper prepares is read just before the start; it
// is part of the control channel like anything written later.
TEST(RecordProcess, ControlBytesWrittenBeforeTheStartCountWithTheRest) {
    {
        SCOPED_TRACE("a stop line split across the start");
        Recording r(kAllSystem, "");
        r.child().write("st");
        ASSERT_TRUE(r.started());
        r.readFor(std::chrono::milliseconds(200));
        r.stopAsked();
        r.child().write("op\n");
        r.finish();
        r.expectComplete();
    }
    {
        SCOPED_TRACE("one byte more than the control buffer holds, without a line feed");
        Recording r(kAllSystem, "");
        r.child().write(std::string(1025, 'x'));
        ASSERT_TRUE(r.started());
        r.readFor(std::chrono::milliseconds(300));
        // Had the bound not tripped by now, the end of input stops the recording.
        r.child().closeInput();
        r.finish();
        EXPECT_EQ(errorMessage(r.last()), "Invalid recording control message.");
        EXPECT_EQ(r.exit.exitStatus, 1);
        EXPECT_EQ(r.count("stopped"), 0u);
    }
}

TEST(RecordProcess, AToneKeepsItsLevelInEveryTapFormat) {
    struct Case {
        const char* name;
        const char* format;
    };
    const std::vector<Case> cases = {
        {"float32 48 kHz", R"({"sampleType":"float32"})"},
        {"int16 48 kHz", R"({"sampleType":"int16"})"},
        {"float32 44.1 kHz", R"({"sampleType":"float32","sampleRate":44100})"},
        {"int16 44.1 kHz planar", R"({"sampleType":"int16","sampleRate":44100,"interleaved":false})"},
        {"int24 96 kHz", R"({"sampleType":"int24","sampleRate":96000})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r(kAllSystem, std::string(R"({"audio":{"source":"tone","format":)") + c.format + "}}");
        ASSERT_TRUE(r.started());
        r.readFor(std::chrono::milliseconds(250));
        r.stopAsked();
        r.child().write("stop\n");
        r.finish();
        r.expectComplete();
        const std::vector<double> peaks = r.tonePeaks();
        ASSERT_GT(peaks.size(), 10u);
        for (std::size_t i = 0; i + 1 < peaks.size(); ++i) EXPECT_NEAR(peaks[i], 0.25, 0.01) << i;
        // A continuous source leaves no hole; only the stop padding may be silence.
        EXPECT_LE(r.silencesAfterAudio().size(), 1u);
    }
}

TEST(RecordProcess, PlaysAnAudioFileOnceThenSilence) {
    // A tenth of a second of 16-bit mono at half scale, as a WAV file.
    std::string wav;
    const auto u32 = [&](std::uint32_t v) { for (int k = 0; k < 4; ++k) wav += char(v >> (8 * k)); };
    const auto u16 = [&](std::uint16_t v) { wav += char(v & 0xFF); wav += char(v >> 8); };
    const std::uint32_t frames = 4'800;
    wav += "RIFF";
    u32(36 + frames * 2);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(48'000);
    u32(96'000);
    u16(2);
    u16(16);
    wav += "data";
    u32(frames * 2);
    for (std::uint32_t i = 0; i < frames; ++i) u16(std::uint16_t(std::int16_t(i % 2 ? 16'384 : -16'384)));
    const std::string path = writeTemporaryFile(wav, ".wav");
    {
        Recording r(kAllSystem, R"({"audio":{"source":")" + path + R"("}})");
        ASSERT_TRUE(r.started());
        r.readFor(std::chrono::milliseconds(300));
        r.stopAsked();
        r.child().write("stop\n");
        r.finish();
        r.expectComplete();
        std::int64_t loud = 0, quiet = 0;
        for (const auto& l : r.lines) {
            if (Recording::type(l) != "audio") continue;
            const double peak = l.find("peak")->asDouble();
            if (peak == 0.5) loud += std::int64_t(base64::decodeCanonical(l.find("data")->asString())->size() / 4);
            if (peak == 0) ++quiet;
            EXPECT_TRUE(peak == 0.5 || peak == 0) << peak;
        }
        EXPECT_EQ(loud, 4'800);
        EXPECT_GT(quiet, 0);
    }
    std::remove(path.c_str());
}

TEST(RecordProcess, AClockGapIsWrittenAsSilenceOfItsLength) {
    Recording r(kAllSystem, R"({"audio":{"source":"tone","faults":{"gapAtMs":100,"gapFrames":24000}}})");
    ASSERT_TRUE(r.started());
    r.readFor(std::chrono::milliseconds(400));
    r.stopAsked();
    r.child().write("stop\n");
    r.finish();
    // The audio after the jump is stamped half a second ahead of the wall clock.
    r.expectComplete(false);
    const std::vector<std::int64_t> silences = r.silencesAfterAudio();
    ASSERT_GE(silences.size(), 1u);
    EXPECT_NEAR(double(silences.front()), 24'000.0, 1.0);
}

TEST(RecordProcess, EachFaultEndsWithItsMessageAsTheLastLine) {
    struct Case {
        const char* name;
        const char* audio;
        const char* message;
        bool started;
    };
    const std::vector<Case> cases = {
        {"permission denied", R"({"faults":{"permissionDenied":true}})",
         "Computer audio recording is not permitted (Core Audio 560492391). Operation: create the computer audio tap. "
         "Check Tovrel's system audio recording access in System Settings > Privacy & Security > Screen & System "
         "Audio Recording, then try again.",
         false},
        {"format change", R"({"source":"tone","faults":{"formatChangeAfterMs":100}})",
         "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
         "recording.",
         true},
        {"missing host time", R"({"source":"tone","faults":{"missingHostTimeAfterMs":100}})",
         "macOS did not provide a usable computer audio clock. Recording stopped to preserve timing; start a new "
         "recording.",
         true},
        {"stalled main thread", R"({"source":"tone","bufferFrames":48,"faults":{"stallMs":400}})",
         "Audio capture could not keep up. Recording stopped instead of silently dropping audio.", true},
        {"mono tap", R"({"format":{"channels":1}})", "macOS did not provide a stereo computer audio stream.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r(kAllSystem, std::string(R"({"audio":)") + c.audio + "}");
        r.finish();
        ASSERT_FALSE(r.lines.empty());
        EXPECT_EQ(errorMessage(r.last()), c.message);
        EXPECT_EQ(r.exit.exitStatus, 1);
        EXPECT_EQ(r.count("error"), 1u);
        EXPECT_EQ(r.count("started"), c.started ? 1u : 0u);
        EXPECT_EQ(r.count("stopped"), 0u);
        // Lost audio is never covered by silence.
        EXPECT_TRUE(r.silencesAfterAudio().empty());
        r.coveredFrames();
    }
}

// A real process standing in for the selected application.
class ApplicationProcess {
public:
    ApplicationProcess() : pid_(::fork()) {
        if (pid_ == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~ApplicationProcess() { quit(); }
    void quit() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

TEST(RecordProcess, AnApplicationThatQuitsEndsItsRecordingAfterWhatWasCaptured) {
    ApplicationProcess meeting;
    const std::string pid = std::to_string(meeting.pid());
    Recording r({"record", "--bundle-id", "com.example.Meeting"},
                R"({"applications":[{"bundleId":"com.example.Meeting","name":"Meeting","pid":)" + pid +
                    R"(,"activationPolicy":"regular"}],"audio":{"source":"tone","processes":[)" + pid + "]}}");
    ASSERT_TRUE(r.started());
    r.readFor(std::chrono::milliseconds(300));
    meeting.quit();
    const auto quit = Clock::now();
    r.finish();
    EXPECT_EQ(errorMessage(r.last()),
              "The selected application closed or restarted. Recording stopped to preserve app-only capture. Start a "
              "new recording.");
    EXPECT_EQ(r.exit.exitStatus, 1);
    EXPECT_EQ(r.count("stopped"), 0u);
    // Everything captured before is there, from frame 0 without a hole.
    EXPECT_GT(r.count("audio"), 20u);
    r.coveredFrames();
    EXPECT_TRUE(r.silencesAfterAudio().empty());
    EXPECT_LT(secondsSince(quit), 5.0);
}

}  // namespace
}  // namespace quorvantel::capture
