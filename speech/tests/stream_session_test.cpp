#include "speech/stream_session.h"

#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "platform/sim/speech/sim_speech_framework.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

constexpr int kRate = 16000;

AVAudioFormat analyzerFormat() { return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, kRate, 1, false); }

// 100 ms buffers, loud where loud(t) holds.
ConvertedBuffers audio(int firstBuffer, int count, const std::function<bool(double)>& loud) {
    ConvertedBuffers buffers;
    for (int b = firstBuffer; b < firstBuffer + count; ++b) {
        auto buffer = AVAudioPCMBuffer::make(analyzerFormat(), kRate / 10);
        buffer->setFrameLength(kRate / 10);
        for (int i = 0; i < kRate / 10; ++i) {
            const double t = double(b * (kRate / 10) + i) / kRate;
            buffer->floatChannelData()[0][i] = loud(t) ? float(0.25 * std::sin(2 * M_PI * 440 * t)) : 0.0f;
        }
        buffers.push_back({buffer, CMTimeMake(b * (kRate / 10), kRate)});
    }
    return buffers;
}

// The sessions' output on a pipe, and an exit that only records.
struct Harness {
    int fds[2];
    std::unique_ptr<ProtocolOutput> output;
    // Shared with the failure report's exit watchdog, which outlives the test.
    std::shared_ptr<std::atomic<int>> exit = std::make_shared<std::atomic<int>>(-1);
    std::shared_ptr<SessionFailures> failures;
    sim::SimSpeechFramework speech;

    explicit Harness(sim::SimRecognizerFaults faults = {}) : speech(scenario(std::move(faults))) {
        EXPECT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        output = std::make_unique<ProtocolOutput>(fds[1], [](int) {});
        failures = std::make_shared<SessionFailures>(ProcessControl{*output, [exit = exit](int status) { *exit = status; }});
    }
    ~Harness() {
        close(fds[0]);
        close(fds[1]);
    }
    static sim::SimSpeechScenario scenario(sim::SimRecognizerFaults faults) {
        sim::SimSpeechScenario s;
        s.recognizer = std::move(faults);
        return s;
    }
    std::shared_ptr<StreamSession> session(Source source) {
        auto transcriber = speech.makeTranscriber(Locale{"en_US"}, TranscriberPreset::timeIndexedProgressiveTranscription);
        auto made = StreamSession::make(source, transcriber, analyzerFormat(), speech, failures, *output,
                                        kAppleSpeechWording);
        failures->add(made);
        return made;
    }
    std::vector<std::string> lines() {
        std::string all;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) all.append(buffer, std::size_t(n));
        std::vector<std::string> result;
        std::size_t start = 0, newline;
        while ((newline = all.find('\n', start)) != std::string::npos) {
            result.push_back(all.substr(start, newline - start));
            start = newline + 1;
        }
        return result;
    }
};

std::string idOf(const std::string& line) {
    const auto at = line.find("\"id\":\"");
    return line.substr(at + 6, line.find('"', at + 6) - at - 6);
}

}  // namespace

TEST(StreamSession, PartialsShareTheUtterancesIdAndTheFinalClosesIt) {
    Harness harness;
    auto session = harness.session(Source::microphone);
    // 0.1-0.7 s: two whole words, then the end of the utterance; 1.5-1.8 s: one word.
    session->append(audio(0, 20, [](double t) { return (t >= 0.1 && t < 0.7) || (t >= 1.5 && t < 1.8); }));
    session->finishInput();
    session->awaitAnalysis();
    session->awaitResults();
    const auto lines = harness.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "{\"endMs\":350,\"id\":\"microphone-0\",\"isFinal\":false,\"source\":\"microphone\",\"startMs\":100,"
                        "\"text\":\"speech\",\"timingSource\":\"speech-audio-range\",\"type\":\"segment\"}");
    const std::vector<std::string> ids = {"microphone-0", "microphone-0", "microphone-0", "microphone-1", "microphone-1"};
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(idOf(lines[i]), ids[i]) << lines[i];
    EXPECT_NE(lines[2].find("\"isFinal\":true"), std::string::npos);
    EXPECT_NE(lines[2].find("\"endMs\":700"), std::string::npos);
    EXPECT_EQ(*harness.exit, -1);
}

TEST(StreamSession, ASessionWithoutAudioEndsQuietly) {
    Harness harness;
    auto session = harness.session(Source::systemAudio);
    session->finishInput();
    session->awaitAnalysis();
    session->awaitResults();
    EXPECT_TRUE(harness.lines().empty());
    EXPECT_EQ(*harness.exit, -1);
}

TEST(StreamSession, ARecogniserFailureIsReportedOnceAndStopsTheOtherSession) {
    sim::SimRecognizerFaults faults;
    faults.failAfterInputs = 3;
    faults.failureMessage = "The recogniser lost its model.";
    Harness harness(faults);
    auto microphone = harness.session(Source::microphone);
    auto system = harness.session(Source::systemAudio);
    microphone->append(audio(0, 2, [](double) { return false; }));
    system->append(audio(0, 4, [](double) { return true; }));
    EXPECT_THROW(system->awaitAnalysis(), SpeechPlatformError);
    EXPECT_EQ(*harness.exit, 1);
    // The healthy session was stopped as requested: it completes without an error.
    microphone->awaitAnalysis();
    microphone->awaitResults();
    EXPECT_THROW(microphone->append(audio(2, 1, [](double) { return false; })), CancellationError);
    const auto lines = harness.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "{\"message\":\"The recogniser lost its model.\",\"type\":\"error\"}");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_NE(lines[i].find("\"segment\""), std::string::npos);
}

TEST(StreamSession, AResultLongerThanTheBoundFailsTheRun) {
    for (std::size_t bytes : {kMaximumResultTextBytes, kMaximumResultTextBytes + 1}) {
        sim::SimRecognizerFaults faults;
        faults.resultText = std::string(bytes, 'x');
        Harness harness(faults);
        auto session = harness.session(Source::microphone);
        session->append(audio(0, 5, [](double t) { return t < 0.24; }));  // one word
        session->finishInput();
        session->awaitAnalysis();
        if (bytes == kMaximumResultTextBytes) {
            session->awaitResults();
            EXPECT_EQ(*harness.exit, -1);
            EXPECT_FALSE(harness.lines().empty());
        } else {
            EXPECT_THROW(session->awaitResults(), SpeechFailure);
            EXPECT_EQ(*harness.exit, 1);
            const auto lines = harness.lines();
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0], "{\"message\":\"Apple returned an invalid transcription result.\",\"type\":\"error\"}");
        }
    }
}

TEST(StreamSession, AFullQueueHoldsTheProducerUntilTheSessionStops) {
    sim::SimRecognizerFaults faults;
    faults.stallAfterInputs = 0;
    Harness harness(faults);
    auto session = harness.session(Source::microphone);
    std::atomic<bool> returned{false};
    std::string failure;
    std::thread producer([&] {
        try {
            session->append(audio(0, 17, [](double) { return false; }));
        } catch (const std::exception& e) {
            failure = e.what();
        }
        returned = true;
    });
    for (int i = 0; i < 5000 && !session->channel().senderWaiting(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(session->channel().senderWaiting());
    EXPECT_FALSE(returned);
    session->cancelImmediately();
    producer.join();
    EXPECT_EQ(failure, CancellationError().what());
    session->awaitAnalysis();
    session->awaitResults();
    EXPECT_EQ(*harness.exit, -1);
    EXPECT_TRUE(harness.lines().empty());
}
