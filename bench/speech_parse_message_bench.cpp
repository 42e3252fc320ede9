// parseMessage on the largest packet the host sends: one second of 48 kHz stereo
// audio, about 256 KB of base64 in one line.
#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/base64.h"
#include "speech/input_protocol.h"

namespace {

std::string largestPacketLine() {
    std::vector<std::uint8_t> pcm(48000 * 2 * 2);
    std::uint32_t state = 1;
    for (auto& byte : pcm) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return R"({"channels":2,"data":")" + quorvantel::base64::encode(pcm) +
           R"(","sampleRate":48000,"source":"system-audio","startMs":123456.25,"type":"audio"})";
}

void ParseLargestPacket(benchmark::State& state) {
    const std::string line = largestPacketLine();
    for (auto _ : state) {
        auto message = quorvantel::speech::parseMessage(line);
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ParseLargestPacket)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
