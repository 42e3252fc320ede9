// Where converted audio of one source goes: the session's bounded queue.
#pragma once

#include "speech/pcm_converter.h"

namespace quorvantel::speech {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Hands every buffer over in order, waiting for queue space; an empty list
    // returns at once.
    virtual void append(const ConvertedBuffers& buffers) = 0;
};

}  // namespace quorvantel::speech
