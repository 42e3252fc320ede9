#include "capture/recording/recording_selftest.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "capture/recording/audio_state.h"
#include "capture/recording/capture.h"
#include "capture/recording/pcm16.h"
#include "capture/recording/recording_events.h"
#include "capture/recording/recording_failure.h"
#include "capture/recording/stereo_converter.h"
#include "capture/recording/stream_format.h"
#include "capture/recording/timeline.h"
#include "platform/foundation/base64.h"

namespace quorvantel::capture {
namespace {

// ---- Checking ----

void expect(bool ok, const char* fixture) {
    if (!ok) failRecording(fixture);
}

// True when the action fails with exactly this message.
bool rejects(const std::function<void()>& action, const std::string& message) {
    try {
        action();
    } catch (const RecordingFailure& failure) {
        return failure.what() == message;
    }
    return false;
}

// ---- Formats and packets ----

AudioStreamBasicDescription floatFormat(double rate, bool interleaved = true) {
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                     (interleaved ? 0 : kAudioFormatFlagIsNonInterleaved);
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = 32;
    f.mBytesPerFrame = f.mBytesPerPacket = interleaved ? 8 : 4;
    return f;
}

AudioStreamBasicDescription integerFormat(std::uint32_t bits) {
    AudioStreamBasicDescription f;
    f.mSampleRate = 48'000;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = bits;
    f.mBytesPerFrame = f.mBytesPerPacket = 2 * bits / 8;
    return f;
}

std::unique_ptr<Packet> interleavedPacket(const std::vector<float>& samples, CMTime source, CMTime receipt) {
    auto p = std::make_unique<Packet>();
    std::memcpy(p->data, samples.data(), samples.size() * sizeof(float));
    p->offsets[0] = p->offsets[1] = 0;
    p->channels[0] = 2;
    p->channels[1] = 0;
    p->bufferCount = 1;
    p->frames = std::uint32_t(samples.size() / 2);
    p->sourceTime = source;
    p->receiptTime = receipt;
    return p;
}

std::unique_ptr<Packet> planarPacket(const std::vector<float>& left, const std::vector<float>& right) {
    auto p = std::make_unique<Packet>();
    std::memcpy(p->data, left.data(), left.size() * sizeof(float));
    std::memcpy(p->data + left.size() * sizeof(float), right.data(), right.size() * sizeof(float));
    p->offsets[0] = 0;
    p->offsets[1] = std::uint32_t(left.size() * sizeof(float));
    p->channels[0] = p->channels[1] = 1;
    p->bufferCount = 2;
    p->frames = std::uint32_t(left.size());
    p->sourceTime = p->receiptTime = kCMTimeZero;
    return p;
}

// What a converter handed out.
struct Output {
    std::vector<float> samples;
    struct Chunk {
        CMTime source;
        CMTime receipt;
        std::uint32_t frames;
    };
    std::vector<Chunk> chunks;
    ChunkSink sink() {
        return [this](const Packet& chunk, const AudioStreamBasicDescription&) {
            const auto* f = reinterpret_cast<const float*>(chunk.data + chunk.offsets[0]);
            samples.insert(samples.end(), f, f + std::size_t(chunk.frames) * 2);
            chunks.push_back({chunk.sourceTime, chunk.receiptTime, chunk.frames});
        };
    }
    std::size_t frames() const { return samples.size() / 2; }
};

CMTime sourceAt(std::int64_t frame, CMTimeScale rate) { return CMTimeMake(1'000LL * rate + frame, rate); }

std::vector<float> tone(std::size_t frames, double rate) {
    std::vector<float> s(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        s[i * 2] = float(0.5 * std::sin(2 * std::numbers::pi * 440 * double(i) / rate));
        s[i * 2 + 1] = float(0.25 * std::sin(2 * std::numbers::pi * 660 * double(i) / rate));
    }
    return s;
}

// Feeds audio in packets of the given sizes (cycled) with contiguous host times from
// `first`, each received one packet later.
void feed(StereoConverter& converter, const std::vector<float>& audio, const std::vector<std::size_t>& sizes,
          CMTimeScale rate, Output& out, std::int64_t first = 0) {
    std::size_t at = 0;
    for (std::size_t k = 0; at < audio.size() / 2; ++k) {
        const std::size_t n = std::min(sizes[k % sizes.size()], audio.size() / 2 - at);
        const std::vector<float> part(audio.begin() + std::ptrdiff_t(at * 2), audio.begin() + std::ptrdiff_t((at + n) * 2));
        auto p = interleavedPacket(part, sourceAt(first + std::int64_t(at), rate),
                                   sourceAt(first + std::int64_t(at + n), rate));
        converter.accept(*p, out.sink());
        at += n;
    }
}

// ---- Packet emission ----

void lineFixtures() {
    constexpr std::uint64_t kMax = std::uint64_t(kMaximumTimelineFrames);
    {
        const json::Value started = startedEvent(1'788'586'400'000);
        expect(started.find("captureStartedAtMs")->asInt() == 1'788'586'400'000 &&
                   started.find("sampleRate")->asInt() == 48'000 && started.find("channels")->asInt() == 2 &&
                   rejects([] { startedEvent(-1); }, "The native recorder received an invalid session start time.") &&
                   rejects([] { startedEvent(kMaximumSessionStartMs + 1); },
                           "The native recorder received an invalid session start time."),
               "Capture origin envelope self-test failed.");
    }
    {
        const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
        const json::Value audio = audioEvent(bytes.data(), bytes.size(), 0.25, 144'000);
        expect(base64::decodeCanonical(audio.find("data")->asString()) == bytes &&
                   audio.find("startFrame")->asInt() == 144'000 && audio.find("peak")->asDouble() == 0.25,
               "Audio timeline envelope self-test failed.");
    }
    {
        const json::Value silence = silenceEvent(144'000, 4'800);
        expect(silence.find("startFrame")->asInt() == 144'000 && silence.find("frames")->asInt() == 4'800 &&
                   silence.find("data") == nullptr,
               "Silence timeline envelope self-test failed.");
    }
    for (const std::uint64_t n : {std::uint64_t(1), std::uint64_t(4'800), std::uint64_t(28'800'000), kMax}) {
        const json::Value silence = silenceEvent(0, n);
        expect(silence.find("data") == nullptr && silence.find("startFrame")->asInt() == 0 &&
                   silence.find("frames")->asInt() == std::int64_t(n) &&
                   json::write(silence, json::KeyOrder::insertion).size() <= 128,
               "Compact silent timeline envelope self-test failed.");
    }
    {
        const std::vector<std::uint8_t> zeros(19'200, 0);
        expect(audioEvent(zeros.data(), zeros.size(), 0.0, 144'002).find("startFrame")->asInt() == 144'002,
               "Silent frame position self-test failed.");
    }
    {
        const std::string unsafe = "The native recorder could not represent the silent timeline safely.";
        expect(rejects([&] { silenceEvent(kMax, 1); }, unsafe) && rejects([&] { silenceEvent(0, 0); }, unsafe) &&
                   rejects([&] { silenceEvent(1, kMax); }, unsafe),
               "Invalid silent timeline rejection self-test failed.");
    }
    {
        const std::string unsafe = "The native recorder could not represent the audio timeline safely.";
        const std::vector<std::uint8_t> eight(8, 0);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        expect(rejects([&] { audioEvent(eight.data(), 0, 0.5, 0); }, unsafe) &&
                   rejects([&] { audioEvent(eight.data(), 3, 0.5, 0); }, unsafe) &&
                   rejects([&] { audioEvent(eight.data(), 8, nan, 0); }, unsafe) &&
                   rejects([&] { audioEvent(eight.data(), 8, -0.5, 0); }, unsafe) &&
                   rejects([&] { audioEvent(eight.data(), 8, 1.5, 0); }, unsafe) &&
                   rejects([&] { audioEvent(eight.data(), 8, 0.5, kMax - 1); }, unsafe),
               "Invalid audio envelope rejection self-test failed.");
    }
    const std::vector<std::uint8_t> whole = {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40, 0x00, 0xC0};
    const std::vector<std::uint8_t> kept = {0x00, 0x40, 0x00, 0xC0};
    {
        auto chunk = interleavedPacket({-1.0f, 1.0f, 0.5f, -0.5f}, kCMTimeZero, kCMTimeZero);
        const Pcm16 all = pcm16(*chunk, floatFormat(48'000), 0);
        const Pcm16 trimmed = pcm16(*chunk, floatFormat(48'000), 1);
        expect(all.bytes == whole && all.peak == 1.0 && trimmed.bytes == kept && trimmed.peak == 0.5,
               "Whole-stereo-frame trim or retained-only peak self-test failed.");
    }
    {
        auto chunk = planarPacket({-1.0f, 0.5f}, {1.0f, -0.5f});
        const Pcm16 all = pcm16(*chunk, floatFormat(48'000, false), 0);
        const Pcm16 trimmed = pcm16(*chunk, floatFormat(48'000, false), 1);
        expect(all.bytes == whole && all.peak == 1.0 && trimmed.bytes == kept && trimmed.peak == 0.5,
               "Planar preroll trim or retained peak self-test failed.");
    }
}

// ---- Sample decoding and stereo conversion ----

void decodingFixtures() {
    const std::uint8_t int24Negative[] = {0x00, 0x00, 0x80};
    expect(sample(int24Negative, integerFormat(24)) == -1.0, "PCM24 sign extension self-test failed.");
    const std::uint8_t int24Positive[] = {0xFF, 0xFF, 0x7F};
    expect(sample(int24Positive, integerFormat(24)) == 8'388'607.0 / 8'388'608.0, "PCM24 positive self-test failed.");
    const std::uint8_t int16Negative[] = {0x00, 0x80};
    expect(sample(int16Negative, integerFormat(16)) == -1.0, "PCM16 self-test failed.");
    const std::uint8_t int32Negative[] = {0x00, 0x00, 0x00, 0x80};
    expect(sample(int32Negative, integerFormat(32)) == -1.0, "PCM32 self-test failed.");
    AudioStreamBasicDescription float64 = floatFormat(48'000);
    float64.mBitsPerChannel = 64;
    float64.mBytesPerFrame = float64.mBytesPerPacket = 16;
    const double threeQuarters = -0.75;
    std::uint8_t bytes[8];
    std::memcpy(bytes, &threeQuarters, 8);
    expect(sample(bytes, float64) == -0.75, "Float64 self-test failed.");
}

void ringFixtures() {
    std::vector<std::uint8_t> bytes(1'920, 0);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    {
        auto state = std::unique_ptr<AudioState>(new AudioState);
        state->ring.configure(2, 2, integerFormat(16));
        list.mBuffers[0] = AudioBuffer{2, 3, bytes.data()};
        state->ring.push(&list, sourceAt(0, 48'000), sourceAt(1, 48'000));
        expect(state->ring.status() == kRingMalformedInput && state->ring.writeIndex() == 0,
               "Malformed buffer rejection self-test failed.");
    }
    {
        auto state = std::unique_ptr<AudioState>(new AudioState);
        state->ring.configure(2, 2, integerFormat(16));
        list.mBuffers[0] = AudioBuffer{2, std::uint32_t(bytes.size()), bytes.data()};
        for (std::uint64_t i = 0; i < kRingSlots; ++i) state->ring.push(&list, sourceAt(0, 48'000), sourceAt(1, 48'000));
        const bool full = state->ring.writeIndex() == kRingSlots && state->ring.status() == kRingRunning;
        state->ring.push(&list, sourceAt(0, 48'000), sourceAt(1, 48'000));
        const bool overrun = state->ring.status() == kRingOverrun && state->ring.writeIndex() == kRingSlots;
        state->ring.release();
        state->ring.push(&list, sourceAt(0, 48'000), sourceAt(1, 48'000));
        expect(full && overrun && state->ring.writeIndex() == kRingSlots && state->ring.status() == kRingOverrun,
               "Bounded buffer self-test failed.");
    }
    {
        // The IOProc takes the source time from the input stamp and the receipt time
        // from the current one, and copies the samples.
        auto state = std::unique_ptr<AudioState>(new AudioState);
        state->ring.configure(4, 2, floatFormat(48'000));
        const std::vector<float> samples = {0.5f, -0.5f, 0.25f, -0.25f};
        list.mBuffers[0] = AudioBuffer{2, 16, const_cast<float*>(samples.data())};
        AudioTimeStamp input, now;
        input.mHostTime = 5'000'000'000;
        now.mHostTime = 5'010'000'000;
        input.mFlags = now.mFlags = kAudioTimeStampHostTimeValid;
        captureIO(0, &now, &list, &input, nullptr, nullptr, state.get());
        const bool queued = state->ring.size() == 1 && state->ring.status() == kRingRunning;
        const Packet& p = state->ring.front();
        expect(queued && p.sourceTime == CMTimeMake(5'000'000'000, 1'000'000'000) &&
                   p.receiptTime == CMTimeMake(5'010'000'000, 1'000'000'000) && p.frames == 2 &&
                   std::memcmp(p.data, samples.data(), 16) == 0 && state->inFlight.load() == 0,
               "Core Audio IOProc source/receipt clock and PCM fixture failed.");

        auto missing = std::unique_ptr<AudioState>(new AudioState);
        missing->ring.configure(4, 2, floatFormat(48'000));
        input.mFlags = kAudioTimeStampSampleTimeValid;
        captureIO(0, &now, &list, &input, nullptr, nullptr, missing.get());
        expect(missing->ring.status() == kRingClockUnusable && missing->ring.writeIndex() == 0,
               "Missing Core Audio host-clock flag fixture failed.");

        auto changed = std::unique_ptr<AudioState>(new AudioState);
        changed->ring.configure(4, 2, floatFormat(48'000));
        input.mFlags = kAudioTimeStampHostTimeValid;
        audioChanged(0, 1, &kTapFormatAddress, changed.get());
        captureIO(0, &now, &list, &input, nullptr, nullptr, changed.get());
        expect(changed->changed() && changed->ring.status() == kRingMalformedInput && changed->ring.writeIndex() == 0 &&
                   changed->inFlight.load() == 0,
               "Changed Core Audio format fixture failed.");
    }
}

void converterFixtures() {
    AudioConverterService& converters = systemAudioConverters();
    {
        StereoConverter converter(converters);
        converter.configure(floatFormat(48'000));
        Output out;
        auto p = interleavedPacket({0.5f, -0.25f, 1.5f, -2.0f}, sourceAt(0, 48'000), sourceAt(2, 48'000));
        converter.accept(*p, out.sink());
        converter.finish(out.sink());
        expect(out.samples == std::vector<float>{0.5f, -0.25f, 1.0f, -1.0f}, "Interleaved float conversion self-test failed.");
    }
    {
        StereoConverter converter(converters);
        converter.configure(floatFormat(48'000, false));
        Output out;
        auto p = planarPacket({0.5f, -1.0f}, {0.25f, 0.125f});
        p->sourceTime = sourceAt(0, 48'000);
        p->receiptTime = sourceAt(2, 48'000);
        converter.accept(*p, out.sink());
        expect(out.samples == std::vector<float>{0.5f, 0.25f, -1.0f, 0.125f}, "Planar conversion self-test failed.");
    }
    {
        const std::vector<float> audio = tone(8'820, 44'100);
        const auto convert = [&](const std::vector<std::size_t>& sizes) {
            StereoConverter converter(converters);
            converter.configure(floatFormat(44'100));
            Output out;
            feed(converter, audio, sizes, 44'100, out);
            converter.finish(out.sink());
            return out;
        };
        const Output whole = convert({8'192});
        const Output split = convert({441, 7, 1'000});
        bool timesFollow = true;
        for (const Output* o : {&whole, &split}) {
            std::int64_t frame = 0;
            for (const auto& chunk : o->chunks) {
                timesFollow = timesFollow && chunk.source == CMTimeAdd(sourceAt(0, 44'100), CMTimeMake(frame, 48'000));
                frame += chunk.frames;
            }
        }
        expect(whole.samples == split.samples && !whole.samples.empty(),
               "Stateful converter partition-invariance fixture failed.");
        expect(timesFollow, "Converted source timeline fixture failed.");
    }
    for (const CMTimeScale rate : {8'000, 16'000, 44'100, 48'000, 96'000, 192'000}) {
        StereoConverter converter(converters);
        converter.configure(floatFormat(rate));
        Output out;
        feed(converter, tone(std::size_t(rate), rate), {std::size_t(rate) / 50}, rate, out);
        converter.finish(out.sink());
        expect(out.frames() >= 47'999 && out.frames() <= 48'001, "Resampled fixture duration failed.");
    }
    {
        // 441-frame packets whose host times run 3 µs late each: one segment, and every
        // chunk keeps its own packet's time and receipt.
        StereoConverter converter(converters);
        converter.configure(floatFormat(44'100));
        Output out;
        const std::vector<float> audio = tone(441, 44'100);
        std::vector<CMTime> times;
        for (int k = 0; k < 20; ++k) {
            const CMTime t = CMTimeMake(9'000'000'000LL + k * 10'003'000LL, 1'000'000'000);
            times.push_back(t);
            auto p = interleavedPacket(audio, t, CMTimeAdd(t, CMTimeMake(k + 1, 1'000)));
            converter.accept(*p, out.sink());
        }
        converter.finish(out.sink());
        expect(out.frames() >= 9'599 && out.frames() <= 9'601, "Sub-frame drift fixture changed source audio duration.");
        bool ownTimes = true, ownReceipts = true;
        std::int64_t frame = 0;
        for (const auto& chunk : out.chunks) {
            const std::size_t k = std::min<std::size_t>(std::size_t(frame / 480), times.size() - 1);
            const CMTime expected =
                CMTimeAdd(times[k], CMTimeSubtract(CMTimeMake(frame, 48'000), CMTimeMake(std::int64_t(k) * 441, 44'100)));
            ownTimes = ownTimes && std::fabs(CMTimeGetSeconds(CMTimeSubtract(chunk.source, expected))) < 2e-9;
            ownReceipts = ownReceipts && chunk.receipt == CMTimeAdd(times[k], CMTimeMake(std::int64_t(k) + 1, 1'000));
            frame += chunk.frames;
        }
        expect(ownTimes, "Resampling lost cumulative sub-frame source-clock drift.");
        expect(ownReceipts, "Resampling replaced source receipt-clock evidence.");
    }
    {
        StereoConverter converter(converters);
        converter.configure(floatFormat(44'100));
        Output out;
        feed(converter, tone(4'410, 44'100), {441}, 44'100, out);
        const std::size_t firstSegment = out.frames();
        feed(converter, tone(4'410, 44'100), {441}, 44'100, out, 4'412);
        const std::size_t beforeTail = out.frames();
        converter.finish(out.sink());
        std::int64_t beforeGapFrames = 0;
        bool crossed = false, secondStarted = false;
        const CMTime firstEnd = sourceAt(4'410, 44'100);
        for (const auto& chunk : out.chunks) {
            if (CMTimeCompare(chunk.source, sourceAt(4'412, 44'100)) >= 0) {
                secondStarted = true;
                continue;
            }
            crossed = crossed || secondStarted ||
                      CMTimeCompare(CMTimeAdd(chunk.source, CMTimeMake(chunk.frames, 48'000)), firstEnd) > 0;
            beforeGapFrames += chunk.frames;
        }
        expect(firstSegment < 4'800 && std::abs(beforeGapFrames - 4'800) <= 1 &&
                   std::abs(std::int64_t(out.frames()) - 9'600) <= 2 && beforeTail > firstSegment,
               "Converter gap/tail duration fixture failed.");
        expect(!crossed && secondStarted, "Converter tail crossed a confirmed source gap.");
    }
    {
        StereoConverter converter(converters);
        converter.configure(floatFormat(44'100));
        Output out;
        auto p = interleavedPacket(tone(441, 44'100), sourceAt(0, 44'100), sourceAt(441, 44'100));
        converter.accept(*p, out.sink());
        expect(rejects([&] { converter.accept(*p, out.sink()); },
                       "macOS delivered overlapping or out-of-order computer audio."),
               "Converter accepted a repeated source timestamp.");
    }
}

// ---- The timeline ----

constexpr CMTimeScale kHostScale = 192'000;
constexpr CMTimeValue kOriginValue = 1'000LL * kHostScale;
const CMTime kOrigin = CMTimeMake(kOriginValue, kHostScale);
CMTime at(double frames) { return CMTimeMake(kOriginValue + std::llround(frames * 4), kHostScale); }

bool placed(Timeline& t, double source, std::uint32_t frames, double receipt, std::uint64_t start,
            std::uint32_t trimmed = 0) {
    const Placement p = t.target(at(source), frames, at(receipt));
    if (p.trimmed < frames) t.setNextFrame(p.start + (frames - p.trimmed));
    return p.start == start && p.trimmed == trimmed;
}

bool refused(Timeline& t, double source, std::uint32_t frames, double receipt, const std::string& message) {
    return rejects([&] { t.target(at(source), frames, at(receipt)); }, message);
}

void timelineFixtures() {
    const std::string outOfOrder =
        "macOS delivered overlapping or out-of-order audio. Recording stopped to avoid corrupt timing.";
    const std::string outside =
        "macOS supplied an audio timestamp outside the supported recording timeline. Start a new recording.";
    const std::string invalid = "macOS supplied an invalid audio clock timestamp.";
    constexpr double kMax = double(kMaximumTimelineFrames);
    const auto fresh = [] { return Timeline(kOrigin); };

    {
        Timeline t = fresh();
        expect(placed(t, 0, 480, 240'000, 0), "Delayed first receipt placement self-test failed.");
        expect(placed(t, 480, 480, 240'000, 480), "Contiguous host timestamp self-test failed.");
    }
    {
        Timeline t = fresh();
        t.setNextFrame(960);
        expect(placed(t, 240'000, 480, 240'480, 240'000), "Silent gap host timestamp self-test failed.");
        expect(t.end(at(384'000)) == 384'000, "Trailing silence host marker self-test failed.");
        expect(refused(t, 192'000, 480, 288'000, outOfOrder), "Backward host timestamp was accepted.");
    }
    {
        Timeline t = fresh();
        expect(placed(t, 960, 480, 1'440, 960), "Post-request pre-completion audio was trimmed or rebased.");
        expect(t.discarded() == 0, "Post-request audio counted as preroll.");
    }
    {
        Timeline t = fresh();
        expect(placed(t, 28'800'000, 480, 28'848'000, 28'800'000),
               "Long leading silence was replaced by callback latency.");
    }
    {
        Timeline t = fresh();
        expect(t.end(at(0)) == 0 && t.end(at(2'880'000)) == 2'880'000,
               "All-silent recording host marker self-test failed.");
    }
    {
        Timeline t = fresh();
        expect(placed(t, -240, 480, 480, 0, 240), "Straddling startup buffer trim self-test failed.");
        expect(placed(t, 240, 480, 720, 240), "Post-trim contiguous audio self-test failed.");
        expect(t.discarded() == 240, "Preroll discard count self-test failed.");
    }
    {
        Timeline t = fresh();
        expect(placed(t, -480, 480, 0, 0, 480), "Fully pre-origin buffer trim self-test failed.");
        expect(placed(t, 0, 480, 480, 0), "Fully discarded preroll rebased the first valid sample.");
        expect(t.discarded() == 480, "Fully pre-origin discard count self-test failed.");
        expect(refused(t, -480, 480, 960, outOfOrder), "Backward preroll after valid audio was hidden.");
    }
    {
        Timeline t = fresh();
        placed(t, -480, 480, 0, 0, 480);
        expect(refused(t, -480, 480, 0, outOfOrder), "Repeated discarded preroll was hidden.");
    }
    {
        Timeline t = fresh();
        expect(placed(t, -1, 1, 0, 0, 1), "Single-frame preroll trim self-test failed.");
        expect(refused(t, -1, 1, 0, outOfOrder), "Repeated one-frame preroll hid within frame-rounding tolerance.");
    }
    {
        Timeline t = fresh();
        placed(t, -480, 480, 0, 0, 480);
        expect(refused(t, -480.25, 480, 0, outOfOrder), "Sub-frame backward preroll hid within frame-rounding tolerance.");
    }
    {
        Timeline quarter = fresh(), fiveQuarters = fresh();
        expect(placed(quarter, -0.25, 3, 0, 0, 1) && placed(fiveQuarters, -1.25, 3, 0, 0, 2),
               "Fractional pre-origin trim did not round toward full pre-origin frames.");
        expect(quarter.discarded() == 1 && fiveQuarters.discarded() == 2, "Fractional preroll accounting self-test failed.");
        Timeline single = fresh();
        expect(placed(single, -0.25, 1, 0, 0, 1), "Fractional fully-before-origin sample was retained.");
    }
    {
        Timeline t = fresh();
        expect(!rejects([&] { placed(t, -96'000, 480, 0, 0, 480); }, outside) && t.discarded() == 480,
               "Exact preroll bound was rejected.");
        Timeline beyond = fresh();
        expect(refused(beyond, -96'001, 480, 0, outside), "Excessive preroll was accepted.");
    }
    {
        bool tolerant = true;
        for (const double start : {479.0, 480.0, 481.0}) {
            Timeline t = fresh();
            t.setNextFrame(480);
            tolerant = tolerant && placed(t, start, 480, 960, 480);
        }
        expect(tolerant, "One-frame boundary tolerance self-test failed.");
        Timeline gap = fresh();
        gap.setNextFrame(480);
        expect(placed(gap, 482, 480, 960, 482), "Two-frame real gap was rounded away.");
        Timeline overlap = fresh();
        overlap.setNextFrame(480);
        expect(refused(overlap, 478, 480, 960, outOfOrder), "Two-frame overlap was accepted.");
    }
    {
        Timeline t = fresh(), bound = fresh();
        expect(refused(t, 96'001, 480, 0, "macOS supplied an audio timestamp ahead of the recording clock.") &&
                   placed(bound, 96'000, 480, 0, 96'000),
               "Ahead-of-receipt timestamp was accepted.");
    }
    {
        const std::vector<CMTime> unusable = {
            kCMTimeInvalid, kCMTimeIndefinite, kCMTimePositiveInfinity, kCMTimeNegativeInfinity, CMTimeMake(-1, 1),
            CMTime{kOriginValue, kHostScale, kCMTimeFlags_Valid, 1}, CMTime{kOriginValue, kHostScale, kCMTimeFlags_Valid, -1},
            CMTime{kOriginValue, 0, kCMTimeFlags_Valid, 0}, CMTime{kOriginValue, -1, kCMTimeFlags_Valid, 0}};
        for (const CMTime bad : unusable) {
            Timeline t = fresh();
            expect(rejects([&] { t.target(bad, 480, at(480)); }, invalid), "Invalid host timestamp was accepted.");
            expect(rejects([&] { t.target(at(0), 480, bad); }, invalid), "Invalid receipt timestamp was accepted.");
            Timeline badOrigin(bad);
            expect(rejects([&] { badOrigin.target(at(0), 480, at(480)); }, invalid) &&
                       rejects([&] { badOrigin.end(at(0)); }, invalid),
                   "Invalid session origin was accepted.");
            expect(rejects([&] { t.end(bad); }, invalid), "Invalid stop marker was accepted.");
        }
    }
    {
        Timeline t = fresh();
        expect(placed(t, kMax - 480, 480, kMax, std::uint64_t(kMax) - 480),
               "Exact maximum recording boundary was rejected.");
        expect(t.end(at(kMax)) == std::uint64_t(kMax), "Maximum stop marker self-test failed.");
        Timeline beyond = fresh();
        expect(refused(beyond, kMax - 479, 480, kMax, "The recording exceeded the supported audio timeline."),
               "Packet beyond maximum timeline was accepted.");
        expect(refused(beyond, kMax + 1, 1, kMax, outside), "Timestamp beyond maximum timeline was accepted.");
        expect(rejects([&] { beyond.end(at(kMax + 1)); }, outside), "Stop padding beyond maximum timeline was accepted.");
        expect(rejects([&] { beyond.end(at(-1)); }, "Invalid recording duration."), "Pre-origin stop marker was accepted.");
    }
    {
        Timeline delayed = fresh();
        placed(delayed, 4'320, 480, 7'200, 4'320);
        expect(delayed.end(at(4'800)) == 4'800, "Delayed final callback changed Stop padding.");
        Timeline drained = fresh();
        placed(drained, 4'560, 480, 7'200, 4'560);
        expect(drained.end(at(4'800)) == 5'040, "Final drain tail was truncated to the earlier Stop marker.");
    }
}

}  // namespace

void runRecordingFixtures() {
    lineFixtures();
    decodingFixtures();
    ringFixtures();
    converterFixtures();
    timelineFixtures();
}

}  // namespace quorvantel::capture
