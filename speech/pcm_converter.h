// Turns one source's packets into buffers of the analyzer's format, each stamped with
// the exact recording time of its first frame. Packets that follow each other share
// one conversion run, so resampling has no seams; a jump in time or a change of
// format ends the run (its tail first) and anchors a new one at the packet's own
// time. Every conversion call is bounded, and at the end of a run the resampler's
// tail is cut so that the run's output is exactly as long as its input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avfaudio/av_audio_converter.h"
#include "platform/avfaudio/av_audio_format.h"
#include "platform/avfaudio/av_audio_pcm_buffer.h"
#include "platform/coremedia/cmtime.h"
#include "speech/input_protocol.h"
#include "speech/source.h"

namespace quorvantel::speech {

// How far a packet may start from where the previous one ended and still continue
// the run. The microphone's clock is the host's own and jitters; system audio is on
// an exact 48 kHz grid, so only floating-point noise is tolerated.
inline constexpr double kMicrophoneContinuityToleranceMs = 1.1;
inline constexpr double kSystemAudioContinuityToleranceMs = 0.000001;
// Frames of one output buffer, and conversion calls in one pump: together they bound
// the work of one packet (524,288 output frames, far above the 96,000 input frames of
// the largest packet).
inline constexpr AVAudioFrameCount kConvertedBufferCapacityFrames = 8192;
inline constexpr int kMaximumConversionCallsPerPump = 64;
// Run anchors are counted in 48 kHz frames.
inline constexpr CMTimeScale kAnchorTimescale = 48'000;

inline constexpr const char* kOutOfOrderAudioMessage = "Overlapping or out-of-order speech audio was rejected.";
inline constexpr const char* kMicrophonePastTimelineMessage =
    "Microphone audio exceeded the seven-day transcription timeline.";
inline constexpr const char* kConverterUnavailableMessage = "Could not create the on-device speech audio converter.";
inline constexpr const char* kInputAudioAllocationMessage = "Could not allocate speech input audio.";
inline constexpr const char* kConvertedAudioAllocationMessage = "Could not allocate converted speech audio.";
inline constexpr const char* kConversionFailedMessage = "Speech audio conversion failed.";
inline constexpr const char* kConversionWorkLimitMessage = "Speech audio conversion exceeded its bounded work limit.";

// The continuity tolerance of a source, in milliseconds.
constexpr double continuityToleranceMs(Source source) {
    return source == Source::systemAudio ? kSystemAudioContinuityToleranceMs : kMicrophoneContinuityToleranceMs;
}

// One converted buffer (in the output format, at least one frame) and the recording
// time of its first frame.
struct ConvertedBuffer {
    std::shared_ptr<AVAudioPCMBuffer> buffer;
    CMTime startTime;
};
using ConvertedBuffers = std::vector<ConvertedBuffer>;

// The one input buffer of a pump, shared with the converter's input callback, which
// may run on another thread inside the converter.
struct ConverterInput {
    std::mutex lock;
    std::shared_ptr<AVAudioPCMBuffer> buffer;
};

class PCMConverter {
public:
    // Makes the converter of one run from its input format to the output format;
    // nothing when it cannot be made.
    using ConverterFactory =
        std::function<std::unique_ptr<AVAudioConverter>(const AVAudioFormat& from, const AVAudioFormat& to)>;

    // Converts with the platform's AVAudioConverter.
    explicit PCMConverter(const AVAudioFormat& outputFormat);
    // Converts with the converters that makeConverter gives (tests pass their own).
    PCMConverter(const AVAudioFormat& outputFormat, ConverterFactory makeConverter);

    PCMConverter(const PCMConverter&) = delete;
    PCMConverter& operator=(const PCMConverter&) = delete;

    // The packet's buffers, in time order, preceded by the tail of the run it ends
    // (when it starts a new one). A microphone packet must end within the seven days
    // where the run places it (system audio is held to its grid before it gets here).
    // Raises SpeechFailure with the messages above, or the
    // converter's own AVAudioError unchanged.
    ConvertedBuffers convert(const AudioPacket& packet);

    // Delivers the tail of the active run, cut to the run's exact length, and drops
    // the run; nothing without an active run, so a tail is never delivered twice.
    // Where the next packet is expected stays as it was.
    ConvertedBuffers flush();

    const AVAudioFormat& outputFormat() const { return outputFormat_; }
    bool hasActiveRun() const { return converter_ != nullptr; }
    // The recording time (ms) at which the next packet is expected; nothing before the
    // first packet.
    std::optional<double> nextInputMs() const { return nextInputMs_; }
    std::optional<int> channelCount() const { return channelCount_; }
    std::optional<int> inputSampleRate() const { return inputSampleRate_; }
    double originMs() const { return originMs_; }
    CMTime originTime() const { return originTime_; }
    std::int64_t inputFrames() const { return inputFrames_; }
    std::int64_t outputFrames() const { return outputFrames_; }

private:
    // One bounded drain of the active run with at most one input buffer; `end` says the
    // run's input ends with this call.
    ConvertedBuffers pump(AVAudioConverter& converter, std::shared_ptr<AVAudioPCMBuffer> input, bool end);
    void startRun(const AudioPacket& packet);

    AVAudioFormat outputFormat_;
    ConverterFactory makeConverter_;
    std::unique_ptr<AVAudioConverter> converter_;
    std::optional<int> channelCount_;
    std::optional<int> inputSampleRate_;
    std::optional<double> nextInputMs_;
    double originMs_ = 0;
    CMTime originTime_ = kCMTimeZero;
    std::int64_t outputFrames_ = 0;
    std::int64_t inputFrames_ = 0;
};

}  // namespace quorvantel::speech
