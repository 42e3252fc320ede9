// A private PipeWire for one test: a session bus, pipewire, WirePlumber and
// pipewire-pulse in a throw-away runtime folder, with a null sink "main" as the
// default output. Ready once the sink is the default; every process is stopped by
// its id when the server object goes, also when a test fails half-way.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/tests/servers/temporary_folder.h"
#include "tests/support/child_process.h"

namespace quorvantel::testing {

class PipeWireServer {
public:
    // Starts everything and waits until it is ready; throws when it cannot.
    PipeWireServer();
    ~PipeWireServer();

    // The variables a client needs to reach this server (and nothing else).
    const std::map<std::string, std::string>& environment() const { return environment_; }
    const TemporaryFolder& folder() const { return folder_; }
    // Stops the PipeWire daemon itself, as when it crashes or is stopped under a
    // client; the rest stays until the server object goes.
    void stopPipeWire();

private:
    Child& start(const std::string& program, std::vector<std::string> arguments = {});

    TemporaryFolder folder_;
    std::map<std::string, std::string> environment_;
    // Started in order, stopped in reverse.
    std::vector<std::unique_ptr<Child>> processes_;
    Child* pipewire_ = nullptr;
};

// Stops a child by its id: SIGTERM, then SIGKILL if it lingers.
void stopChild(Child& child);

}  // namespace quorvantel::testing
