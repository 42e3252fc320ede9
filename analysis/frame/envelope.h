// The one result line of every run: the helper's constant keys merged with the
// outcome's, sorted, compact, one line feed.
#pragma once

#include <optional>
#include <string>

#include "analysis/frame/availability.h"
#include "analysis/frame/byte_source.h"
#include "platform/foundation/json.h"

namespace quorvantel::analysis {

inline constexpr const char* kProviderId = "apple-foundation-models";
inline constexpr const char* kProcessingLocation = "on-device";

// The exit status after the line has been written, whatever the outcome, and when
// it could not be serialised or written (then nothing is written at all).
inline constexpr int kExitWritten = 0;
inline constexpr int kExitUnwritable = 1;

struct Outcome {
    std::string status;
    // The outcome's own keys besides status and durationMs.
    json::Object keys;

    static Outcome failed(const Failure& failure);
    static Outcome unavailable(const Failure& failure);
};

// The envelope: the base keys, then status, durationMs and the outcome's keys, each
// replacing a base key of the same name.
json::Value result(const json::Object& baseKeys, const Outcome& outcome, double durationMs = 0);

// Writes the envelope as one line; kExitWritten, or kExitUnwritable when it cannot be
// serialised or written.
int emit(const json::Value& envelope, OutputSink& output);

}  // namespace quorvantel::analysis
