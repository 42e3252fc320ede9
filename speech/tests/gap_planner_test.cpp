#include "speech/gap_planner.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <unistd.h>

#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

AudioPacket packet(Source source, double startMs, std::size_t frames, int rate = 48000, int channels = 1) {
    AudioPacket p;
    p.source = source;
    p.sampleRate = rate;
    p.channels = channels;
    p.startMs = startMs;
    p.data.assign(frames * std::size_t(channels) * 2, 0);
    return p;
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SpeechFailure& failure) {
        return failure.what();
    }
    return "";
}

AVAudioFormat analyzerFormat() { return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, false); }

// Records what the session would have been handed.
struct RecordingSink final : AudioSink {
    std::vector<ConvertedBuffer> buffers;
    void append(const ConvertedBuffers& more) override { buffers.insert(buffers.end(), more.begin(), more.end()); }
};

struct SilentOutput {
    int fds[2];
    std::unique_ptr<ProtocolOutput> output;
    SilentOutput() {
        EXPECT_EQ(pipe(fds), 0);
        output = std::make_unique<ProtocolOutput>(fds[1], [](int) {});
    }
    ~SilentOutput() {
        close(fds[0]);
        close(fds[1]);
    }
    std::string read() {
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, std::size_t(n)) : "";
    }
};

}  // namespace

TEST(SystemAudioGapPlanner, ObservesTheGridTheBoundAndTheOrder) {
    SystemAudioGapPlanner planner;
    // The first packet, wherever it starts, is never preceded by silence.
    EXPECT_FALSE(planner.observe(packet(Source::systemAudio, 12.5, 480)));
    EXPECT_EQ(planner.nextFrame(), 600 + 480);
    EXPECT_FALSE(planner.observe(packet(Source::systemAudio, 1080 / 48.0, 480)));
    // Microphone packets never move the system timeline.
    EXPECT_FALSE(planner.observe(packet(Source::microphone, 0, 480)));
    EXPECT_FALSE(planner.observe(packet(Source::microphone, 99999, 480)));
    EXPECT_EQ(planner.nextFrame(), 1560);
    // One frame of hole.
    const auto gap = planner.observe(packet(Source::systemAudio, 1561 / 48.0, 480));
    ASSERT_TRUE(gap);
    EXPECT_EQ(gap->startFrame, 1560);
    EXPECT_EQ(gap->frameCount, 1);
    EXPECT_EQ(failureOf([&] { planner.observe(packet(Source::systemAudio, 2040 / 48.0, 48)); }),
              "Overlapping or out-of-order speech audio was rejected.");
    EXPECT_EQ(planner.nextFrame(), 2041);
    EXPECT_EQ(failureOf([&] { planner.observe(packet(Source::systemAudio, 12.51, 48)); }),
              "System audio did not have an exact bounded 48 kHz timestamp.");
}

TEST(SystemAudioGapPlanner, SevenDayBoundAndBasicPacketChecks) {
    const double lastSecondMs = 604'799'000.0;
    SystemAudioGapPlanner planner;
    EXPECT_FALSE(planner.observe(packet(Source::systemAudio, lastSecondMs, 16000, 16000)));
    EXPECT_EQ(planner.nextFrame(), kTimelineEndFrame);
    SystemAudioGapPlanner over;
    EXPECT_EQ(failureOf([&] { over.observe(packet(Source::systemAudio, lastSecondMs, 16001, 16000)); }),
              "System audio exceeded the seven-day transcription timeline.");
    EXPECT_EQ(failureOf([&] { over.observe(packet(Source::systemAudio, 604'800'000.0 + 1, 1)); }),
              "Invalid system audio for the transcription timeline.");
    EXPECT_EQ(failureOf([&] { over.observe(packet(Source::systemAudio, 0, 0)); }),
              "Invalid system audio for the transcription timeline.");
    EXPECT_EQ(failureOf([&] { over.observe(packet(Source::systemAudio, 0, 10, 44100)); }),
              "Invalid system audio for the transcription timeline.");
}

