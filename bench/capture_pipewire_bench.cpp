// A real recording through a private PipeWire (session bus, WirePlumber,
// pipewire-pulse, a null sink as the default output): an application started with
// a desktop entry plays a click every 250 ms through a child process, and
// `quorvantel-capture record --bundle-id` records it. Prints
//   - the helper's CPU time (user + system, from /proc) per recorded hour, and
//   - the latency from a sample played to its audio line: for every click, the wall
//     time its line was read minus the wall time of its frame on the recording's
//     timeline (captureStartedAtMs + frame / 48), as median, 95th percentile, worst.
//
//   build/bin/capture_pipewire_bench [seconds]      (default 60)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "capture/tests/servers/desktop_application.h"
#include "capture/tests/servers/pipewire_server.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

using namespace quorvantel;
using namespace quorvantel::testing;

namespace {

constexpr int kRate = 48'000;
constexpr int kClickEveryFrames = kRate / 4;
constexpr double kClickThreshold = 0.5;

double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// User and system CPU seconds of a running process.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stol(field);
    }
    return double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    PipeWireServer server;
    TemporaryFolder folder;
    // Clicks: one full-scale sample pair every 250 ms, silence between.
    std::string clicks(std::size_t(seconds + 2) * kRate * 4, '\0');
    for (std::size_t frame = kClickEveryFrames; frame * 4 + 3 < clicks.size(); frame += kClickEveryFrames) {
        for (int b = 0; b < 4; b += 2) {
            clicks[frame * 4 + b] = char(0xFF);
            clicks[frame * 4 + b + 1] = char(0x7F);
        }
    }
    const std::string raw = folder.write("clicks.raw", clicks);
    const std::string go = folder.path() + "/go";
    const std::string id = "org.example.QuorvantelBench" + std::to_string(::getpid());
    DesktopApplication player(folder, id, "[Desktop Entry]\nType=Application\nName=Clicks\n",
                              "{ while [ ! -e '" + go + "' ]; do sleep 0.02; done; cat '" + raw +
                                  "'; } | pacat --raw --format=s16le --rate=48000 --channels=2 --latency-msec=100",
                              server.environment());
    ChildOptions pactl;
    pactl.standIn = false;
    pactl.environment = server.environment();
    pactl.arguments = {"list", "short", "sink-inputs"};
    waitUntil([&] { return !runChild("/usr/bin/pactl", pactl).output.empty(); }, 10'000);

    ChildOptions options;
    options.standIn = false;
    options.environment = server.environment();
    options.arguments = {"record", "--bundle-id", id};
    Child helper(helperPath("quorvantel-capture"), options);
    const auto first = helper.readLine(std::chrono::seconds(10));
    if (!first) {
        std::fprintf(stderr, "no started line: %s\n", helper.standardError().c_str());
        return 1;
    }
    const double origin = json::parse(*first).find("captureStartedAtMs")->asDouble();
    folder.write("go", "");

    std::vector<double> latencies;
    std::int64_t frames = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    double cpu = 0;
    while (std::chrono::steady_clock::now() < until) {
        const auto line = helper.readLine(std::chrono::seconds(5));
        if (!line) break;
        const double readAt = wallMs();
        const json::Value value = json::parse(*line);
        const std::string type = value.find("type")->asString();
        if (type == "silence") frames = value.find("startFrame")->asInt() + value.find("frames")->asInt();
        if (type != "audio") continue;
        const auto bytes = base64::decodeCanonical(value.find("data")->asString());
        const std::int64_t start = value.find("startFrame")->asInt();
        for (std::size_t i = 0; bytes && i + 3 < bytes->size(); i += 4) {
            const auto left = std::int16_t((*bytes)[i] | ((*bytes)[i + 1] << 8));
            if (left / 32768.0 > kClickThreshold) {
                latencies.push_back(readAt - (origin + double(start + std::int64_t(i / 4)) * 1000.0 / kRate));
            }
        }
        frames = start + std::int64_t(bytes ? bytes->size() / 4 : 0);
    }
    cpu = cpuSeconds(helper.pid());
    helper.write("stop\n");
    helper.readRest();
    helper.wait();

    const double recorded = double(frames) / kRate;
    std::printf("recorded %.1f s, helper CPU %.3f s: %.1f CPU seconds per recorded hour (%.3f%% of one core)\n",
                recorded, cpu, cpu / recorded * 3600, cpu / recorded * 100);
    std::printf("latency from a played sample to its audio line over %zu clicks: median %.1f ms, p95 %.1f ms, "
                "worst %.1f ms\n",
                latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.95),
                percentile(latencies, 1.0));
    return 0;
}
