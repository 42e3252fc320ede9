#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "capture/recording/stereo_converter.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

using testing::failureOf;
using testing::floatPacket;
using testing::pcmFormat;
using testing::SampleType;

// What the sink saw: the frames in order and each chunk's times and length.
struct Received {
    std::vector<float> samples;
    struct Chunk {
        CMTime source;
        CMTime receipt;
        std::uint32_t frames;
    };
    std::vector<Chunk> chunks;

    ChunkSink sink() {
        return [this](const Packet& chunk, const AudioStreamBasicDescription& format) {
            EXPECT_EQ(format.mSampleRate, 48'000.0);
            EXPECT_EQ(chunk.bufferCount, 1u);
            EXPECT_EQ(chunk.channels[0], 2u);
            const auto* f = reinterpret_cast<const float*>(chunk.data + chunk.offsets[0]);
            samples.insert(samples.end(), f, f + chunk.frames * 2);
            chunks.push_back({chunk.sourceTime, chunk.receiptTime, chunk.frames});
        };
    }
    std::size_t frames() const { return samples.size() / 2; }
};

// A source clock at the source rate itself, so that contiguous times are exact.
CMTime sourceAt(std::int64_t frame, CMTimeScale rate) { return CMTimeMake(1'000LL * rate + frame, rate); }

std::vector<float> sine(std::size_t frames, double rate) {
    std::vector<float> s(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        s[i * 2] = float(0.5 * std::sin(2 * std::numbers::pi * 440 * double(i) / rate));
        s[i * 2 + 1] = float(0.25 * std::sin(2 * std::numbers::pi * 1000 * double(i) / rate));
    }
    return s;
}

// Feeds `samples` in packets of the given sizes (cycled), with contiguous times.
void feed(StereoConverter& converter, const std::vector<float>& samples, const std::vector<std::size_t>& sizes,
          CMTimeScale rate, Received& received, std::int64_t firstFrame = 0) {
    const std::size_t frames = samples.size() / 2;
    std::size_t at = 0;
    for (std::size_t k = 0; at < frames; ++k) {
        const std::size_t n = std::min(sizes[k % sizes.size()], frames - at);
        const std::vector<float> part(samples.begin() + at * 2, samples.begin() + (at + n) * 2);
        auto packet = std::make_unique<Packet>(floatPacket(part, sourceAt(firstFrame + at, rate),
                                                           sourceAt(firstFrame + at + n, rate)));
        converter.accept(*packet, received.sink());
        at += n;
    }
}

TEST(StereoConverter, InterleavedFloatAt48kPassesThroughApartFromClamping) {
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::float32));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> in = {0.5f, -0.25f, 1.5f, -2.0f, nan, inf, 0.125f, -1.0f};
    Received received;
    auto packet = std::make_unique<Packet>(floatPacket(in, sourceAt(0, 48'000), sourceAt(4, 48'000)));
    converter.accept(*packet, received.sink());
    converter.finish(received.sink());
    EXPECT_EQ(received.samples, (std::vector<float>{0.5f, -0.25f, 1.0f, -1.0f, 0.0f, 0.0f, 0.125f, -1.0f}));
    ASSERT_FALSE(received.chunks.empty());
    EXPECT_EQ(received.chunks[0].source, sourceAt(0, 48'000));
    EXPECT_EQ(received.chunks[0].receipt, sourceAt(4, 48'000));
}

TEST(StereoConverter, PlanarInputIsInterleavedLeftThenRight) {
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::int16, 48'000, 2, false));
    auto packet = std::make_unique<Packet>();
    const std::int16_t left[] = {16'384, -32'768}, right[] = {8'192, 32'767};
    std::memcpy(packet->data, left, 4);
    std::memcpy(packet->data + 4, right, 4);
    packet->bufferCount = 2;
    packet->offsets[0] = 0;
    packet->offsets[1] = 4;
    packet->channels[0] = packet->channels[1] = 1;
    packet->frames = 2;
    packet->sourceTime = sourceAt(0, 48'000);
    packet->receiptTime = sourceAt(2, 48'000);
    Received received;
    converter.accept(*packet, received.sink());
    EXPECT_EQ(received.samples, (std::vector<float>{0.5f, 0.25f, -1.0f, 32'767.0f / 32'768.0f}));
}

TEST(StereoConverter, SplittingTheSourceDifferentlyGivesIdenticalOutputAndTimes) {
    const std::vector<float> audio = sine(44'100, 44'100);
    const auto convert = [&](const std::vector<std::size_t>& sizes) {
        StereoConverter converter(systemAudioConverters());
        converter.configure(pcmFormat(SampleType::float32, 44'100));
        Received received;
        feed(converter, audio, sizes, 44'100, received);
        converter.finish(received.sink());
        return received;
    };
    const Received whole = convert({8'192});
    const Received split = convert({441, 1, 1'000, 17, 4'096});
    ASSERT_EQ(split.samples, whole.samples);
    EXPECT_EQ(whole.frames(), 48'000u);
    // Every output frame carries the same host time however the chunks fell.
    for (const Received* r : {&whole, &split}) {
        std::int64_t frame = 0;
        for (const auto& chunk : r->chunks) {
            EXPECT_EQ(chunk.source, CMTimeAdd(sourceAt(0, 44'100), CMTimeMake(frame, 48'000)));
            frame += chunk.frames;
        }
    }
}

TEST(StereoConverter, OneSecondAtEachRateGives48000Frames) {
    for (const CMTimeScale rate : {8'000, 16'000, 44'100, 48'000, 96'000, 192'000}) {
        SCOPED_TRACE(rate);
        StereoConverter converter(systemAudioConverters());
        converter.configure(pcmFormat(SampleType::float32, rate));
        Received received;
        feed(converter, sine(std::size_t(rate), rate), {std::size_t(rate) / 100}, rate, received);
        converter.finish(received.sink());
        EXPECT_NEAR(double(received.frames()), 48'000.0, 1.0);
        EXPECT_FALSE(converter.segmentOpen());
    }
}

TEST(StereoConverter, SubFrameDriftKeepsOneSegmentAndEachChunkFollowsItsPacket) {
    // Host times in nanoseconds; each 441-frame packet at 44.1 kHz lasts exactly
    // 10 ms, and the source clock runs 3 µs (a seventh of a frame) late each packet.
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::float32, 44'100));
    Received received;
    const std::vector<float> audio = sine(441, 44'100);
    std::vector<CMTime> packetTimes;
    for (int k = 0; k < 50; ++k) {
        const CMTime t = CMTimeMake(7'000'000'000LL + k * 10'003'000LL, 1'000'000'000);
        packetTimes.push_back(t);
        auto packet = std::make_unique<Packet>(floatPacket(audio, t, CMTimeAdd(t, CMTimeMake(1, 100))));
        converter.accept(*packet, received.sink());
    }
    converter.finish(received.sink());
    // One segment: the output is 50 × 480 frames, with no tail in between.
    EXPECT_NEAR(double(received.frames()), 24'000.0, 1.0);
    // Each chunk's time lies in its own packet, offset by its place in the output.
    std::int64_t frame = 0;
    for (const auto& chunk : received.chunks) {
        const std::size_t k = std::min<std::size_t>(std::size_t(frame / 480), packetTimes.size() - 1);
        const CMTime expected = CMTimeAdd(packetTimes[k], CMTimeSubtract(CMTimeMake(frame, 48'000),
                                                                          CMTimeMake(std::int64_t(k) * 441, 44'100)));
        EXPECT_LE(std::fabs(CMTimeGetSeconds(CMTimeSubtract(chunk.source, expected))), 2e-9);
        EXPECT_EQ(chunk.receipt, CMTimeAdd(packetTimes[k], CMTimeMake(1, 100)));
        frame += chunk.frames;
    }
    // The last chunk starts 3 µs × 49 later than a running count would put it.
    const CMTime counted = CMTimeAdd(packetTimes[0], CMTimeMake(frame - received.chunks.back().frames, 48'000));
    EXPECT_NEAR(CMTimeGetSeconds(CMTimeSubtract(received.chunks.back().source, counted)), 49 * 3e-6, 1e-6);
}

TEST(StereoConverter, AGapClosesTheSegmentAndItsTailNeverCrossesIt) {
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::float32, 44'100));
    Received received;
    feed(converter, sine(4'410, 44'100), {441}, 44'100, received);
    const std::size_t beforeGap = received.frames();
    // Two source frames later than contiguous: a real gap.
    feed(converter, sine(4'410, 44'100), {441}, 44'100, received, 4'410 + 2);
    converter.finish(received.sink());
    EXPECT_NEAR(double(received.frames()), 2 * 4'800.0, 2.0);
    EXPECT_LT(beforeGap, 4'800u);  // the resampler held a tail back until the gap
    const CMTime gap = sourceAt(4'412, 44'100);
    bool afterGap = false;
    std::int64_t firstSegmentFrames = 0;
    for (const auto& chunk : received.chunks) {
        const CMTime end = CMTimeAdd(chunk.source, CMTimeMake(chunk.frames, 48'000));
        if (CMTimeCompare(chunk.source, gap) >= 0) {
            afterGap = true;
            continue;
        }
        EXPECT_FALSE(afterGap) << "a chunk of the first segment came after the second began";
        EXPECT_LE(CMTimeCompare(end, sourceAt(4'410, 44'100)), 0) << "a first-segment chunk crossed the gap";
        firstSegmentFrames += chunk.frames;
    }
    EXPECT_NEAR(double(firstSegmentFrames), 4'800.0, 1.0);
    EXPECT_TRUE(afterGap);
}

TEST(StereoConverter, OneFrameOfJitterEitherWayContinuesTheSegment) {
    for (const int jitter : {-1, 1}) {
        SCOPED_TRACE(jitter);
        StereoConverter converter(systemAudioConverters());
        converter.configure(pcmFormat(SampleType::float32, 44'100));
        Received received;
        feed(converter, sine(441, 44'100), {441}, 44'100, received);
        feed(converter, sine(441, 44'100), {441}, 44'100, received, 441 + jitter);
        EXPECT_EQ(converter.sourceFrames(), 882u);
    }
}

TEST(StereoConverter, RejectsRepeatedOrOverlappingSourceTimes) {
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::float32, 44'100));
    Received received;
    const std::vector<float> audio = sine(441, 44'100);
    auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(0, 44'100), sourceAt(441, 44'100)));
    converter.accept(*packet, received.sink());
    EXPECT_EQ(failureOf([&] { converter.accept(*packet, received.sink()); }),
              "macOS delivered overlapping or out-of-order computer audio.");
}

TEST(StereoConverter, RejectsUnusableTimesOversizedPacketsAndBadLayouts) {
    StereoConverter converter(systemAudioConverters());
    converter.configure(pcmFormat(SampleType::float32, 48'000));
    Received received;
    auto packet = std::make_unique<Packet>(floatPacket({0, 0}, kCMTimeInvalid, sourceAt(1, 48'000)));
    EXPECT_EQ(failureOf([&] { converter.accept(*packet, received.sink()); }),
              "macOS supplied an invalid computer audio timestamp.");
    packet->sourceTime = sourceAt(0, 48'000);
    packet->receiptTime = CMTimeMake(-1, 1);
    EXPECT_EQ(failureOf([&] { converter.accept(*packet, received.sink()); }),
              "macOS supplied an invalid computer audio timestamp.");

    StereoConverter big(systemAudioConverters());
    big.configure(pcmFormat(SampleType::float32, 48'000));
    packet->receiptTime = sourceAt(1, 48'000);
    packet->frames = 16'385;
    EXPECT_EQ(failureOf([&] { big.accept(*packet, received.sink()); }),
              "macOS returned an oversized computer audio packet.");

    StereoConverter mono(systemAudioConverters());
    mono.configure(pcmFormat(SampleType::float32, 48'000));
    packet->frames = 1;
    packet->channels[0] = 1;
    EXPECT_EQ(failureOf([&] { mono.accept(*packet, received.sink()); }),
              "macOS returned an invalid computer audio channel layout.");
}

TEST(StereoConverter, ConfigureAcceptsOnlyStereoAtAWholeRate) {
    StereoConverter converter(systemAudioConverters());
    EXPECT_EQ(failureOf([&] { converter.configure(pcmFormat(SampleType::float32, 48'000, 1)); }),
              "macOS returned an unsupported computer audio format. Recording was not started.");
    EXPECT_EQ(failureOf([&] { converter.configure(pcmFormat(SampleType::float32, 44'100.5)); }),
              "macOS returned an unsupported computer audio format. Recording was not started.");
    EXPECT_EQ(failureOf([&] { converter.configure(pcmFormat(SampleType::float32, 44'100.0000001)); }), std::nullopt);
    AudioStreamBasicDescription bigEndian = pcmFormat(SampleType::int16);
    bigEndian.mFormatFlags |= kAudioFormatFlagIsBigEndian;
    EXPECT_EQ(failureOf([&] { converter.configure(bigEndian); }),
              "The selected application's audio has an unsupported PCM format. Capture was not started.");
}

// A converter that misbehaves as told, for the failures a sound one never shows.
class FakeConverters : public AudioConverterService {
public:
    struct State : OpaqueAudioConverter {};
    OSStatus newStatus = 0, qualityStatus = 0, primeStatus = 0, resetStatus = 0;
    std::vector<AudioConverterPropertyID> properties;
    std::function<OSStatus(AudioConverterComplexInputDataProc, void*, std::uint32_t*, AudioBufferList*)> fill;
    int disposed = 0;

    OSStatus AudioConverterNew(const AudioStreamBasicDescription*, const AudioStreamBasicDescription*,
                               AudioConverterRef* out) override {
        if (newStatus != 0) return newStatus;
        *out = new State;
        return 0;
    }
    OSStatus AudioConverterSetProperty(AudioConverterRef, AudioConverterPropertyID id, std::uint32_t,
                                       const void*) override {
        properties.push_back(id);
        return id == kAudioConverterSampleRateConverterQuality ? qualityStatus : primeStatus;
    }
    OSStatus AudioConverterFillComplexBuffer(AudioConverterRef ref, AudioConverterComplexInputDataProc proc,
                                             void* user, std::uint32_t* packets, AudioBufferList* out,
                                             AudioStreamPacketDescription*) override {
        (void)ref;
        return fill(proc, user, packets, out);
    }
    OSStatus AudioConverterReset(AudioConverterRef) override { return resetStatus; }
    OSStatus AudioConverterDispose(AudioConverterRef ref) override {
        ++disposed;
        delete ref;
        return 0;
    }
};

// Takes all input the cursor has, and gives `frames` frames of output per call.
auto swallowAndGive(std::uint32_t frames, OSStatus status = kNoMoreInputNow) {
    return [frames, status](AudioConverterComplexInputDataProc proc, void* user, std::uint32_t* packets,
                            AudioBufferList* out) {
        AudioBufferList in;
        std::uint32_t n = 1'000'000;
        proc(nullptr, &n, &in, nullptr, user);
        *packets = frames;
        out->mBuffers[0].mDataByteSize = frames * 8;
        return status;
    };
}

TEST(StereoConverter, ReportsEveryConverterFailureWithItsMessage) {
    const std::vector<float> audio(441 * 2, 0.0f);
    struct Case {
        const char* name;
        std::function<void(FakeConverters&)> setUp;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"creation fails", [](FakeConverters& f) { f.newStatus = -50; },
         "macOS could not prepare computer audio conversion (Core Audio -50). Try recording again."},
        {"quality refused", [](FakeConverters& f) { f.qualityStatus = 1'886'547'824; },
         "macOS could not configure computer audio conversion quality (Core Audio 1886547824). Try recording again."},
        {"priming refused", [](FakeConverters& f) { f.primeStatus = -1; },
         "macOS could not configure computer audio conversion priming (Core Audio -1). Try recording again."},
        {"conversion fails", [](FakeConverters& f) { f.fill = swallowAndGive(0, -66'690); },
         "macOS could not convert computer audio (Core Audio -66690). Try recording again."},
        {"too much output", [](FakeConverters& f) { f.fill = swallowAndGive(8'193); },
         "macOS returned invalid converted computer audio."},
        {"byte size off",
         [](FakeConverters& f) {
             f.fill = [](auto proc, void* user, std::uint32_t* packets, AudioBufferList* out) {
                 swallowAndGive(10)(proc, user, packets, out);
                 out->mBuffers[0].mDataByteSize = 79;
                 return kNoMoreInputNow;
             };
         },
         "macOS returned invalid converted computer audio."},
        {"input left over",
         [](FakeConverters& f) {
             f.fill = [](auto, void*, std::uint32_t* packets, AudioBufferList* out) {
                 *packets = 0;
                 out->mBuffers[0].mDataByteSize = 0;
                 return kNoMoreInputNow;
             };
         },
         "Computer audio conversion did not consume the full source packet."},
        {"output beyond the source span", [](FakeConverters& f) { f.fill = swallowAndGive(500); },
         "Computer audio conversion exceeded its timed source span."},
        {"conversion never settles", [](FakeConverters& f) { f.fill = swallowAndGive(1, 0); },
         "Computer audio conversion exceeded its bounded processing limit."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeConverters fake;
        fake.fill = swallowAndGive(480);
        c.setUp(fake);
        const auto failure = failureOf([&] {
            StereoConverter converter(fake);
            converter.configure(pcmFormat(SampleType::float32, 44'100));
            Received received;
            auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(0, 44'100), sourceAt(441, 44'100)));
            converter.accept(*packet, received.sink());
        });
        EXPECT_EQ(failure.value_or("(no failure)"), c.message);
        EXPECT_EQ(fake.disposed, fake.newStatus == 0 ? 1 : 0);
    }
}

TEST(StereoConverter, QualityAndPrimingAreSetOnlyWhenResampling) {
    FakeConverters fake;
    {
        StereoConverter converter(fake);
        converter.configure(pcmFormat(SampleType::float32, 48'000));
    }
    EXPECT_TRUE(fake.properties.empty());
    {
        StereoConverter converter(fake);
        converter.configure(pcmFormat(SampleType::float32, 96'000));
    }
    EXPECT_EQ(fake.properties, (std::vector<AudioConverterPropertyID>{kAudioConverterSampleRateConverterQuality,
                                                                       kAudioConverterPrimeMethod}));
}

TEST(StereoConverter, FinishChecksTheSegmentDurationAndResets) {
    const std::vector<float> audio(441 * 2, 0.0f);
    {
        FakeConverters fake;
        fake.fill = swallowAndGive(400);  // 80 frames short of 441 source frames
        StereoConverter converter(fake);
        converter.configure(pcmFormat(SampleType::float32, 44'100));
        Received received;
        auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(0, 44'100), sourceAt(441, 44'100)));
        converter.accept(*packet, received.sink());
        fake.fill = swallowAndGive(0);
        EXPECT_EQ(failureOf([&] { converter.finish(received.sink()); }),
                  "Computer audio conversion could not preserve the recording duration.");
    }
    {
        FakeConverters fake;
        fake.fill = swallowAndGive(480);
        fake.resetStatus = -4;
        StereoConverter converter(fake);
        converter.configure(pcmFormat(SampleType::float32, 44'100));
        Received received;
        auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(0, 44'100), sourceAt(441, 44'100)));
        converter.accept(*packet, received.sink());
        fake.fill = swallowAndGive(0);
        EXPECT_EQ(failureOf([&] { converter.finish(received.sink()); }),
                  "macOS could not reset computer audio conversion (Core Audio -4). Try recording again.");
    }
}

TEST(StereoConverter, BoundsTheTimestampHistoryAndNeedsOneForOutput) {
    FakeConverters fake;
    fake.fill = swallowAndGive(0);  // holds every packet back
    StereoConverter converter(fake);
    converter.configure(pcmFormat(SampleType::float32, 44'100));
    Received received;
    const std::vector<float> audio(10 * 2, 0.0f);
    for (int k = 0; k < 1'024; ++k) {
        auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(k * 10, 44'100), sourceAt(k * 10 + 10, 44'100)));
        converter.accept(*packet, received.sink());
    }
    auto packet = std::make_unique<Packet>(floatPacket(audio, sourceAt(10'240, 44'100), sourceAt(10'250, 44'100)));
    EXPECT_EQ(failureOf([&] { converter.accept(*packet, received.sink()); }),
              "Computer audio conversion exceeded its bounded timestamp history.");

    // Output before any source packet has no time to carry.
    StereoConverter fresh(fake);
    fresh.configure(pcmFormat(SampleType::float32, 44'100));
    fake.fill = swallowAndGive(10);
    StereoConverter::Cursor cursor;
    EXPECT_EQ(failureOf([&] { fresh.pump(cursor, received.sink()); }),
              "Computer audio conversion lost its source timestamp.");
}

}  // namespace
}  // namespace quorvantel::capture
