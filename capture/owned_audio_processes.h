// The Core Audio process objects whose process is a root process or a proven
// descendant of it: the processes a tap includes (one application) or excludes (the
// host and the helper).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/process_identity.h"
#include "platform/coreaudio/process_objects_hal.h"

namespace quorvantel::capture {

// The largest process object list accepted, in bytes: 4,096 objects of 4 bytes.
inline constexpr std::uint32_t kMaximumProcessListBytes = 16384;

inline constexpr const char* kListProcessesOperation = "list computer audio processes";
inline constexpr const char* kTooManyProcessesMessage =
    "macOS returned too many computer audio processes. Recording was not started.";
inline constexpr const char* kProcessesChangedMessage =
    "Computer audio processes changed while preparing capture. Try recording again.";

// The sorted object identifiers owned by root. Raises a Core Audio failure when the
// list cannot be read, and its own failures when it is too large or changed between
// its size and its read. An object whose process cannot be proven is left out.
std::vector<AudioObjectID> ownedAudioProcesses(const ProcessIdentity& root, AudioProcessObjects& objects,
                                               const IdentityReader& read);

}  // namespace quorvantel::capture
