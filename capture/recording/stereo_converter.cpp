#include "capture/recording/stereo_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/recording/core_audio_failure.h"
#include "capture/recording/recording_failure.h"
#include "capture/recording/stream_format.h"
#include "capture/recording/timeline.h"

namespace quorvantel::capture {
namespace {

constexpr std::uint32_t kOutputBytesPerFrame = 8;

AudioStreamBasicDescription stereoFloat(double rate) {
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    f.mBytesPerPacket = kOutputBytesPerFrame;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = kOutputBytesPerFrame;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = 32;
    return f;
}

}  // namespace

StereoConverter::StereoConverter(AudioConverterService& converters)
    : converters_(converters),
      outputFormat_(stereoFloat(kOutputRate)),
      samples_(new float[std::size_t(kMaximumSourcePacketFrames) * 2]),
      output_(new Packet),
      history_(new HistoryEntry[kTimestampHistoryEntries]) {}

StereoConverter::~StereoConverter() {
    if (converter_ != nullptr) converters_.AudioConverterDispose(converter_);
}

bool StereoConverter::segmentOpen() const { return isUsableTime(segmentStart_); }

void StereoConverter::configure(const AudioStreamBasicDescription& format) {
    validateFormat(format);
    if (format.mChannelsPerFrame != 2 ||
        std::fabs(format.mSampleRate - std::round(format.mSampleRate)) > kIntegralRateTolerance) {
        failRecording("macOS returned an unsupported computer audio format. Recording was not started.");
    }
    sourceFormat_ = format;
    sourceRate_ = CMTimeScale(std::lround(format.mSampleRate));
    if (converter_ != nullptr) {
        converters_.AudioConverterDispose(converter_);
        converter_ = nullptr;
    }
    const AudioStreamBasicDescription input = stereoFloat(format.mSampleRate);
    OSStatus status = converters_.AudioConverterNew(&input, &outputFormat_, &converter_);
    if (status != kAudioHardwareNoError) {
        converter_ = nullptr;
        failCoreAudio("prepare computer audio conversion", status);
    }
    if (format.mSampleRate == kOutputRate) return;
    const std::uint32_t quality = kAudioConverterQuality_High;
    status = converters_.AudioConverterSetProperty(converter_, kAudioConverterSampleRateConverterQuality,
                                                   sizeof quality, &quality);
    if (status != kAudioHardwareNoError) failCoreAudio("configure computer audio conversion quality", status);
    const std::uint32_t prime = kConverterPrimeMethod_Normal;
    status = converters_.AudioConverterSetProperty(converter_, kAudioConverterPrimeMethod, sizeof prime, &prime);
    if (status != kAudioHardwareNoError) failCoreAudio("configure computer audio conversion priming", status);
}

void StereoConverter::accept(const Packet& packet, const ChunkSink& sink) {
    if (!isUsableTime(packet.sourceTime) || !isUsableTime(packet.receiptTime)) {
        failRecording("macOS supplied an invalid computer audio timestamp.");
    }
    if (isUsableTime(expectedNext_)) {
        const CMTime g = CMTimeConvertScale(CMTimeSubtract(packet.sourceTime, expectedNext_), sourceRate_,
                                            kCMTimeRoundingMethod_RoundHalfAwayFromZero);
        if (!g.isNumeric() || g.value < -kSegmentJitterFrames) {
            failRecording("macOS delivered overlapping or out-of-order computer audio.");
        }
        if (g.value >= kSegmentGapFrames) finish(sink);
    }
    if (!isUsableTime(segmentStart_)) segmentStart_ = packet.sourceTime;
    if (historyWrite_ - historyRead_ >= kTimestampHistoryEntries) {
        failRecording("Computer audio conversion exceeded its bounded timestamp history.");
    }
    history_[historyWrite_ % kTimestampHistoryEntries] =
        HistoryEntry{sourceFrames_, sourceFrames_ + packet.frames, packet.sourceTime, packet.receiptTime};
    ++historyWrite_;
    if (packet.frames > kMaximumSourcePacketFrames) {
        failRecording("macOS returned an oversized computer audio packet.");
    }

    // The channels of all buffers must make exactly one left and one right, and every
    // buffer must lie inside the packet, before a single sample is read.
    const std::uint32_t bytes = bytesPerSample(sourceFormat_);
    std::uint32_t channels = 0;
    bool inside = packet.bufferCount >= 1 && packet.bufferCount <= kMaximumPacketBuffers;
    for (std::uint32_t b = 0; inside && b < packet.bufferCount; ++b) {
        channels += packet.channels[b];
        inside = std::uint64_t(packet.offsets[b]) + std::uint64_t(packet.frames) * packet.channels[b] * bytes <=
                 kPacketBytes;
    }
    if (!inside || channels != 2) failRecording("macOS returned an invalid computer audio channel layout.");

    float* samples = samples_.get();
    const auto decoded = [](double v) { return float(std::isfinite(v) ? std::clamp(v, -1.0, 1.0) : 0.0); };
    const bool interleavedFloat = packet.bufferCount == 1 &&
                                  (sourceFormat_.mFormatFlags & kAudioFormatFlagIsFloat) != 0 &&
                                  sourceFormat_.mBitsPerChannel == 32;
    if (interleavedFloat) {
        // Interleaved 32-bit floats need no reordering: read them straight, as the
        // general path below would.
        for (std::size_t i = 0; i < std::size_t(packet.frames) * 2; ++i) {
            float f;
            std::memcpy(&f, packet.data + packet.offsets[0] + i * 4, 4);
            samples[i] = decoded(double(f));
        }
    }
    std::uint32_t k = 0;
    for (std::uint32_t b = 0; !interleavedFloat && b < packet.bufferCount; ++b) {
        const std::uint32_t c = packet.channels[b];
        const std::uint8_t* base = packet.data + packet.offsets[b];
        for (std::uint32_t j = 0; j < packet.frames; ++j) {
            for (std::uint32_t n = 0; n < c; ++n) {
                const double v = sample(base + (std::size_t(j) * c + n) * bytes, sourceFormat_);
                samples[std::size_t(j) * 2 + k + n] = decoded(v);
            }
        }
        k += c;
    }

    sourceFrames_ += packet.frames;
    expectedNext_ = CMTimeAdd(packet.sourceTime, CMTimeMake(packet.frames, sourceRate_));
    Cursor cursor{samples, packet.frames, 0, false};
    pump(cursor, sink);
    if (cursor.consumed != cursor.frames) {
        failRecording("Computer audio conversion did not consume the full source packet.");
    }
}

OSStatus StereoConverter::provide(AudioConverterRef, std::uint32_t* ioNumberDataPackets, AudioBufferList* ioData,
                                  AudioStreamPacketDescription** outDataPacketDescription, void* user) {
    auto* cursor = static_cast<Cursor*>(user);
    if (outDataPacketDescription != nullptr) *outDataPacketDescription = nullptr;
    ioData->mNumberBuffers = 1;
    AudioBuffer& buffer = ioData->mBuffers[0];
    buffer.mNumberChannels = 2;
    if (cursor->consumed == cursor->frames) {
        *ioNumberDataPackets = 0;
        buffer.mDataByteSize = 0;
        buffer.mData = nullptr;
        return cursor->final ? kAudioHardwareNoError : kNoMoreInputNow;
    }
    const std::uint32_t n = std::min(*ioNumberDataPackets, cursor->frames - cursor->consumed);
    buffer.mData = const_cast<float*>(cursor->samples + std::size_t(cursor->consumed) * 2);
    buffer.mDataByteSize = n * kOutputBytesPerFrame;
    *ioNumberDataPackets = n;
    cursor->consumed += n;
    return kAudioHardwareNoError;
}

std::int64_t StereoConverter::outputEnd(const HistoryEntry& entry) const {
    return CMTimeConvertScale(CMTimeMake(CMTimeValue(entry.sourceEnd), sourceRate_), CMTimeScale(kOutputRate),
                              kCMTimeRoundingMethod_RoundTowardPositiveInfinity)
        .value;
}

void StereoConverter::pump(Cursor& cursor, const ChunkSink& sink) {
    Packet& output = *output_;
    for (std::uint32_t call = 0; call < kMaximumConversionCalls; ++call) {
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = AudioBuffer{2, kConverterFramesPerCall * kOutputBytesPerFrame, output.data};
        std::uint32_t produced = kConverterFramesPerCall;
        const OSStatus status =
            converters_.AudioConverterFillComplexBuffer(converter_, &provide, &cursor, &produced, &list, nullptr);
        if (status != kAudioHardwareNoError && status != kNoMoreInputNow) {
            failCoreAudio("convert computer audio", status);
        }
        if (produced > kConverterFramesPerCall || list.mNumberBuffers != 1 ||
            list.mBuffers[0].mDataByteSize != produced * kOutputBytesPerFrame) {
            failRecording("macOS returned invalid converted computer audio.");
        }
        if (produced == 0) return;
        for (std::uint32_t d = 0; d < produced;) {
            if (historyRead_ == historyWrite_) failRecording("Computer audio conversion lost its source timestamp.");
            // Entries whose span the output has passed are used up, unless none follows.
            while (historyRead_ + 1 < historyWrite_ &&
                   std::int64_t(outputFrames_) >= outputEnd(history_[historyRead_ % kTimestampHistoryEntries])) {
                ++historyRead_;
            }
            const HistoryEntry& entry = history_[historyRead_ % kTimestampHistoryEntries];
            const std::int64_t end = outputEnd(entry);
            if (std::int64_t(outputFrames_) >= end) {
                failRecording("Computer audio conversion exceeded its timed source span.");
            }
            const std::uint32_t n = std::uint32_t(std::min<std::int64_t>(end - std::int64_t(outputFrames_), produced - d));
            output.bufferCount = 1;
            output.channels[0] = 2;
            output.channels[1] = 0;
            output.offsets[0] = d * kOutputBytesPerFrame;
            output.offsets[1] = 0;
            output.frames = n;
            const CMTime intoEntry = CMTimeSubtract(CMTimeMake(CMTimeValue(outputFrames_), CMTimeScale(kOutputRate)),
                                                    CMTimeMake(CMTimeValue(entry.sourceStart), sourceRate_));
            output.sourceTime = CMTimeAdd(entry.sourceTime, intoEntry);
            output.receiptTime = entry.receiptTime;
            sink(output, outputFormat_);
            outputFrames_ += n;
            d += n;
        }
        if (status == kNoMoreInputNow) return;
    }
    failRecording("Computer audio conversion exceeded its bounded processing limit.");
}

void StereoConverter::finish(const ChunkSink& sink) {
    if (!isUsableTime(segmentStart_)) return;
    Cursor cursor{nullptr, 0, 0, true};
    pump(cursor, sink);
    const double expected = std::round(double(sourceFrames_) * kOutputRate / sourceFormat_.mSampleRate);
    if (std::fabs(double(outputFrames_) - expected) > kSegmentDurationToleranceFrames) {
        failRecording("Computer audio conversion could not preserve the recording duration.");
    }
    const OSStatus status = converters_.AudioConverterReset(converter_);
    if (status != kAudioHardwareNoError) failCoreAudio("reset computer audio conversion", status);
    sourceFrames_ = outputFrames_ = 0;
    historyRead_ = historyWrite_ = 0;
    segmentStart_ = expectedNext_ = kCMTimeInvalid;
}

}  // namespace quorvantel::capture
