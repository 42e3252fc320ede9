// The live run over pipes: framing and packet failures, the stop message, both
// sources transcribed on the recording timeline, and recogniser faults.
#include <chrono>
#include <cmath>
#include <csignal>
#include <thread>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

using quorvantel::testing::ChildOptions;
using quorvantel::testing::helperPath;
using quorvantel::testing::runChild;
using quorvantel::testing::writeTemporaryFile;

namespace {

const std::string kReady = "{\"type\":\"ready\"}";
const std::string kStopped = "{\"type\":\"stopped\"}";

std::string errorLine(const std::string& message) {
    using namespace quorvantel::json;
    return write(Value(Object{{"type", "error"}, {"message", message}}), KeyOrder::sorted);
}

// A packet of 16-bit PCM: a 440 Hz tone at a quarter of full scale where loud(t).
std::string packet(const std::string& source, int rate, int channels, double startMs, int frames,
                   const std::function<bool(double)>& loud = [](double) { return false; }) {
    std::vector<std::uint8_t> pcm(std::size_t(frames) * std::size_t(channels) * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = startMs / 1000.0 + double(i) / rate;
        const auto v = static_cast<std::int16_t>(loud(t) ? std::lround(8192 * std::sin(2 * M_PI * 440 * t)) : 0);
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = (std::size_t(i) * std::size_t(channels) + std::size_t(c)) * 2;
            pcm[at] = std::uint8_t(v & 0xFF);
            pcm[at + 1] = std::uint8_t((v >> 8) & 0xFF);
        }
    }
    char start[64];
    std::snprintf(start, sizeof start, "%.17g", startMs);
    return "{\"type\":\"audio\",\"source\":\"" + source + "\",\"sampleRate\":" + std::to_string(rate) +
           ",\"channels\":" + std::to_string(channels) + ",\"startMs\":" + start + ",\"data\":\"" +
           quorvantel::base64::encode(pcm) + "\"}\n";
}

ChildOptions runOptions(const std::string& scenario = "") {
    ChildOptions options;
    options.arguments = {"run", "--locale", "en-US"};
    if (!scenario.empty()) options.environment["QUORVANTEL_SIMULATION"] = scenario;
    return options;
}

}  // namespace

TEST(SpeechRunInput, FramingFailuresEndTheRunWithTheirMessage) {
    struct Case {
        std::string input;
        std::string message;  // empty: the JSON parser's own message, whatever it is
    };
    const std::vector<Case> cases = {
        {"\n", "Empty transcription input line."},
        {"{\"type\":\"audio\"", "Transcription input ended in a partial JSON line."},
        {std::string(393217, ' '), "Transcription input line is too large."},
        {std::string(393216, ' ') + "\n", ""},
        {"\r\n", ""},
        {"{\"type\":\"audio\"\n", ""},
        {"{\"kind\":\"stop\"}\n", "Invalid transcription input message."},
        {"[\"stop\"]\n", "Invalid transcription input message."},
        {packet("microphone", 44100, 1, 0, 10),
         "Expected bounded 16 or 48 kHz mono/stereo PCM16LE with a valid recording timestamp."},
        {packet("system-audio", 48000, 2, 12.51, 10), "System audio did not have an exact bounded 48 kHz timestamp."},
        {packet("system-audio", 48000, 1, 10, 480) + packet("system-audio", 48000, 1, 959.0 / 48.0, 480),
         "Overlapping or out-of-order speech audio was rejected."},
        {packet("microphone", 16000, 1, 100, 1600) + packet("microphone", 16000, 1, 150, 1600),
         "Overlapping or out-of-order speech audio was rejected."},
        // Audio that runs past the seven days is the host's fault, whichever its source;
        // a microphone packet that continues the one before counts from where it is put.
        {packet("system-audio", 48000, 1, 604'799'990, 960), "System audio exceeded the seven-day transcription timeline."},
        {packet("microphone", 16000, 1, 604'799'950, 1600, [](double) { return true; }),
         "Microphone audio exceeded the seven-day transcription timeline."},
        {packet("microphone", 16000, 1, 604'799'900, 1600, [](double) { return true; }) +
             packet("microphone", 16000, 1, 604'799'999, 16, [](double) { return true; }),
         "Microphone audio exceeded the seven-day transcription timeline."},
    };
    for (const Case& c : cases) {
        auto run = runChild(helperPath("quorvantel-speech"), runOptions(), c.input);
        const auto lines = run.lines();
        SCOPED_TRACE(c.input.substr(0, 60));
        ASSERT_EQ(lines.size(), 2u) << run.output;
        EXPECT_EQ(lines[0], kReady);
        if (c.message.empty()) {
            EXPECT_EQ(lines[1].rfind("{\"message\":\"", 0), 0u);
            EXPECT_EQ(lines[1].find("Transcription input"), std::string::npos) << lines[1];
            EXPECT_EQ(lines[1].find("Invalid transcription"), std::string::npos) << lines[1];
        } else {
            EXPECT_EQ(lines[1], errorLine(c.message));
        }
        EXPECT_EQ(run.exit.exitStatus, 1);
    }
}

TEST(SpeechRunInput, NothingAfterStopIsRead) {
    const std::string input = packet("microphone", 16000, 1, 0, 1600) + "{\"type\":\"stop\"}\nnot json at all\n{";
    auto run = runChild(helperPath("quorvantel-speech"), runOptions(), input);
    EXPECT_EQ(run.output, kReady + "\n" + kStopped + "\n");
    EXPECT_EQ(run.exit.exitStatus, 0);
}

