// The system-audio timeline: every system packet is checked against the 48 kHz grid,
// the seven-day bound and the previous packet; a hole becomes digital silence,
// converted and delivered in bounded chunks before the packet after it; converted
// system audio never overlaps itself. Microphone packets pass untouched, their gaps
// stay gaps.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/coremedia/cmtime.h"
#include "speech/audio_sink.h"
#include "speech/input_protocol.h"
#include "speech/pcm_converter.h"
#include "speech/process_control.h"

namespace quorvantel::speech {

inline constexpr std::int64_t kGridFramesPerSecond = 48'000;
inline constexpr double kGridFramesPerMs = 48.0;
inline constexpr double kGridTolerance = 0.000048;
inline constexpr std::int64_t kTimelineEndFrame = 29'030'400'000;
inline constexpr std::int64_t kSilenceChunkFrames = 4'800;
inline constexpr std::chrono::seconds kHoleDeadline{10};

inline constexpr const char* kInvalidSystemAudioMessage = "Invalid system audio for the transcription timeline.";
inline constexpr const char* kOffGridMessage = "System audio did not have an exact bounded 48 kHz timestamp.";
inline constexpr const char* kPastTimelineMessage = "System audio exceeded the seven-day transcription timeline.";
inline constexpr const char* kOverlappingOutputMessage =
    "This system-audio gap or format transition cannot be represented without overlapping converted samples.";
inline constexpr const char* kHoleDeadlineMessage =
    "On-device transcription could not process the silent interval within ten seconds. Audio recording continues.";

struct SystemAudioGap {
    std::int64_t startFrame = 0;
    std::int64_t frameCount = 0;
};

class SystemAudioGapPlanner {
public:
    // The hole before a system packet, if any; microphone packets change nothing.
    std::optional<SystemAudioGap> observe(const AudioPacket& packet);
    // Fails when converted system audio would start before earlier converted audio ends.
    void validateOutput(const ConvertedBuffers& buffers, Source source);

    std::optional<std::int64_t> nextFrame() const { return nextFrame_; }
    std::optional<CMTime> convertedEnd() const { return convertedEnd_; }

private:
    std::optional<std::int64_t> nextFrame_;
    std::optional<CMTime> convertedEnd_;
};

// The one step every packet takes: the hole before it as silence (bounded by the
// deadline, which a watchdog enforces even while the session's queue blocks), then the
// packet itself, converted, checked and handed to the session.
void appendWithInternalGapPadding(const AudioPacket& packet, SystemAudioGapPlanner& planner, PCMConverter& converter,
                                  AudioSink& session, const ProcessControl& control,
                                  std::chrono::steady_clock::duration deadline = kHoleDeadline);

}  // namespace quorvantel::speech
