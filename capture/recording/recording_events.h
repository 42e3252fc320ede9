// The lines a recording writes: "started", "audio", "silence" and "stopped", each
// built only when its values fit the timeline's bounds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/foundation/json.h"

namespace quorvantel::capture {

inline constexpr std::int64_t kMaximumSessionStartMs = 8'640'000'000'000'000;
inline constexpr std::size_t kMaximumAudioLineBytes = 65'536;
inline constexpr std::size_t kPcm16BytesPerFrame = 4;
inline constexpr std::int64_t kRecordingSampleRate = 48'000;
inline constexpr std::int64_t kRecordingChannels = 2;

json::Value startedEvent(std::int64_t captureStartedAtMs);
json::Value audioEvent(const std::uint8_t* bytes, std::size_t count, double peak, std::uint64_t startFrame);
json::Value silenceEvent(std::uint64_t startFrame, std::uint64_t frames);
json::Value stoppedEvent(std::uint64_t totalFrames, std::uint64_t discardedPreStartFrames);

}  // namespace quorvantel::capture
