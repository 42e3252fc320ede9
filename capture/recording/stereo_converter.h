// Turns raw packets of the tap's format into 48 kHz interleaved stereo float chunks,
// each stamped with the host time of its first frame.
//
// Packets that follow one another (within one source frame) form a segment, through
// which the resampler's state carries, so that how the audio was split into packets
// does not change the output. A gap of two source frames or more closes the
// segment: its tail is written before anything after the gap, and no resampled
// audio ever bridges the gap. Every chunk takes its time from the source packet it
// lies in, so chunk times follow the source clock, sub-frame drift included.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "capture/recording/ring.h"
#include "platform/audiotoolbox/audio_converter.h"
#include "platform/coremedia/cmtime.h"

namespace quorvantel::capture {

inline constexpr double kOutputRate = 48'000;
inline constexpr std::uint32_t kConverterFramesPerCall = 8'192;
inline constexpr std::uint32_t kMaximumConversionCalls = 64;
inline constexpr std::uint64_t kTimestampHistoryEntries = 1'024;
inline constexpr std::uint32_t kMaximumSourcePacketFrames = 16'384;
// A packet this many source frames or more after the expected time starts a new
// segment; one more than this many frames early is an overlap.
inline constexpr std::int64_t kSegmentGapFrames = 2;
inline constexpr std::int64_t kSegmentJitterFrames = 1;
// How far a segment's output may differ from its source duration at 48 kHz.
inline constexpr double kSegmentDurationToleranceFrames = 1;
// How close the tap's rate must be to a whole number of frames a second.
inline constexpr double kIntegralRateTolerance = 1e-6;
// The input callback's "no more input for now": the converter returns what it has.
inline constexpr OSStatus kNoMoreInputNow = OSStatus(fourCharCode("smni"));

// Receives each converted chunk with its format, in timeline order.
using ChunkSink = std::function<void(const Packet& chunk, const AudioStreamBasicDescription& format)>;

class StereoConverter {
public:
    // The converter's input position during one pump.
    struct Cursor {
        const float* samples = nullptr;
        std::uint32_t frames = 0;
        std::uint32_t consumed = 0;
        bool final = false;  // no more input will ever come in this segment
    };

    struct HistoryEntry {
        std::uint64_t sourceStart = 0;  // source frames into the segment
        std::uint64_t sourceEnd = 0;
        CMTime sourceTime = kCMTimeInvalid;
        CMTime receiptTime = kCMTimeInvalid;
    };

    explicit StereoConverter(AudioConverterService& converters);
    ~StereoConverter();
    StereoConverter(const StereoConverter&) = delete;
    StereoConverter& operator=(const StereoConverter&) = delete;

    // Checks the tap's format and creates the platform converter.
    void configure(const AudioStreamBasicDescription& tapFormat);

    // Feeds one raw packet; the sink gets any chunks it completes.
    void accept(const Packet& packet, const ChunkSink& sink);

    // Ends the open segment: drains the tail, checks the segment kept its duration and
    // resets the converter. Does nothing when no segment is open.
    void finish(const ChunkSink& sink);

    // Internal steps of accept and finish, public for the fixtures that drive a
    // converter directly.
    void pump(Cursor& cursor, const ChunkSink& sink);
    static OSStatus provide(AudioConverterRef converter, std::uint32_t* ioNumberDataPackets, AudioBufferList* ioData,
                            AudioStreamPacketDescription** outDataPacketDescription, void* cursor);

    const AudioStreamBasicDescription& outputFormat() const { return outputFormat_; }
    const AudioStreamBasicDescription& sourceFormat() const { return sourceFormat_; }
    bool segmentOpen() const;
    std::uint64_t sourceFrames() const { return sourceFrames_; }
    std::uint64_t outputFrames() const { return outputFrames_; }

private:
    std::int64_t outputEnd(const HistoryEntry& entry) const;

    AudioConverterService& converters_;
    AudioConverterRef converter_ = nullptr;
    AudioStreamBasicDescription sourceFormat_{};
    AudioStreamBasicDescription outputFormat_{};
    CMTimeScale sourceRate_ = 0;  // R: the source rate as a whole number
    // Allocated once, before the device starts: one decoded raw packet, the output
    // chunk and the timestamp history.
    std::unique_ptr<float[]> samples_;
    std::unique_ptr<Packet> output_;
    std::unique_ptr<HistoryEntry[]> history_;
    std::uint64_t historyRead_ = 0;
    std::uint64_t historyWrite_ = 0;
    std::uint64_t sourceFrames_ = 0;
    std::uint64_t outputFrames_ = 0;
    CMTime segmentStart_ = kCMTimeInvalid;
    CMTime expectedNext_ = kCMTimeInvalid;
};

}  // namespace quorvantel::capture
