#include "capture/recording/recording_writer.h"

#include "capture/recording/pcm16.h"
#include "capture/recording/recording_events.h"
#include "capture/recording/recording_failure.h"

namespace quorvantel::capture {

RecordingWriter::RecordingWriter(Timeline& timeline, AudioState& state, StereoConverter& converter, LineWriter emit)
    : timeline_(timeline),
      state_(state),
      converter_(converter),
      emit_(std::move(emit)),
      sink_([this](const Packet& chunk, const AudioStreamBasicDescription& format) { emitConverted(chunk, format); }) {}

void RecordingWriter::emitStarted(std::int64_t captureStartedAtMs) { emit_(startedEvent(captureStartedAtMs)); }

void RecordingWriter::emitSilenceUntil(std::uint64_t target) {
    const std::uint64_t next = timeline_.nextFrame();
    if (target > std::uint64_t(kMaximumTimelineFrames) || target < next) {
        failRecording("Invalid silent timeline boundary.");
    }
    if (target == next) return;
    // Silence must never stand for audio that the callback could not queue.
    failIfUnhealthy(state_);
    emit_(silenceEvent(next, target - next));
    timeline_.setNextFrame(target);
}

void RecordingWriter::emitConverted(const Packet& chunk, const AudioStreamBasicDescription& format) {
    const Placement placement = timeline_.target(chunk.sourceTime, chunk.frames, chunk.receiptTime);
    if (placement.trimmed == chunk.frames) return;
    const Pcm16 pcm = pcm16(chunk, format, placement.trimmed);
    emitSilenceUntil(placement.start);
    emit_(audioEvent(pcm.bytes.data(), pcm.bytes.size(), pcm.peak, timeline_.nextFrame()));
    timeline_.setNextFrame(timeline_.nextFrame() + (chunk.frames - placement.trimmed));
}

void RecordingWriter::emitPacket() {
    converter_.accept(state_.ring.front(), sink_);
    state_.ring.release();
}

void RecordingWriter::finish(CMTime stopMarker) {
    converter_.finish(sink_);
    emitSilenceUntil(timeline_.end(stopMarker));
    emit_(stoppedEvent(timeline_.nextFrame(), timeline_.discarded()));
}

}  // namespace quorvantel::capture
