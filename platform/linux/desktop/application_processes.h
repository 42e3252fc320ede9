// Which processes are running applications. A launcher's unit and variables are
// inherited by everything an application starts, so only the application's own
// process counts: for a unit, a process whose parent is outside it; for GLib's
// launcher variables, the process they name; for a sandbox, its first process. All
// below them are the application's descendants, not further instances.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvantel::desktop {

// What /proc tells about one process.
struct ProcessFacts {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    std::optional<std::string> unit;             // application unit of its cgroup
    std::optional<std::string> launchedFile;     // GIO_LAUNCHED_DESKTOP_FILE
    std::optional<std::int32_t> launchedPid;     // GIO_LAUNCHED_DESKTOP_FILE_PID
    std::optional<std::string> flatpakId;        // [Application] name of /.flatpak-info
};

enum class IdSource { unit, launcher, flatpak };

struct ApplicationProcess {
    std::int32_t pid = 0;
    std::string id;       // desktop entry id
    IdSource source = IdSource::unit;
    // The desktop file the launcher named (launcher source only).
    std::optional<std::string> desktopFile;
};

// The application processes among the snapshot, in its order. The first convention
// that gives a process an id decides: unit, then launcher, then sandbox.
std::vector<ApplicationProcess> applicationProcesses(const std::vector<ProcessFacts>& processes);

}  // namespace quorvantel::desktop
