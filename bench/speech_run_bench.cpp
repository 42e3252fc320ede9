// The whole run path of quorvantel-speech, fed from a generator over a pipe: an hour
// of 48 kHz stereo system audio and an hour of 16 kHz mono microphone audio in 100 ms
// packets with speech-like bursts, and a two-hour hole in system audio. Prints the
// wall time, the speed against real time and the helper's peak resident memory.
//
//   build/bin/speech_run_bench [minutes]      (default 60)
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/base64.h"
#include "tests/support/child_process.h"

namespace {

std::string payload(int rate, int channels, bool loud) {
    const int frames = rate / 10;
    std::vector<std::uint8_t> pcm(std::size_t(frames) * std::size_t(channels) * 2);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(loud ? std::lround(8192 * std::sin(2 * M_PI * 440 * i / rate)) : 0);
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = (std::size_t(i) * std::size_t(channels) + std::size_t(c)) * 2;
            pcm[at] = std::uint8_t(v & 0xFF);
            pcm[at + 1] = std::uint8_t((v >> 8) & 0xFF);
        }
    }
    return quorvantel::base64::encode(pcm);
}

std::string line(const char* source, int rate, int channels, double startMs, const std::string& data) {
    char head[160];
    std::snprintf(head, sizeof head, "{\"type\":\"audio\",\"source\":\"%s\",\"sampleRate\":%d,\"channels\":%d,\"startMs\":%.17g,\"data\":\"",
                  source, rate, channels, startMs);
    return head + data + "\"}\n";
}

long peakKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
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
    const char* source;
    int rate, channels;
    double audioSeconds;
    double holeSeconds;  // a hole of this length after the first packet
};

void measure(const Case& c) {
    using clock = std::chrono::steady_clock;
    quorvantel::testing::ChildOptions options;
    options.arguments = {"run", "--locale", "en-US"};
    quorvantel::testing::Child child(quorvantel::testing::helperPath("quorvantel-speech"), options);
    if (child.readLine() != "{\"type\":\"ready\"}") {
        std::printf("%s: no ready line\n", c.name);
        return;
    }
    std::atomic<long> peak{0};
    std::atomic<long> segments{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (auto out = child.readLine(std::chrono::seconds(120))) {
            if (out->find("\"segment\"") != std::string::npos) ++segments;
            peak = std::max(peak.load(), peakKilobytes(child.pid()));
            if (*out == "{\"type\":\"stopped\"}" || out->find("\"error\"") != std::string::npos) {
                if (out->find("\"error\"") != std::string::npos) std::printf("%s: %s\n", c.name, out->c_str());
                break;
            }
        }
        done = true;
    });
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), peakKilobytes(child.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const std::string silent = payload(c.rate, c.channels, false);
    const std::string loud = payload(c.rate, c.channels, true);
    const auto start = clock::now();
    const long packets = std::lround(c.audioSeconds * 10);
    std::string batch;
    for (long p = 0; p < packets; ++p) {
        // One second of "speech" in every three.
        const bool speaking = (p % 30) >= 10 && (p % 30) < 20;
        const double startMs = p * 100.0 + (p > 0 ? c.holeSeconds * 1000.0 : 0.0);
        batch += line(c.source, c.rate, c.channels, startMs, speaking ? loud : silent);
        if (batch.size() > (1 << 20)) {
            child.write(batch);
            batch.clear();
        }
    }
    batch += "{\"type\":\"stop\"}\n";
    child.write(batch);
    reader.join();
    const double seconds = std::chrono::duration<double>(clock::now() - start).count();
    done = true;
    sampler.join();
    child.wait();
    const double covered = c.audioSeconds + c.holeSeconds;
    std::printf("%-34s %8.2f s  %8.0fx real time  peak %6.1f MB  %ld segment lines\n", c.name, seconds,
                covered / seconds, double(peak) / 1024.0, segments.load());
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
    const Case cases[] = {
        {"system audio 48 kHz stereo", "system-audio", 48000, 2, minutes * 60, 0},
        {"microphone 16 kHz mono", "microphone", 16000, 1, minutes * 60, 0},
        {"system audio, 2 h hole", "system-audio", 48000, 2, 60, 2 * 3600},
    };
    for (const Case& c : cases) measure(c);
}
