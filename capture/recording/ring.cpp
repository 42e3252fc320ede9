#include "capture/recording/ring.h"

#include <cstring>

namespace quorvantel::capture {

void Ring::push(const AudioBufferList* list, CMTime sourceTime, CMTime receiptTime) noexcept {
    if (list == nullptr || list->mNumberBuffers == 0) return;
    if (status_.load(std::memory_order_acquire) != kRingRunning) return;
    const std::uint64_t write = writeIndex_.load(std::memory_order_relaxed);
    if (write - readIndex_.load(std::memory_order_acquire) >= kRingSlots) {
        fail(kRingOverrun);
        return;
    }
    if (list->mNumberBuffers > kMaximumPacketBuffers || bytesPerSample_ == 0) {
        fail(kRingMalformedInput);
        return;
    }
    Packet& slot = slots_[write % kRingSlots];
    std::uint32_t frames = 0;
    std::uint32_t used = 0;
    std::uint32_t channels = 0;
    for (std::uint32_t b = 0; b < list->mNumberBuffers; ++b) {
        const AudioBuffer& buffer = list->mBuffers[b];
        const std::uint32_t c = buffer.mNumberChannels;
        const std::uint32_t frameBytes = bytesPerSample_ * c;
        const bool wellFormed = c >= 1 && c <= channels_ && buffer.mDataByteSize <= kPacketBytes - used &&
                                buffer.mDataByteSize % frameBytes == 0 &&
                                (buffer.mData != nullptr || buffer.mDataByteSize == 0) &&
                                (b == 0 || buffer.mDataByteSize / frameBytes == frames);
        if (!wellFormed) {
            fail(kRingMalformedInput);
            return;
        }
        if (b == 0) frames = buffer.mDataByteSize / frameBytes;
        if (buffer.mDataByteSize > 0) std::memcpy(slot.data + used, buffer.mData, buffer.mDataByteSize);
        slot.offsets[b] = used;
        slot.channels[b] = c;
        used += buffer.mDataByteSize;
        channels += c;
    }
    if (channels != channels_) {
        fail(kRingMalformedInput);
        return;
    }
    if (frames == 0) return;
    slot.bufferCount = list->mNumberBuffers;
    slot.frames = frames;
    slot.sourceTime = sourceTime;
    slot.receiptTime = receiptTime;
    writeIndex_.store(write + 1, std::memory_order_release);
}

}  // namespace quorvantel::capture