TEST(SystemAudioGapPlanner, ConvertedOutputNeverOverlaps) {
    SystemAudioGapPlanner planner;
    auto buffer = [](CMTime start, AVAudioFrameCount frames) {
        auto b = AVAudioPCMBuffer::make(analyzerFormat(), frames);
        b->setFrameLength(frames);
        return ConvertedBuffer{b, start};
    };
    planner.validateOutput({buffer(CMTimeMake(0, 16000), 160), buffer(CMTimeMake(480, 48000), 10)}, Source::systemAudio);
    EXPECT_EQ(CMTimeCompare(*planner.convertedEnd(), CMTimeMake(170, 16000)), 0);
    EXPECT_EQ(failureOf([&] { planner.validateOutput({buffer(CMTimeMake(169, 16000), 1)}, Source::systemAudio); }),
              "This system-audio gap or format transition cannot be represented without overlapping converted samples.");
    EXPECT_EQ(CMTimeCompare(*planner.convertedEnd(), CMTimeMake(170, 16000)), 0);
    planner.validateOutput({buffer(CMTimeMake(0, 16000), 1)}, Source::microphone);
    planner.validateOutput({}, Source::systemAudio);
    EXPECT_EQ(CMTimeCompare(*planner.convertedEnd(), CMTimeMake(170, 16000)), 0);
}

TEST(AppendWithInternalGapPadding, FillsAHoleExactlyOnceInBoundedChunks) {
    SilentOutput out;
    const ProcessControl control{*out.output, [](int) { FAIL() << "the process must not end"; }};
    SystemAudioGapPlanner planner;
    PCMConverter converter(analyzerFormat());
    RecordingSink sink;
    appendWithInternalGapPadding(packet(Source::systemAudio, 0, 4800), planner, converter, sink, control);
    // A two-minute hole, then a 16 kHz packet: silence in 1,200 chunks at 48 kHz, and the
    // format change starts a new run that must not overlap it.
    const std::int64_t holeFrames = 120 * 48000;
    appendWithInternalGapPadding(packet(Source::systemAudio, (4800 + holeFrames) / 48.0, 1600, 16000), planner,
                                 converter, sink, control);
    const ConvertedBuffers tail = converter.flush();
    planner.validateOutput(tail, Source::systemAudio);
    sink.append(tail);

    std::int64_t total = 0;
    CMTime end = CMTimeMake(0, 16000);
    for (const ConvertedBuffer& b : sink.buffers) {
        EXPECT_GE(CMTimeCompare(b.startTime, end), 0);
        end = CMTimeAdd(b.startTime, CMTimeMake(b.buffer->frameLength(), 16000));
        total += b.buffer->frameLength();
    }
    // Every frame once, at the analyzer's rate: 0.1 s + 120 s + 0.1 s.
    EXPECT_EQ(total, 1600 + 120 * 16000 + 1600);
    EXPECT_EQ(CMTimeCompare(end, CMTimeMake(1600 + 120 * 16000 + 1600, 16000)), 0);
    EXPECT_EQ(planner.nextFrame(), 4800 + holeFrames + 4800);
}

TEST(AppendWithInternalGapPadding, AHoleThatCannotBeFilledInTimeEndsTheProcess) {
    SilentOutput out;
    std::atomic<int> exitStatus{-1};
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    const ProcessControl control{*out.output, [&](int status) {
                                     exitStatus = status;
                                     std::lock_guard<std::mutex> guard(lock);
                                     release = true;
                                     released.notify_all();
                                 }};
    // A session whose queue never frees: the driver cannot look at the clock itself.
    struct StuckSink final : AudioSink {
        std::mutex& lock;
        std::condition_variable& released;
        bool& release;
        int calls = 0;
        StuckSink(std::mutex& l, std::condition_variable& r, bool& b) : lock(l), released(r), release(b) {}
        void append(const ConvertedBuffers&) override {
            if (++calls < 2) return;
            std::unique_lock<std::mutex> guard(lock);
            released.wait(guard, [&] { return release; });
            throw SpeechFailure("released");
        }
    } sink(lock, released, release);
    SystemAudioGapPlanner planner;
    PCMConverter converter(analyzerFormat());
    appendWithInternalGapPadding(packet(Source::systemAudio, 0, 480), planner, converter, sink, control);
    EXPECT_EQ(failureOf([&] {
                  appendWithInternalGapPadding(packet(Source::systemAudio, 1000, 480), planner, converter, sink,
                                               control, std::chrono::milliseconds(50));
              }),
              "released");
    EXPECT_EQ(exitStatus, 1);
    EXPECT_EQ(out.read(),
              "{\"message\":\"On-device transcription could not process the silent interval within ten seconds. "
              "Audio recording continues.\",\"type\":\"error\"}\n");
}
