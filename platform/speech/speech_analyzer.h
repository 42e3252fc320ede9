// One on-device recogniser: it consumes timed audio inputs in order and drives the
// results of its transcriber module.
#pragma once

#include <memory>
#include <optional>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/avfaudio/av_audio_pcm_buffer.h"
#include "platform/coremedia/cmtime.h"
#include "platform/speech/speech_transcriber.h"

namespace quorvantel {

// One buffer in the analyzer's format with the recording time of its first sample.
struct AnalyzerInput {
    std::shared_ptr<AVAudioPCMBuffer> buffer;
    CMTime bufferStartTime;
};

// The inputs of one analysis, in order; next() waits for the next input and gives
// nothing at the end. It raises when the sequence fails.
class AnalyzerInputSequence {
public:
    virtual ~AnalyzerInputSequence() = default;
    virtual std::optional<AnalyzerInput> next() = 0;
};

struct SpeechAnalyzerOptions {
    enum class Priority { userInitiated };
    enum class ModelRetention { whileInUse };
    Priority priority = Priority::userInitiated;
    ModelRetention modelRetention = ModelRetention::whileInUse;
};

class SpeechAnalyzer {
public:
    virtual ~SpeechAnalyzer() = default;
    // Raises SpeechPlatformError.
    virtual void prepareToAnalyze(const AVAudioFormat& format) = 0;
    // Consumes inputs until the sequence ends; the time of the last audio sample fed,
    // or nothing when no audio was fed. Raises what the sequence raises, or
    // SpeechPlatformError.
    virtual std::optional<CMTime> analyzeSequence(AnalyzerInputSequence& inputs) = 0;
    // Finalises every pending result up to the time, then ends the results.
    virtual void finalizeAndFinish(CMTime through) = 0;
    // Stops at once and ends the results without more of them; may be called from
    // any thread, also while analyzeSequence runs.
    virtual void cancelAndFinishNow() = 0;
};

}  // namespace quorvantel
