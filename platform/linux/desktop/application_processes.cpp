#include "platform/linux/desktop/application_processes.h"

#include <unordered_map>

#include "platform/linux/desktop/application_id.h"

namespace quorvantel::desktop {

std::vector<ApplicationProcess> applicationProcesses(const std::vector<ProcessFacts>& processes) {
    std::unordered_map<std::int32_t, const ProcessFacts*> byPid;
    for (const auto& process : processes) byPid[process.pid] = &process;
    const auto parentOf = [&](const ProcessFacts& process) -> const ProcessFacts* {
        const auto found = byPid.find(process.ppid);
        return found == byPid.end() ? nullptr : found->second;
    };

    std::vector<ApplicationProcess> applications;
    for (const auto& process : processes) {
        if (process.unit) {
            if (const auto id = unitApplicationId(*process.unit)) {
                const ProcessFacts* parent = parentOf(process);
                if (parent == nullptr || parent->unit != process.unit) {
                    applications.push_back({process.pid, *id, IdSource::unit, std::nullopt});
                }
                continue;
            }
        }
        if (process.launchedFile && process.launchedPid) {
            if (const auto id = desktopFileId(*process.launchedFile)) {
                if (*process.launchedPid == process.pid) {
                    applications.push_back({process.pid, *id, IdSource::launcher, process.launchedFile});
                }
                continue;
            }
        }
        if (process.flatpakId) {
            const ProcessFacts* parent = parentOf(process);
            if (parent == nullptr || parent->flatpakId != process.flatpakId) {
                applications.push_back({process.pid, *process.flatpakId, IdSource::flatpak, std::nullopt});
            }
        }
    }
    return applications;
}

}  // namespace quorvantel::desktop