TEST(SpeechRunTranscription, BothSourcesOnTheRecordingTimeline) {
    std::string input;
    // Microphone: 16 kHz mono, 100 ms packets, a burst at 0.5-1.0 s.
    for (int p = 0; p < 15; ++p) {
        input += packet("microphone", 16000, 1, p * 100.0, 1600, [](double t) { return t >= 0.5 && t < 1.0; });
    }
    // System audio: 48 kHz stereo from 1 s, then a hole of 2 s filled by the helper, then
    // a burst at 3.2-3.7 s.
    input += packet("system-audio", 48000, 2, 1000, 4800);
    for (int p = 0; p < 10; ++p) {
        input += packet("system-audio", 48000, 2, 3100 + p * 100.0, 4800, [](double t) { return t >= 3.2 && t < 3.7; });
    }
    input += "{\"type\":\"stop\"}\n";
    auto run = runChild(helperPath("quorvantel-speech"), runOptions(), input);
    const auto lines = run.lines();
    ASSERT_GE(lines.size(), 4u) << run.output;
    EXPECT_EQ(lines.front(), kReady);
    EXPECT_EQ(lines.back(), kStopped);
    std::vector<std::string> finals;
    for (const auto& line : lines) {
        if (line.find("\"isFinal\":true") != std::string::npos) finals.push_back(line);
    }
    ASSERT_EQ(finals.size(), 2u) << run.output;
    std::sort(finals.begin(), finals.end());
    EXPECT_EQ(finals[0], "{\"endMs\":1000,\"id\":\"microphone-0\",\"isFinal\":true,\"source\":\"microphone\",\"startMs\":500,"
                         "\"text\":\"speech speech\",\"timingSource\":\"speech-audio-range\",\"type\":\"segment\"}");
    EXPECT_EQ(finals[1], "{\"endMs\":3700,\"id\":\"system-audio-0\",\"isFinal\":true,\"source\":\"system-audio\","
                         "\"startMs\":3200,\"text\":\"speech speech\",\"timingSource\":\"speech-audio-range\","
                         "\"type\":\"segment\"}");
    EXPECT_EQ(run.exit.exitStatus, 0);
}

TEST(SpeechRunTranscription, MicrophoneSpeechEndingAtTheSevenDaysIsTranscribedToTheEnd) {
    const std::string input =
        packet("microphone", 16000, 1, 604'799'000, 16000, [](double) { return true; }) + "{\"type\":\"stop\"}\n";
    auto run = runChild(helperPath("quorvantel-speech"), runOptions(), input);
    const auto lines = run.lines();
    ASSERT_GE(lines.size(), 3u) << run.output;
    EXPECT_EQ(lines.back(), kStopped);
    EXPECT_EQ(lines[lines.size() - 2],
              "{\"endMs\":604800000,\"id\":\"microphone-0\",\"isFinal\":true,\"source\":\"microphone\","
              "\"startMs\":604799000,\"text\":\"speech speech speech speech\",\"timingSource\":\"speech-audio-range\","
              "\"type\":\"segment\"}");
    EXPECT_EQ(run.exit.exitStatus, 0);
}

TEST(SpeechRunTranscription, ARecogniserFailureIsTheOneErrorLine) {
    const std::string scenario = writeTemporaryFile(
        R"({"speech":{"recognizer":{"failAfterInputs":2,"failureMessage":"Speech model crashed."}}})", ".json");
    std::string input;
    for (int p = 0; p < 10; ++p) input += packet("microphone", 16000, 1, p * 100.0, 1600);
    input += "{\"type\":\"stop\"}\n";
    auto run = runChild(helperPath("quorvantel-speech"), runOptions(scenario), input);
    const auto lines = run.lines();
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0], kReady);
    EXPECT_EQ(lines[1], errorLine("Speech model crashed."));
    EXPECT_EQ(run.exit.exitStatus, 1);
    std::remove(scenario.c_str());
}

TEST(SpeechRunTranscription, ASignalEndsARunBlockedOnAStalledRecogniser) {
    const std::string scenario = writeTemporaryFile(R"({"speech":{"recognizer":{"stallAfterInputs":2}}})", ".json");
    for (int signal : {SIGTERM, SIGINT}) {
        quorvantel::testing::Child child(helperPath("quorvantel-speech"), runOptions(scenario));
        EXPECT_EQ(child.readLine(), kReady);
        // Far more than the channel holds: the driver ends up waiting for space.
        std::string input;
        for (int p = 0; p < 40; ++p) input += packet("microphone", 16000, 1, p * 100.0, 1600);
        std::thread writer([&] { child.write(input); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        child.kill(signal);
        const auto exit = child.wait();
        writer.join();
        EXPECT_TRUE(exit.exited);
        EXPECT_EQ(exit.exitStatus, 130);
        EXPECT_EQ(child.readRest(), "");
    }
    std::remove(scenario.c_str());
}

TEST(SpeechRunTranscription, AHoleThatAStalledRecogniserCannotTakeEndsAfterTenSeconds) {
    const std::string scenario = writeTemporaryFile(R"({"speech":{"recognizer":{"stallAfterInputs":1}}})", ".json");
    // A minute of hole: 600 silence chunks, far more than the channel holds.
    const std::string input =
        packet("system-audio", 48000, 2, 0, 4800) + packet("system-audio", 48000, 2, 60'000, 4800) + "{\"type\":\"stop\"}\n";
    const auto started = std::chrono::steady_clock::now();
    auto run = runChild(helperPath("quorvantel-speech"), runOptions(scenario), input);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.lines(), (std::vector<std::string>{kReady, errorLine("On-device transcription could not process the "
                                                                      "silent interval within ten seconds. Audio "
                                                                      "recording continues.")}));
    EXPECT_EQ(run.exit.exitStatus, 1);
    EXPECT_GE(elapsed, std::chrono::seconds(10));
    std::remove(scenario.c_str());
}
