// Where the decoder's samples lie on the inputs' own timeline. The decoder counts its
// audio from its start without gaps; the inputs it was fed each carry their own start
// time, so a re-anchored input or a filled hole moves the timeline, never a word.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/coremedia/cmtime.h"

namespace quorvantel::pocketsphinx {

class DecoderTimeline {
public:
    // The next `samples` decoder samples are the audio that starts at `start`.
    void append(CMTime start, std::int64_t samples);
    // Decoder samples fed so far.
    std::int64_t samplesFed() const { return fed_; }

    // The time at which decoder sample `position` starts, and the time at which the
    // audio before `position` ends. They differ only where an input was re-anchored:
    // a word that ends there ends with the audio it was heard in. Positions outside
    // the audio still remembered are held to its edges.
    CMTime startTime(std::int64_t position) const;
    CMTime endTime(std::int64_t position) const;

    // Forgets the inputs that end before `position`; no word will point there again.
    void forgetBefore(std::int64_t position);

private:
    struct Span {
        std::int64_t first;  // decoder sample
        std::int64_t samples;
        CMTime start;
        CMTime timeAt(std::int64_t position) const;
        std::int64_t end() const { return first + samples; }
    };
    std::deque<Span> spans_;
    std::int64_t fed_ = 0;
};

}  // namespace quorvantel::pocketsphinx
