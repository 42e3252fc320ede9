#include "capture/proven_descendant.h"

#include <algorithm>
#include <vector>

namespace quorvantel::capture {
namespace {

// Identifiers below this end a chain: 0 (no parent) and 1 (the system's first process).
constexpr std::int32_t kFirstOrdinaryParent = 2;

bool unchanged(const ProcessIdentity& entry, const ProcessIdentity& again) {
    return again.valid && again.pid == entry.pid && again.ppid == entry.ppid && again.uid == entry.uid &&
           again.startSeconds == entry.startSeconds && again.startMicroseconds == entry.startMicroseconds;
}

}  // namespace

bool provenDescendant(const ProcessIdentity& candidate, const ProcessIdentity& root, const IdentityReader& read) {
    if (!candidate.valid || !root.valid || candidate.uid != root.uid) return false;
    std::vector<ProcessIdentity> chain;
    chain.reserve(kMaximumAncestryChain);
    ProcessIdentity current = candidate;
    while (true) {
        if (chain.size() == kMaximumAncestryChain || current.uid != root.uid) return false;
        const bool cycle = std::any_of(chain.begin(), chain.end(),
                                       [&](const ProcessIdentity& entry) { return entry.pid == current.pid; });
        if (cycle) return false;
        chain.push_back(current);
        if (current.pid == root.pid) {
            // The root's identifier reused by another process is not the root.
            if (current.startSeconds != root.startSeconds || current.startMicroseconds != root.startMicroseconds) {
                return false;
            }
            // Parent links change under us; only a chain that reads the same again counts.
            return std::all_of(chain.begin(), chain.end(),
                               [&](const ProcessIdentity& entry) { return unchanged(entry, read(entry.pid)); });
        }
        if (current.ppid < kFirstOrdinaryParent) return false;
        const ProcessIdentity parent = read(current.ppid);
        if (!parent.valid) return false;
        // A parent younger than its child holds a reused identifier.
        if (startedAfter(parent, current)) return false;
        current = parent;
    }
}

}  // namespace quorvantel::capture
