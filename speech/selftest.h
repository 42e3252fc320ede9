// The helper's "selftest" command: checks, inside the shipped helper and without any
// audio device, host or recogniser, the invariants the transcript timeline rests on:
// line framing and packet validation, exact resampling lengths and timestamps, the
// system-audio gap planner and its silence fill, and the bounded channel. Every check
// runs the product's own parts (parser, converter, planner, channel), not copies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/coremedia/cmtime.h"
#include "speech/pcm_converter.h"

namespace quorvantel::speech {

inline constexpr const char* kSelftestFailurePrefix = "Self-test failed: ";
inline constexpr const char* kNoTestFormatMessage = "No test format";
// The format every test conversion produces: 16 kHz mono 32-bit float, one buffer per
// channel, as the recogniser asks for on most systems.
inline constexpr double kSelftestOutputSampleRate = 16'000;
inline constexpr CMTimeScale kSelftestOutputTimescale = 16'000;

// One conversion run the output must hold: where it is anchored, in 48 kHz frames of
// the recording timeline, and how many 16 kHz output frames it must deliver.
struct ExpectedRun {
    std::int64_t startFrame = 0;
    std::int64_t outputFrames = 0;
};

// Walks the buffers in order against the runs: each buffer must start exactly at its
// run's anchor plus the output frames already seen in that run, none may cross the end
// of its run, and every run must be filled exactly. Raises SpeechFailure
// "Self-test failed: <label>: output timestamp …", "…: output bridged a gap or EOF" or
// "…: missing output".
void requireConverterRuns(const ConvertedBuffers& buffers, const std::vector<ExpectedRun>& runs,
                          const std::string& label);

// Checks one converted chunk of a padded stream against the end of the one before
// (nothing for the first) and moves that end on: a chunk holds 1 to 8,192 frames and
// never starts before the previous end. Raises SpeechFailure "Self-test failed:
// internal padding converted chunks remain bounded" or "Self-test failed: internal
// padding padding overlap <start> before <end>".
void consume(const ConvertedBuffer& buffer, std::optional<CMTime>& previousEnd);

// Runs every check in order (the transcript-timing examples first when asked: on
// macOS 26 or later) and returns when all hold. The first failing check raises its
// SpeechFailure; a failure of a part under test that is not a check's own (a converter
// error, say) propagates with its own description. Writes nothing.
void selftest(bool runTranscriptTimingChecks);

}  // namespace quorvantel::speech
