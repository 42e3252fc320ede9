// Linux keeps a process's information in /proc/<pid>. Its stat file gives the state,
// the parent and the start time in clock ticks since boot; its status file gives the
// thread-group (process) identifier and the real user. Both files are opened through
// one directory descriptor: a descriptor of /proc/<pid> stays bound to the process it
// was opened for, so the two reads cannot mix a process with a later one that reuses
// its identifier.
#include "platform/kernel/proc_bsd_info.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>

namespace quorvantel {
namespace {

// /proc/<pid>/stat is a few hundred bytes and status under two kilobytes; a larger
// file is not one of them.
constexpr std::size_t kProcFileLimit = 16384;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool readWhole(int directory, const char* name, std::string& text) {
    Descriptor file(::openat(directory, name, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return false;
    text.clear();
    char chunk[4096];
    while (true) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        text.append(chunk, static_cast<std::size_t>(n));
        if (text.size() > kProcFileLimit) return false;
    }
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data();
}

// The value after "<key>:" on its own line of a status file.
bool statusField(std::string_view status, std::string_view key, std::string_view& value) {
    std::size_t at = 0;
    while (at < status.size()) {
        std::size_t end = status.find('\n', at);
        if (end == std::string_view::npos) end = status.size();
        std::string_view line = status.substr(at, end - at);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
            value = line.substr(key.size() + 1);
            return true;
        }
        at = end + 1;
    }
    return false;
}

// The wall-clock second the system booted ("btime" of /proc/stat), read once: the
// kernel derives it from the current wall clock, so a clock adjustment could move it
// between two reads, while the start times this process compares must stay fixed.
std::uint64_t bootTimeSeconds() {
    static std::uint64_t seconds = 0;
    static std::once_flag once;
    std::call_once(once, [] {
        Descriptor root(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        std::string text;
        if (root.get() < 0 || !readWhole(root.get(), "stat", text)) return;
        const std::size_t at = text.find("\nbtime ");
        if (at != std::string::npos) parseNumber(std::string_view(text).substr(at + 7), seconds);
    });
    return seconds;
}

}  // namespace

bool readProcBsdInfo(std::int32_t pid, ProcBsdInfo& info) {
    if (pid < 1) return false;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d", pid);
    Descriptor directory(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() < 0) return false;
    std::string stat, status;
    if (!readWhole(directory.get(), "stat", stat) || !readWhole(directory.get(), "status", status)) return false;

    // Thread identifiers also have a /proc entry; only a thread-group leader is a
    // process.
    std::string_view field;
    std::int32_t tgid = 0;
    if (!statusField(status, "Tgid", field) || !parseNumber(field, tgid) || tgid != pid) return false;
    std::uint32_t realUid = 0;
    if (!statusField(status, "Uid", field) || !parseNumber(field, realUid)) return false;

    // The command name in parentheses may itself hold spaces and parentheses; the
    // fields that follow start after the last closing parenthesis.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    std::string_view rest = std::string_view(stat).substr(close + 2);
    // Fields from the state on: 1 state, 2 ppid, ..., 20 starttime.
    constexpr int kParentField = 2;
    constexpr int kStartTimeField = 20;
    char state = 0;
    std::int32_t ppid = 0;
    std::uint64_t startTicks = 0;
    int index = 1;
    std::size_t at = 0;
    while (at <= rest.size() && index <= kStartTimeField) {
        std::size_t end = rest.find(' ', at);
        if (end == std::string_view::npos) end = rest.size();
        const std::string_view token = rest.substr(at, end - at);
        if (index == 1) {
            if (token.size() != 1) return false;
            state = token[0];
        } else if (index == kParentField) {
            if (!parseNumber(token, ppid)) return false;
        } else if (index == kStartTimeField) {
            if (!parseNumber(token, startTicks)) return false;
        }
        ++index;
        at = end + 1;
    }
    if (index <= kStartTimeField) return false;

    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0) return false;
    const auto hz = static_cast<std::uint64_t>(ticksPerSecond);

    info = ProcBsdInfo{};
    info.pbi_pid = tgid;
    info.pbi_ppid = ppid;
    info.pbi_uid = realUid;
    // Zombies and processes being torn down are exiting.
    if (state == 'Z' || state == 'X' || state == 'x') info.pbi_flags |= PROC_FLAG_INEXIT;
    info.pbi_start_tvsec = bootTimeSeconds() + startTicks / hz;
    info.pbi_start_tvusec = (startTicks % hz) * 1'000'000 / hz;
    return true;
}

std::int32_t currentProcessIdentifier() { return static_cast<std::int32_t>(::getpid()); }
std::int32_t parentProcessIdentifier() { return static_cast<std::int32_t>(::getppid()); }

}  // namespace quorvantel
