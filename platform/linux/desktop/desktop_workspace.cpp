#include "platform/linux/desktop/desktop_workspace.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/kernel/proc_bsd_info.h"
#include "platform/linux/desktop/application_id.h"
#include "platform/linux/desktop/application_processes.h"
#include "platform/linux/desktop/desktop_entry.h"

namespace quorvantel::desktop {
namespace {

std::optional<std::string> readFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || text.size() + std::size_t(std::max<ssize_t>(n, 0)) > limit) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            ::close(fd);
            return text;
        }
        text.append(chunk, std::size_t(n));
    }
}

std::optional<std::string> environmentValue(const std::string& environ, std::string_view name) {
    std::size_t at = 0;
    while (at < environ.size()) {
        const auto end = environ.find('\0', at);
        const std::string_view entry(environ.data() + at, (end == std::string::npos ? environ.size() : end) - at);
        if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=') {
            return std::string(entry.substr(name.size() + 1));
        }
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::int32_t> parsePid(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

// The user's processes, in ascending order of their identifiers.
std::vector<ProcessFacts> userProcesses() {
    std::vector<ProcessFacts> processes;
    ProcBsdInfo own;
    if (!readProcBsdInfo(currentProcessIdentifier(), own)) return processes;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return processes;
    std::vector<std::int32_t> pids;
    while (const dirent* entry = ::readdir(proc)) {
        if (const auto pid = parsePid(entry->d_name)) pids.push_back(*pid);
    }
    ::closedir(proc);
    std::sort(pids.begin(), pids.end());
    for (const std::int32_t pid : pids) {
        ProcBsdInfo info;
        if (!readProcBsdInfo(pid, info) || info.pbi_uid != own.pbi_uid || (info.pbi_flags & PROC_FLAG_INEXIT) != 0) {
            continue;
        }
        const std::string base = "/proc/" + std::to_string(pid);
        ProcessFacts facts;
        facts.pid = pid;
        facts.ppid = info.pbi_ppid;
        if (const auto cgroup = readFile(base + "/cgroup", kMaximumProcFileBytes)) facts.unit = applicationUnit(*cgroup);
        if (const auto environ = readFile(base + "/environ", kMaximumProcFileBytes)) {
            facts.launchedFile = environmentValue(*environ, "GIO_LAUNCHED_DESKTOP_FILE");
            if (const auto launched = environmentValue(*environ, "GIO_LAUNCHED_DESKTOP_FILE_PID")) {
                facts.launchedPid = parsePid(*launched);
            }
        }
        if (const auto info = readFile(base + "/root/.flatpak-info", kMaximumProcFileBytes)) {
            facts.flatpakId = flatpakApplicationId(*info);
        }
        processes.push_back(std::move(facts));
    }
    return processes;
}

std::vector<std::string> splitPaths(const char* value, const char* fallback) {
    const std::string text = value != nullptr && *value != '\0' ? value : fallback;
    std::vector<std::string> paths;
    std::size_t at = 0;
    while (at <= text.size()) {
        const auto end = text.find(':', at);
        const std::string path = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        // Relative entries are invalid by the base directory conventions.
        if (!path.empty() && path.front() == '/') paths.push_back(path);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return paths;
}

}  // namespace

DesktopWorkspace::DesktopWorkspace(std::vector<std::string> dataDirectories, std::string messagesLocale)
    : dataDirectories_(std::move(dataDirectories)), messagesLocale_(std::move(messagesLocale)) {}

DesktopWorkspace DesktopWorkspace::fromEnvironment() {
    std::vector<std::string> directories;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') {
        directories.push_back(dataHome);
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        directories.push_back(std::string(home) + "/.local/share");
    }
    for (auto& path : splitPaths(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share")) {
        directories.push_back(std::move(path));
    }
    return DesktopWorkspace(std::move(directories), messagesLocaleFromEnvironment());
}

std::optional<DesktopEntry> DesktopWorkspace::entryOf(const std::optional<std::string>& launchedFile,
                                                     const std::string& id) const {
    if (launchedFile) {
        if (const auto text = readFile(*launchedFile, kMaximumDesktopEntryBytes)) {
            if (auto entry = parseDesktopEntry(*text, messagesLocale_)) return entry;
        }
    }
    for (const std::string& directory : dataDirectories_) {
        if (const auto text = readFile(directory + "/applications/" + id + ".desktop", kMaximumDesktopEntryBytes)) {
            if (auto entry = parseDesktopEntry(*text, messagesLocale_)) return entry;
        }
    }
    return std::nullopt;
}

std::vector<NSRunningApplication> DesktopWorkspace::runningApplications() const {
    std::vector<NSRunningApplication> applications;
    for (const auto& process : applicationProcesses(userProcesses())) {
        const auto entry = entryOf(process.desktopFile, process.id);
        // An id without an entry is a service a launcher started, not an application.
        if (!entry) continue;
        applications.push_back(NSRunningApplication{
            .bundleIdentifier = process.id,
            .localizedName = entry->name,
            .processIdentifier = process.pid,
            .activationPolicy = entry->noDisplay ? NSApplicationActivationPolicy::NSApplicationActivationPolicyAccessory
                                                 : NSApplicationActivationPolicy::NSApplicationActivationPolicyRegular,
            .terminated = false,
        });
    }
    return applications;
}

std::optional<NSRunningApplication> DesktopWorkspace::runningApplicationWithProcessIdentifier(std::int32_t pid) const {
    for (auto& application : runningApplications()) {
        if (application.processIdentifier == pid) return application;
    }
    return std::nullopt;
}

std::vector<std::int32_t> DesktopWorkspace::processesOfApplications(const std::vector<std::string>& ids) const {
    std::vector<std::int32_t> pids;
    for (const auto& application : runningApplications()) {
        const auto& id = application.bundleIdentifier;
        if (id && std::find(ids.begin(), ids.end(), *id) != ids.end()) pids.push_back(application.processIdentifier);
    }
    return pids;
}

}  // namespace quorvantel::desktop
