// The recording is not linked into this build yet: a prepared recording ends with a
// plain failure instead of pretending to record.
#include "capture/recording_entry.h"

#include "capture/capture_failure.h"

namespace quorvantel::capture {

void runRecording(RecordingContext&) { fail("Recording computer audio is not part of this build of Tovrel Audio Capture."); }

void runRecordingSelfTests() {}

}  // namespace quorvantel::capture
