#include "platform/linux/pocketsphinx/decoder_timeline.h"

#include "platform/linux/pocketsphinx/speech_decoder.h"

namespace quorvantel::pocketsphinx {

CMTime DecoderTimeline::Span::timeAt(std::int64_t position) const {
    return CMTimeAdd(start, CMTimeMake(position - first, kDecoderSampleRate));
}

void DecoderTimeline::append(CMTime start, std::int64_t samples) {
    if (samples <= 0) return;
    // Audio that continues the last input exactly extends it, so the list grows only
    // where the timeline jumps.
    if (!spans_.empty() && CMTimeCompare(spans_.back().timeAt(spans_.back().end()), start) == 0) {
        spans_.back().samples += samples;
    } else {
        spans_.push_back(Span{fed_, samples, start});
    }
    fed_ += samples;
}

CMTime DecoderTimeline::startTime(std::int64_t position) const {
    if (spans_.empty()) return kCMTimeInvalid;
    if (position <= spans_.front().first) return spans_.front().start;
    for (const Span& span : spans_) {
        if (position < span.end()) return span.timeAt(position);
    }
    return spans_.back().timeAt(spans_.back().end());
}

CMTime DecoderTimeline::endTime(std::int64_t position) const {
    if (spans_.empty()) return kCMTimeInvalid;
    if (position <= spans_.front().first) return spans_.front().start;
    for (const Span& span : spans_) {
        if (position <= span.end()) return span.timeAt(position);
    }
    return spans_.back().timeAt(spans_.back().end());
}

void DecoderTimeline::forgetBefore(std::int64_t position) {
    while (spans_.size() > 1 && spans_.front().end() < position) spans_.pop_front();
}

}  // namespace quorvantel::pocketsphinx
