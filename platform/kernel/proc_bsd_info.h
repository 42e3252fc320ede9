// What the kernel tells about one process: the fields of the BSD process information
// (proc_pidinfo with PROC_PIDTBSDINFO) that the helpers rely on, and the process's
// own identifiers (getpid, getppid).
#pragma once

#include <cstdint>

namespace quorvantel {

// pbi_flags bit of a process that is exiting.
inline constexpr std::uint32_t PROC_FLAG_INEXIT = 4;

struct ProcBsdInfo {
    std::int32_t pbi_pid = 0;
    std::int32_t pbi_ppid = 0;
    std::uint32_t pbi_uid = 0;
    std::uint32_t pbi_flags = 0;
    std::uint64_t pbi_start_tvsec = 0;
    std::uint64_t pbi_start_tvusec = 0;
};

// Fills info for process pid and returns true, or returns false when the kernel has no
// such process (or pid names a thread rather than a process). The start time is
// stable for the life of the process and distinguishes it from a later process that
// reuses its identifier; an exiting process (a zombie, or one being torn down) carries
// PROC_FLAG_INEXIT.
bool readProcBsdInfo(std::int32_t pid, ProcBsdInfo& info);

std::int32_t currentProcessIdentifier();
std::int32_t parentProcessIdentifier();

}  // namespace quorvantel
