// Where the helper's frame hands a prepared recording to the recording itself (the
// tap, the private device, the timeline, conversion and the audio lines). The frame
// has parsed the command, run the selection checks, created the tap description with
// its first process list, and holds the one failure boundary.
#pragma once

#include "capture/emit.h"
#include "capture/process_isolation.h"
#include "platform/coreaudio/aggregate_device_hal.h"

namespace quorvantel::capture {

struct RecordingContext {
    // Target, own identity, the tap description (name, privacy, mute behaviour,
    // restore off, bundle identifiers and the first process list already set), and
    // refreshOncePerSecond for the recording loop.
    ProcessIsolation& isolation;
    // The one writer of standard output: emit each line with kLineTimeoutMs.
    const LineOutput& output;
    // Standard input, non-blocking: readStop(buffer, controlFd).
    int controlFd;
};

// Runs one recording on the given Core Audio devices and main run loop until "stop",
// end of input or a signal (stopRequested()), and returns after its "stopped" line;
// raises a CaptureFailure otherwise.
void runRecording(RecordingContext& context, AggregateDeviceHardware& hardware, MainRunLoop& runLoop);

// The recording's own self-test fixtures; raises the first failing one's message.
void runRecordingSelfTests();

}  // namespace quorvantel::capture
