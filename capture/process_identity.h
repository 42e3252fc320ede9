// One process at one moment: its identifier, parent, owning user and start time. The
// start time is what tells a process from a later one that reuses its identifier.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/kernel/proc_bsd_info.h"

namespace quorvantel::capture {

struct ProcessIdentity {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    std::uint32_t uid = 0;
    std::uint64_t startSeconds = 0;
    std::uint64_t startMicroseconds = 0;
    bool valid = false;

    bool operator==(const ProcessIdentity&) const = default;
};

// Both valid and the same pid, uid and start time.
bool sameProcess(const ProcessIdentity& a, const ProcessIdentity& b);
// a's start time lies strictly after b's.
bool startedAfter(const ProcessIdentity& a, const ProcessIdentity& b);

// Reads the identity of a process identifier; the kernel, or a table in tests.
using IdentityReader = std::function<ProcessIdentity(std::int32_t pid)>;

// The identity the kernel's answer for pid describes: valid only when the kernel
// answered for that very pid, the process is not exiting and its start time is set.
ProcessIdentity identityFromBsdInfo(std::int32_t pid, bool answered, const ProcBsdInfo& info);

// The identity of pid as the kernel sees it now; invalid for pid < 1.
ProcessIdentity readKernelIdentity(std::int32_t pid);

}  // namespace quorvantel::capture
