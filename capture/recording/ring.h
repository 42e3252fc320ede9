// The hand-over of raw callback buffers from the audio device's real-time thread to
// the main thread: a fixed ring of packet slots with one producer (the callback) and
// one consumer (the main thread). Pushing never blocks, allocates or fails; trouble
// is recorded in `status` for the main thread to report.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/coreaudio/audio_types.h"
#include "platform/coremedia/cmtime.h"

namespace quorvantel::capture {

inline constexpr std::size_t kPacketBytes = 65'536;
inline constexpr std::uint32_t kMaximumPacketBuffers = 2;
inline constexpr std::uint64_t kRingSlots = 128;

// One ring slot, and also one converted chunk: the bytes of up to two buffers one
// after the other, with the host times of the first frame and of the callback.
struct Packet {
    alignas(16) std::uint8_t data[kPacketBytes];
    std::uint32_t offsets[kMaximumPacketBuffers];
    std::uint32_t channels[kMaximumPacketBuffers];
    std::uint32_t bufferCount;
    std::uint32_t frames;
    CMTime sourceTime;
    CMTime receiptTime;
};

enum RingStatus : std::uint32_t {
    kRingRunning = 0,
    kRingOverrun = 1,
    kRingMalformedInput = 2,  // malformed buffers, or the device or its format changed
    kRingClockUnusable = 4,
};

class Ring {
public:
    // Set before the device starts: bytes of one sample, channels of a frame (2) and
    // the tap's format.
    void configure(std::uint32_t bytesPerSample, std::uint32_t channels, const AudioStreamBasicDescription& format) {
        bytesPerSample_ = bytesPerSample;
        channels_ = channels;
        format_ = format;
    }
    std::uint32_t bytesPerSample() const { return bytesPerSample_; }
    std::uint32_t channels() const { return channels_; }
    const AudioStreamBasicDescription& format() const { return format_; }

    // Producer side, from the audio callback only: copies one buffer list into the
    // next slot, or records why it could not.
    void push(const AudioBufferList* list, CMTime sourceTime, CMTime receiptTime) noexcept;

    // Records a failure; the first one stays.
    void fail(RingStatus status) noexcept {
        std::uint32_t expected = kRingRunning;
        status_.compare_exchange_strong(expected, status, std::memory_order_release, std::memory_order_relaxed);
    }
    std::uint32_t status() const noexcept { return status_.load(std::memory_order_acquire); }

    // Consumer side, from the main thread only.
    bool empty() const noexcept {
        return writeIndex_.load(std::memory_order_acquire) == readIndex_.load(std::memory_order_relaxed);
    }
    std::uint64_t size() const noexcept {
        return writeIndex_.load(std::memory_order_acquire) - readIndex_.load(std::memory_order_relaxed);
    }
    // The oldest queued packet; the ring must not be empty.
    const Packet& front() const noexcept { return slots_[readIndex_.load(std::memory_order_relaxed) % kRingSlots]; }
    // Returns the oldest slot to the producer once everything made of it is written.
    void release() noexcept {
        readIndex_.store(readIndex_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    std::uint64_t writeIndex() const noexcept { return writeIndex_.load(std::memory_order_acquire); }
    std::uint64_t readIndex() const noexcept { return readIndex_.load(std::memory_order_acquire); }

private:
    Packet slots_[kRingSlots];
    std::atomic<std::uint64_t> writeIndex_{0};
    std::atomic<std::uint64_t> readIndex_{0};
    std::atomic<std::uint32_t> status_{kRingRunning};
    std::uint32_t bytesPerSample_ = 0;
    std::uint32_t channels_ = 0;
    AudioStreamBasicDescription format_{};
};

}  // namespace quorvantel::capture
