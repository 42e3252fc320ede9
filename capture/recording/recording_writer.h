// The writer of a recording's lines: it places each converted chunk on the timeline,
// fills every gap before it with one "silence" line, writes the chunk as an "audio"
// line, moves raw packets from the ring through the converter, and ends the
// recording with silence up to the stop marker and the "stopped" line. It alone
// advances the timeline's nextFrame, so the lines cover every frame exactly once.
#pragma once

#include <cstdint>
#include <functional>

#include "capture/recording/audio_state.h"
#include "capture/recording/stereo_converter.h"
#include "capture/recording/timeline.h"
#include "platform/foundation/json.h"

namespace quorvantel::capture {

// Writes one line whole within the helper's deadline, or fails.
using LineWriter = std::function<void(const json::Value& line)>;

class RecordingWriter {
public:
    RecordingWriter(Timeline& timeline, AudioState& state, StereoConverter& converter, LineWriter emit);

    void emitStarted(std::int64_t captureStartedAtMs);
    // Silence from nextFrame up to `target`; never over audio that was lost.
    void emitSilenceUntil(std::uint64_t target);
    // The converter's sink: places and writes one converted chunk.
    void emitConverted(const Packet& chunk, const AudioStreamBasicDescription& format);
    // Converts and writes the oldest ring slot, then returns it to the producer.
    void emitPacket();
    // After the device stopped and the ring is drained: the converter's tail, silence
    // up to the end and the "stopped" line.
    void finish(CMTime stopMarker);

private:
    Timeline& timeline_;
    AudioState& state_;
    StereoConverter& converter_;
    LineWriter emit_;
    ChunkSink sink_;
};

}  // namespace quorvantel::capture
