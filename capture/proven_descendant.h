// Whether a process belongs to a root process: an unbroken chain of parent links leads
// from it to the root, every process on the chain started no later than its child, all
// belong to the root's user, and the whole chain reads the same a second time. A
// process that merely reuses an identifier on the chain, or that was reparented
// meanwhile, is never proven.
#pragma once

#include <cstddef>

#include "capture/process_identity.h"

namespace quorvantel::capture {

// The longest ancestry chain followed, candidate and root included.
inline constexpr std::size_t kMaximumAncestryChain = 64;

bool provenDescendant(const ProcessIdentity& candidate, const ProcessIdentity& root, const IdentityReader& read);

}  // namespace quorvantel::capture
