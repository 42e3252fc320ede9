#include "platform/avfaudio/av_audio_pcm_buffer.h"

#include <new>

namespace quorvantel {

std::shared_ptr<AVAudioPCMBuffer> AVAudioPCMBuffer::make(const AVAudioFormat& format,
                                                         AVAudioFrameCount frameCapacity) {
    if (frameCapacity == 0) return nullptr;
    const std::uint64_t bufferBytes = std::uint64_t(frameCapacity) * format.bytesPerFrame();
    const std::uint32_t buffers = format.bufferCount();
    if (bufferBytes == 0 || bufferBytes * buffers > kMaximumBufferBytes) return nullptr;
    std::shared_ptr<AVAudioPCMBuffer> buffer(new (std::nothrow) AVAudioPCMBuffer(format, frameCapacity));
    if (!buffer) return nullptr;
    // Value-initialised: a fresh buffer holds silence, never stale memory.
    buffer->storage_.reset(new (std::nothrow) std::byte[bufferBytes * buffers]());
    if (!buffer->storage_) return nullptr;
    try {
        buffer->bufferList_.mNumberBuffers = buffers;
        for (std::uint32_t i = 0; i < buffers; ++i) {
            std::byte* data = buffer->storage_.get() + bufferBytes * i;
            buffer->bufferList_.mBuffers[i] = AudioBuffer{format.channelsPerBuffer(), 0, data};
            switch (format.commonFormat()) {
                case AVAudioCommonFormat::pcmFormatFloat32:
                    buffer->floatPointers_.push_back(reinterpret_cast<float*>(data));
                    break;
                case AVAudioCommonFormat::pcmFormatInt16:
                    buffer->int16Pointers_.push_back(reinterpret_cast<std::int16_t*>(data));
                    break;
                case AVAudioCommonFormat::pcmFormatInt32:
                    buffer->int32Pointers_.push_back(reinterpret_cast<std::int32_t*>(data));
                    break;
                default: break;
            }
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return buffer;
}

void AVAudioPCMBuffer::setFrameLength(AVAudioFrameCount frameLength) {
    if (frameLength > frameCapacity_) {
        throw std::invalid_argument("AVAudioPCMBuffer frame length exceeds its frame capacity");
    }
    frameLength_ = frameLength;
    const std::uint32_t bytes = frameLength * format_.bytesPerFrame();
    for (std::uint32_t i = 0; i < bufferList_.mNumberBuffers; ++i) bufferList_.mBuffers[i].mDataByteSize = bytes;
}

float* const* AVAudioPCMBuffer::floatChannelData() const {
    return floatPointers_.empty() ? nullptr : floatPointers_.data();
}

std::int16_t* const* AVAudioPCMBuffer::int16ChannelData() const {
    return int16Pointers_.empty() ? nullptr : int16Pointers_.data();
}

std::int32_t* const* AVAudioPCMBuffer::int32ChannelData() const {
    return int32Pointers_.empty() ? nullptr : int32Pointers_.data();
}

}  // namespace quorvantel
