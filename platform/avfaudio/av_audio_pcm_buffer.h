// A buffer of linear PCM audio in one format, after AVFAudio's AVAudioPCMBuffer:
// a fixed frame capacity, a frame length that tells how much of it holds audio, and
// the sample storage as a list of byte buffers (one when interleaved, one per
// channel otherwise).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/coreaudio/audio_types.h"

namespace quorvantel {

// The sample storage is described by Core Audio's own buffer list; each buffer's
// mDataByteSize follows the frame length.

class AVAudioPCMBuffer {
public:
    // initWithPCMFormat:frameCapacity:. Nothing when the capacity is 0, when the
    // sample storage of all channels would exceed kMaximumBufferBytes, or when it
    // cannot be allocated. The samples start as zeros and the frame length as 0.
    static std::shared_ptr<AVAudioPCMBuffer> make(const AVAudioFormat& format, AVAudioFrameCount frameCapacity);

    // Every sample buffer's byte size must fit its 32-bit size field; bounding the
    // whole storage by it also keeps one buffer from claiming unbounded memory.
    static constexpr std::uint64_t kMaximumBufferBytes = UINT32_MAX;

    AVAudioPCMBuffer(const AVAudioPCMBuffer&) = delete;
    AVAudioPCMBuffer& operator=(const AVAudioPCMBuffer&) = delete;

    const AVAudioFormat& format() const { return format_; }
    AVAudioFrameCount frameCapacity() const { return frameCapacity_; }
    AVAudioFrameCount frameLength() const { return frameLength_; }
    // Raises std::invalid_argument for a length beyond the capacity.
    void setFrameLength(AVAudioFrameCount frameLength);

    // Samples between one frame and the next within a channel's pointer: the channel
    // count when interleaved, 1 otherwise.
    std::size_t stride() const { return format_.channelsPerBuffer(); }

    // Per-buffer sample pointers for the format's sample type, or nullptr for another
    // type. Non-interleaved: one pointer per channel. Interleaved: one pointer, to
    // channel 0 of frame 0.
    float* const* floatChannelData() const;
    std::int16_t* const* int16ChannelData() const;
    std::int32_t* const* int32ChannelData() const;

    const AudioBufferList* audioBufferList() const { return &bufferList_; }
    AudioBufferList* mutableAudioBufferList() { return &bufferList_; }

private:
    AVAudioPCMBuffer(const AVAudioFormat& format, AVAudioFrameCount frameCapacity)
        : format_(format), frameCapacity_(frameCapacity) {}

    AVAudioFormat format_;
    AVAudioFrameCount frameCapacity_;
    AVAudioFrameCount frameLength_ = 0;
    std::unique_ptr<std::byte[]> storage_;
    std::vector<float*> floatPointers_;
    std::vector<std::int16_t*> int16Pointers_;
    std::vector<std::int32_t*> int32Pointers_;
    AudioBufferList bufferList_;
};

}  // namespace quorvantel
