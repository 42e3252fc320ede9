// Reading an audio file, after AVFAudio's AVAudioFile: the file decoded to a
// processing format of the caller's sample type and layout, at the file's own sample
// rate and channel count, read frame by frame from a moving position.
#pragma once

#include <memory>
#include <string>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/avfaudio/av_audio_pcm_buffer.h"

namespace quorvantel {

class AVAudioFile {
public:
    virtual ~AVAudioFile() = default;

    // initForReading:commonFormat:interleaved:error:. Raises AVAudioError with the
    // platform's description when the file is missing, unreadable or not audio it
    // can decode, or when the sample type is not one it decodes to.
    static std::unique_ptr<AVAudioFile> openForReading(const std::string& path, AVAudioCommonFormat commonFormat,
                                                       bool interleaved);

    // The format buffers handed to readIntoBuffer must have.
    virtual const AVAudioFormat& processingFormat() const = 0;
    // Frames in the file.
    virtual AVAudioFramePosition length() const = 0;
    // The next frame to be read.
    virtual AVAudioFramePosition framePosition() const = 0;

    // readIntoBuffer:frameCount:error:. Reads up to frameCount frames (at most the
    // buffer's capacity) from the current position into the buffer's start, sets its
    // frame length to the frames read (0 at the end of the file) and advances the
    // position. Raises AVAudioError when the buffer's format is not the processing
    // format or the file cannot be read.
    virtual void readIntoBuffer(AVAudioPCMBuffer& buffer, AVAudioFrameCount frameCount) = 0;
};

}  // namespace quorvantel
