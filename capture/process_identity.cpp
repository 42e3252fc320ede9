#include "capture/process_identity.h"

namespace quorvantel::capture {

bool sameProcess(const ProcessIdentity& a, const ProcessIdentity& b) {
    return a.valid && b.valid && a.pid == b.pid && a.uid == b.uid && a.startSeconds == b.startSeconds &&
           a.startMicroseconds == b.startMicroseconds;
}

bool startedAfter(const ProcessIdentity& a, const ProcessIdentity& b) {
    if (a.startSeconds != b.startSeconds) return a.startSeconds > b.startSeconds;
    return a.startMicroseconds > b.startMicroseconds;
}

ProcessIdentity identityFromBsdInfo(std::int32_t pid, bool answered, const ProcBsdInfo& info) {
    if (pid < 1 || !answered || info.pbi_pid != pid || (info.pbi_flags & PROC_FLAG_INEXIT) != 0 ||
        (info.pbi_start_tvsec == 0 && info.pbi_start_tvusec == 0)) {
        return {};
    }
    return {info.pbi_pid, info.pbi_ppid, info.pbi_uid, info.pbi_start_tvsec, info.pbi_start_tvusec, true};
}

ProcessIdentity readKernelIdentity(std::int32_t pid) {
    if (pid < 1) return {};
    ProcBsdInfo info;
    const bool answered = readProcBsdInfo(pid, info);
    return identityFromBsdInfo(pid, answered, info);
}

}  // namespace quorvantel::capture
