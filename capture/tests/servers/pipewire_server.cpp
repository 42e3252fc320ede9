#include "capture/tests/servers/pipewire_server.h"

#include <csignal>
#include <filesystem>
#include <stdexcept>

namespace quorvantel::testing {
namespace {

constexpr int kReadyTimeoutMs = 10'000;
constexpr const char* kNullSinkConfig = R"(context.objects = [
  { factory = adapter
    args = { factory.name = support.null-audio-sink node.name = "main"
             media.class = "Audio/Sink" audio.position = "FL,FR" audio.rate = 48000
             monitor.channel-volumes = true } }
]
)";

}  // namespace

void stopChild(Child& child) {
    child.kill(SIGTERM);
    child.wait(std::chrono::seconds(3));  // kills with SIGKILL after the timeout
}

Child& PipeWireServer::start(const std::string& program, std::vector<std::string> arguments) {
    ChildOptions options;
    options.arguments = std::move(arguments);
    options.environment = environment_;
    options.standIn = false;
    processes_.push_back(std::make_unique<Child>(program, options));
    return *processes_.back();
}

PipeWireServer::PipeWireServer() {
    const std::string& r = folder_.path();
    folder_.write("config/pipewire/pipewire.conf.d/10-null-sink.conf", kNullSinkConfig);
    environment_ = {{"XDG_RUNTIME_DIR", r},
                    {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + r + "/bus"},
                    {"XDG_CONFIG_HOME", r + "/config"},
                    {"XDG_STATE_HOME", r + "/state"},
                    {"PULSE_SERVER", "unix:" + r + "/pulse/native"}};
    try {
        start("/usr/bin/dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=unix:path=" + r + "/bus"});
        if (!waitUntil([&] { return std::filesystem::exists(r + "/bus"); }, kReadyTimeoutMs)) {
            throw std::runtime_error("the session bus did not start");
        }
        pipewire_ = &start("/usr/bin/pipewire");
        if (!waitUntil([&] { return std::filesystem::exists(r + "/pipewire-0"); }, kReadyTimeoutMs)) {
            throw std::runtime_error("pipewire did not start");
        }
        start("/usr/bin/wireplumber");
        start("/usr/bin/pipewire-pulse");
        const bool ready = waitUntil(
            [&] {
                if (!std::filesystem::exists(r + "/pulse/native")) return false;
                ChildOptions options;
                options.arguments = {"info"};
                options.environment = environment_;
                options.standIn = false;
                return runChild("/usr/bin/pactl", options).output.find("Default Sink: main") != std::string::npos;
            },
            kReadyTimeoutMs);
        if (!ready) throw std::runtime_error("WirePlumber did not make the null sink the default output");
    } catch (...) {
        while (!processes_.empty()) {
            stopChild(*processes_.back());
            processes_.pop_back();
        }
        throw;
    }
}

void PipeWireServer::stopPipeWire() { stopChild(*pipewire_); }

PipeWireServer::~PipeWireServer() {
    while (!processes_.empty()) {
        stopChild(*processes_.back());
        processes_.pop_back();
    }
}

}  // namespace quorvantel::testing
