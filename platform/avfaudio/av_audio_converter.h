// Conversion between linear PCM formats, after AVFAudio's AVAudioConverter: sample
// type, sample rate and channel mapping, as one stateful stream that pulls its input
// through a callback.
#pragma once

#include <functional>
#include <memory>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/avfaudio/av_audio_pcm_buffer.h"

namespace quorvantel {

// What the input callback answers.
enum class AVAudioConverterInputStatus {
    haveData = 0,     // here is a buffer of the converter's input format
    noDataNow = 1,    // nothing now; more may come in a later call
    endOfStream = 2,  // nothing now or later: deliver what is held back
};

enum class AVAudioConverterOutputStatus {
    haveData = 0,     // the output buffer was filled; more may be available
    inputRanDry = 1,  // the input callback had nothing now; the buffer holds what could be made
    endOfStream = 2,  // the stream has ended and everything held back has been delivered
    error = 3,
};

enum class AVAudioConverterPrimeMethod {
    pre = 0,     // prime with leading and trailing input frames
    normal = 1,  // prime with trailing frames only
    none = 2,    // no priming: output frame 0 is input frame 0
};

// Asked for input; inNumberOfPackets is how many input frames the converter could
// use now (a hint). Returns a buffer with outStatus haveData, nullptr otherwise.
using AVAudioConverterInputBlock = std::function<std::shared_ptr<AVAudioPCMBuffer>(
    AVAudioPacketCount inNumberOfPackets, AVAudioConverterInputStatus& outStatus)>;

class AVAudioConverter {
public:
    virtual ~AVAudioConverter() = default;

    // initFromFormat:toFormat: on this platform. Nothing when the platform cannot
    // convert between the two formats.
    static std::unique_ptr<AVAudioConverter> make(const AVAudioFormat& fromFormat, const AVAudioFormat& toFormat);

    virtual const AVAudioFormat& inputFormat() const = 0;
    virtual const AVAudioFormat& outputFormat() const = 0;
    virtual AVAudioConverterPrimeMethod primeMethod() const = 0;
    virtual void setPrimeMethod(AVAudioConverterPrimeMethod method) = 0;

    // convertToBuffer:error:withInputFromBlock:. Fills outputBuffer from its start
    // up to its capacity, pulling input through inputBlock as needed, and sets its
    // frame length to the frames written (possibly 0). Frames the conversion holds
    // back stay in the converter for the next call. Once the block has answered
    // endOfStream, the held-back frames are delivered and the status becomes
    // endOfStream (also on every later call). A failure the converter can describe
    // is raised as AVAudioError.
    virtual AVAudioConverterOutputStatus convertToBuffer(AVAudioPCMBuffer& outputBuffer,
                                                        const AVAudioConverterInputBlock& inputBlock) = 0;

    // Forgets every frame held back and the end of the stream: ready for a new one.
    virtual void reset() = 0;
};

}  // namespace quorvantel
