// The capture helper's failure: one complete user-facing sentence. `fail` raises it;
// it unwinds to the one failure boundary in main, releasing every resource on the way
// (a recording's platform objects are torn down before the "error" line is written).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel::capture {

class CaptureFailure : public std::runtime_error {
public:
    explicit CaptureFailure(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void fail(const std::string& message);

// The failure of a Core Audio call, worded with the operation that failed and its
// status; a refused permission says where the user grants it.
std::string coreAudioCallFailureMessage(std::string_view operation, OSStatus status);
[[noreturn]] void failCoreAudioCall(std::string_view operation, OSStatus status);

}  // namespace quorvantel::capture
