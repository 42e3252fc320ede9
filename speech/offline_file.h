// The file command's input: one audio file cut into 100 ms system-audio packets with
// exact start times, each taking the same step as a streamed packet.
#pragma once

#include <string>

#include "speech/audio_sink.h"
#include "speech/gap_planner.h"
#include "speech/pcm_converter.h"
#include "speech/process_control.h"

namespace quorvantel::speech {

inline constexpr const char* kOfflineFormatMessage = "Offline validation expects a 16 or 48 kHz mono/stereo audio file.";
inline constexpr const char* kOfflineAllocationMessage = "Could not allocate offline input.";
// Packets of a tenth of a second.
inline constexpr int kOfflinePacketsPerSecond = 10;

// Feeds every frame of the file to the system-audio session; raises the file
// reader's failure or the packet step's.
void transcribeFile(const std::string& path, SystemAudioGapPlanner& planner, PCMConverter& converter,
                    AudioSink& session, const ProcessControl& control);

}  // namespace quorvantel::speech
