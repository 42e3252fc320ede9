#include "capture/tests/servers/desktop_application.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <iterator>
#include <stdexcept>

#include "capture/tests/servers/pipewire_server.h"

namespace quorvantel::testing {
namespace {

constexpr int kLaunchTimeoutMs = 5'000;

}  // namespace

DesktopApplication::DesktopApplication(const TemporaryFolder& folder, const std::string& id, const std::string& entry,
                                       const std::string& script, const std::map<std::string, std::string>& environment) {
    ChildOptions options;
    options.standIn = false;
    options.environment = environment;
    options.environment["GIO_LAUNCHED_DESKTOP_FILE"] = folder.write("applications/" + id + ".desktop", entry);
    // The launcher names the process it started. A process's own environment is what
    // it was executed with, so the shell executes the script with its own id added.
    options.arguments = {"-c", "GIO_LAUNCHED_DESKTOP_FILE_PID=$$ exec /bin/sh -c \"$0\"", script};
    process_ = std::make_unique<Child>("/bin/sh", options);
    const std::string environ = "/proc/" + std::to_string(process_->pid()) + "/environ";
    const bool launched = waitUntil(
        [&] {
            std::ifstream file(environ, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            return text.find("GIO_LAUNCHED_DESKTOP_FILE_PID=") != std::string::npos;
        },
        kLaunchTimeoutMs);
    if (!launched) {
        stopChild(*process_);
        throw std::runtime_error("the application " + id + " did not start");
    }
}

DesktopApplication::~DesktopApplication() {
    // What the application started goes with it, each by its own id.
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        fields >> state >> parent;
        if (parent == process_->pid()) ::kill(std::stoi(name), SIGKILL);
    }
    stopChild(*process_);
}

}  // namespace quorvantel::testing
