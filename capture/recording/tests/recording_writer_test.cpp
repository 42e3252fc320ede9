#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "capture/recording/recording_writer.h"
#include "capture/recording/tests/test_formats.h"
#include "platform/foundation/base64.h"

namespace quorvantel::capture {
namespace {

using testing::failureOf;
using testing::floatPacket;
using testing::pcmFormat;
using testing::SampleType;

const CMTime kOrigin = CMTimeMake(1'000LL * 48'000, 48'000);
CMTime at(std::int64_t frames) { return CMTimeAdd(kOrigin, CMTimeMake(frames, 48'000)); }

class WriterTest : public ::testing::Test {
protected:
    std::unique_ptr<AudioState> state = std::make_unique<AudioState>();
    Timeline timeline{kOrigin};
    StereoConverter converter{systemAudioConverters()};
    std::vector<json::Value> lines;
    bool refuseLines = false;
    RecordingWriter writer{timeline, *state, converter, [this](const json::Value& line) {
                               if (refuseLines) failRecording("The recording connection closed.");
                               lines.push_back(line);
                           }};

    void SetUp() override {
        const AudioStreamBasicDescription format = pcmFormat(SampleType::float32);
        state->ring.configure(4, 2, format);
        converter.configure(format);
    }

    // A chunk of `frames` frames of one value, placed by host time.
    void chunk(std::int64_t start, std::uint32_t frames, float value = 0.5f) {
        auto p = std::make_unique<Packet>(
            floatPacket(std::vector<float>(frames * 2, value), at(start),
                        at(std::max<std::int64_t>(0, start + frames))));
        writer.emitConverted(*p, converter.outputFormat());
    }

    std::string type(std::size_t i) const { return lines.at(i).find("type")->asString(); }
    std::int64_t number(std::size_t i, const char* key) const { return lines.at(i).find(key)->asInt(); }

    // The lines cover frame 0 onwards without gap or overlap; returns the frames.
    std::int64_t contiguousFrames() const {
        std::int64_t next = 0;
        for (const json::Value& l : lines) {
            const std::string t = l.find("type")->asString();
            if (t != "audio" && t != "silence") continue;
            EXPECT_EQ(l.find("startFrame")->asInt(), next);
            next += t == "silence" ? l.find("frames")->asInt()
                                   : std::int64_t(base64::decodeCanonical(l.find("data")->asString())->size() / 4);
        }
        return next;
    }
};

TEST_F(WriterTest, FillsGapsWithOneSilenceLineAndEndsAtTheStopMarker) {
    chunk(0, 480);
    chunk(480, 480);
    chunk(48'000, 480, 0.25f);
    writer.finish(at(96'000));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(type(0), "audio");
    EXPECT_EQ(type(1), "audio");
    EXPECT_EQ(type(2), "silence");
    EXPECT_EQ(number(2, "startFrame"), 960);
    EXPECT_EQ(number(2, "frames"), 48'000 - 960);
    EXPECT_EQ(type(3), "audio");
    EXPECT_EQ(lines[3].find("peak")->asDouble(), 0.25);
    EXPECT_EQ(type(4), "silence");
    EXPECT_EQ(type(5), "stopped");
    EXPECT_EQ(number(5, "totalFrames"), 96'000);
    EXPECT_EQ(number(5, "discardedPreStartFrames"), 0);
    EXPECT_EQ(contiguousFrames(), 96'000);
}

TEST_F(WriterTest, DropsPreOriginFramesAndCountsThem) {
    chunk(-960, 480);  // wholly before the origin: nothing written
    chunk(-240, 480);  // straddles it: 240 frames kept at 0
    writer.finish(at(240));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(type(0), "audio");
    EXPECT_EQ(number(0, "startFrame"), 0);
    EXPECT_EQ(base64::decodeCanonical(lines[0].find("data")->asString())->size(), 240u * 4);
    EXPECT_EQ(number(1, "totalFrames"), 240);
    EXPECT_EQ(number(1, "discardedPreStartFrames"), 720);
}

TEST_F(WriterTest, SilenceBoundaries) {
    writer.emitSilenceUntil(0);
    EXPECT_TRUE(lines.empty());
    writer.emitSilenceUntil(100);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(failureOf([&] { writer.emitSilenceUntil(99); }), "Invalid silent timeline boundary.");
    EXPECT_EQ(failureOf([&] { writer.emitSilenceUntil(29'030'400'001); }), "Invalid silent timeline boundary.");
    writer.emitSilenceUntil(29'030'400'000);
    EXPECT_EQ(number(1, "frames"), 29'030'400'000 - 100);
}

TEST_F(WriterTest, NeverWritesSilenceOverLostAudio) {
    struct Case {
        const char* name;
        RingStatus status;
        bool deviceChanged;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"overrun", kRingOverrun, false,
         "Audio capture could not keep up. Recording stopped instead of silently dropping audio."},
        {"unusable clock", kRingClockUnusable, false,
         "macOS did not provide a usable computer audio clock. Recording stopped to preserve timing; start a new "
         "recording."},
        {"malformed input", kRingMalformedInput, false,
         "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
         "recording."},
        {"device changed", kRingRunning, true,
         "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
         "recording."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state = std::make_unique<AudioState>();
        timeline = Timeline(kOrigin);
        lines.clear();
        RecordingWriter w(timeline, *state, converter, [this](const json::Value& l) { lines.push_back(l); });
        auto first = std::make_unique<Packet>(floatPacket(std::vector<float>(960, 0.1f), at(0), at(480)));
        w.emitConverted(*first, converter.outputFormat());
        if (c.status != kRingRunning) state->ring.fail(c.status);
        if (c.deviceChanged) state->deviceChanged.store(1);
        auto late = std::make_unique<Packet>(floatPacket(std::vector<float>(960, 0.1f), at(4'800), at(5'280)));
        EXPECT_EQ(failureOf([&] { w.emitConverted(*late, converter.outputFormat()); }), c.message);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(type(0), "audio");
    }
}

TEST_F(WriterTest, ReleasesARingSlotOnlyAfterItsLinesAreWritten) {
    std::vector<float> samples(960, 0.5f);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0] = AudioBuffer{2, std::uint32_t(samples.size() * 4), samples.data()};
    state->ring.push(&list, at(0), at(480));
    state->ring.push(&list, at(480), at(960));
    writer.emitPacket();
    EXPECT_EQ(state->ring.readIndex(), 1u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find("peak")->asDouble(), 0.5);
    refuseLines = true;
    EXPECT_EQ(failureOf([&] { writer.emitPacket(); }), "The recording connection closed.");
    EXPECT_EQ(state->ring.readIndex(), 1u);
}

}  // namespace
}  // namespace quorvantel::capture
