#include "capture/recording/recording_events.h"

#include <cmath>

#include "capture/recording/recording_failure.h"
#include "capture/recording/timeline.h"
#include "platform/foundation/base64.h"

namespace quorvantel::capture {

json::Value startedEvent(std::int64_t captureStartedAtMs) {
    if (captureStartedAtMs < 0 || captureStartedAtMs > kMaximumSessionStartMs) {
        failRecording("The native recorder received an invalid session start time.");
    }
    json::Object line;
    line.reserve(4);
    line.emplace_back("type", "started");
    line.emplace_back("sampleRate", kRecordingSampleRate);
    line.emplace_back("channels", kRecordingChannels);
    line.emplace_back("captureStartedAtMs", captureStartedAtMs);
    return json::Value(std::move(line));
}

json::Value audioEvent(const std::uint8_t* bytes, std::size_t count, double peak, std::uint64_t startFrame) {
    const std::uint64_t maximum = std::uint64_t(kMaximumTimelineFrames);
    const bool safe = count >= 1 && count <= kMaximumAudioLineBytes && count % kPcm16BytesPerFrame == 0 &&
                      std::isfinite(peak) && peak >= 0.0 && peak <= 1.0 && startFrame <= maximum &&
                      maximum - startFrame >= count / kPcm16BytesPerFrame;
    if (!safe) failRecording("The native recorder could not represent the audio timeline safely.");
    // Members are moved in one by one: an initializer list would copy the payload.
    // Adding zero turns a negative zero into a plain 0.
    json::Object line;
    line.reserve(4);
    line.emplace_back("type", "audio");
    line.emplace_back("data", base64::encode(bytes, count));
    line.emplace_back("peak", peak + 0.0);
    line.emplace_back("startFrame", startFrame);
    return json::Value(std::move(line));
}

json::Value silenceEvent(std::uint64_t startFrame, std::uint64_t frames) {
    const std::uint64_t maximum = std::uint64_t(kMaximumTimelineFrames);
    if (startFrame > maximum || frames < 1 || maximum - startFrame < frames) {
        failRecording("The native recorder could not represent the silent timeline safely.");
    }
    json::Object line;
    line.reserve(3);
    line.emplace_back("type", "silence");
    line.emplace_back("startFrame", startFrame);
    line.emplace_back("frames", frames);
    return json::Value(std::move(line));
}

json::Value stoppedEvent(std::uint64_t totalFrames, std::uint64_t discardedPreStartFrames) {
    json::Object line;
    line.reserve(3);
    line.emplace_back("type", "stopped");
    line.emplace_back("totalFrames", totalFrames);
    line.emplace_back("discardedPreStartFrames", discardedPreStartFrames);
    return json::Value(std::move(line));
}

}  // namespace quorvantel::capture
