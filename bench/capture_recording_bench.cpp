// The recording's path from a ring slot to a written line: each raw packet is queued
// in the ring as the audio callback queues it, converted to 48 kHz stereo, placed on
// the timeline, turned into 16-bit PCM and base64, serialised and written (to
// /dev/null). Two tap formats: 48 kHz float32 stereo and 44.1 kHz int16 stereo, in
// 10 ms packets. Prints the speed against real time and the peak resident memory
// after a short and after a four times longer recording, which must not differ.
// CPU time is the figure to compare against real time when the machine is shared.
//
//   build/bin/capture_recording_bench [minutes]      (default 10)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ctime>
#include <memory>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

#include "capture/recording/recording_writer.h"
#include "capture/recording/stream_format.h"

using namespace quorvantel;
using namespace quorvantel::capture;

namespace {

long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

struct Case {
    const char* name;
    double rate;
    bool isFloat;
    double target;  // times real time
};

AudioStreamBasicDescription formatOf(const Case& c) {
    AudioStreamBasicDescription f;
    f.mSampleRate = c.rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = (c.isFloat ? kAudioFormatFlagIsFloat : kAudioFormatFlagIsSignedInteger) | kAudioFormatFlagIsPacked;
    f.mBitsPerChannel = c.isFloat ? 32 : 16;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = 2;
    f.mBytesPerFrame = f.mBytesPerPacket = 2 * f.mBitsPerChannel / 8;
    return f;
}

// One second of a 440 Hz tone in the tap's format, made before the clock starts so
// that the figures are the path's alone.
std::vector<std::uint8_t> oneSecondOfTone(const Case& c, const AudioStreamBasicDescription& format) {
    const std::size_t frames = std::size_t(c.rate);
    std::vector<std::uint8_t> bytes(frames * format.mBytesPerFrame);
    for (std::size_t j = 0; j < frames; ++j) {
        const double v = 0.25 * std::sin(2 * std::numbers::pi * 440 * double(j) / c.rate);
        for (std::size_t ch = 0; ch < 2; ++ch) {
            if (c.isFloat) {
                const float f = float(v);
                std::memcpy(bytes.data() + (j * 2 + ch) * 4, &f, 4);
            } else {
                const auto s = std::int16_t(std::lround(v * 32'767));
                std::memcpy(bytes.data() + (j * 2 + ch) * 2, &s, 2);
            }
        }
    }
    return bytes;
}

double cpuSeconds() {
    timespec t;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Timing {
    double wall;
    double cpu;
};

// Records `seconds` of audio through the path; returns the time it took.
Timing run(const Case& c, double seconds, int sink) {
    const AudioStreamBasicDescription format = formatOf(c);
    auto state = std::unique_ptr<AudioState>(new AudioState);
    state->ring.configure(bytesPerSample(format), 2, format);
    StereoConverter converter(systemAudioConverters());
    converter.configure(format);
    const CMTimeScale rate = CMTimeScale(std::lround(c.rate));
    const CMTime origin = CMTimeMake(1'000LL * rate, rate);
    Timeline timeline(origin);
    std::uint64_t written = 0;
    RecordingWriter writer(timeline, *state, converter, [&](const json::Value& line) {
        std::string text = json::write(line, json::KeyOrder::insertion);
        text += '\n';
        written += std::uint64_t(::write(sink, text.data(), text.size()));
    });

    const std::uint32_t frames = std::uint32_t(std::lround(c.rate / 100));
    std::vector<std::uint8_t> second = oneSecondOfTone(c, format);
    const std::size_t packetBytes = std::size_t(frames) * format.mBytesPerFrame;
    const std::uint64_t total = std::uint64_t(seconds * c.rate);
    const auto begin = std::chrono::steady_clock::now();
    const double cpuBegin = cpuSeconds();
    writer.emitStarted(0);
    for (std::uint64_t at = 0; at < total; at += frames) {
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = AudioBuffer{2, std::uint32_t(packetBytes), second.data() + (at % std::uint64_t(c.rate)) / frames * packetBytes};
        const CMTime source = CMTimeAdd(origin, CMTimeMake(std::int64_t(at), rate));
        state->ring.push(&list, source, CMTimeAdd(source, CMTimeMake(frames, rate)));
        writer.emitPacket();
    }
    writer.finish(CMTimeAdd(origin, CMTimeMake(std::int64_t(total), rate)));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double cpu = cpuSeconds() - cpuBegin;
    if (state->ring.status() != kRingRunning || written == 0) std::abort();
    return Timing{wall, cpu};
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10;
    const int sink = ::open("/dev/null", O_WRONLY);
    const Case cases[] = {
        {"48 kHz float32 stereo", 48'000, true, 1'000},
        {"44.1 kHz int16 stereo", 44'100, false, 300},
    };
    bool met = true;
    for (const Case& c : cases) {
        const double shortSeconds = minutes * 60 / 4;
        // A first short run settles what is allocated once (the resampler's tables,
        // the allocator's arenas); the peak is then read after a short and after a
        // four times longer recording.
        run(c, shortSeconds, sink);
        run(c, shortSeconds, sink);
        const long shortPeak = peakKilobytes();
        const Timing timing = run(c, minutes * 60, sink);
        const long longPeak = peakKilobytes();
        // CPU time is the path's own cost; wall time also counts other work on the
        // machine.
        const double speed = minutes * 60 / timing.cpu;
        std::printf("%-24s %7.0fx real time on CPU time, %7.0fx on wall time (target %.0fx); peak %ld KiB after "
                    "%.1f min, %ld KiB after %.1f min\n",
                    c.name, speed, minutes * 60 / timing.wall, c.target, shortPeak, shortSeconds / 60, longPeak,
                    minutes);
        met = met && speed >= c.target && longPeak <= shortPeak + 1'024;
    }
    ::close(sink);
    std::printf("%s\n", met ? "targets met" : "targets NOT met");
    return met ? 0 : 1;
}
