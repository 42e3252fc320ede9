// Where the helper's frame hands a prepared recording to the recording: the devices
// main chose and this system's audio converter are wired in here, and the
// recording's failures become the helper's own.
#include "capture/recording_entry.h"

#include <memory>

#include "capture/capture_failure.h"
#include "capture/read_stop.h"
#include "capture/recording/record.h"
#include "capture/recording/recording_failure.h"
#include "capture/recording/recording_selftest.h"
#include "capture/stop_flag.h"

namespace quorvantel::capture {
namespace {

// The frame's process isolation as the recording sees it: the prepared tap
// description, and the check made once per second.
class IsolatedSelection final : public RecordingSelection {
public:
    explicit IsolatedSelection(ProcessIsolation& isolation) : isolation_(isolation) {}
    CATapDescription& prepare() override { return isolation_.tapDescription(); }
    void refreshOncePerSecond(const ApplyTapDescription& applyToTap) override {
        isolation_.refreshOncePerSecond(applyToTap);
    }

private:
    ProcessIsolation& isolation_;
};

}  // namespace

void runRecording(RecordingContext& context, AggregateDeviceHardware& hardware, MainRunLoop& runLoop) {
    const RecordingPlatform platform{hardware, systemAudioConverters(), runLoop};
    const RecordingControl control{
        [&](const json::Value& line) { context.output.emit(line, kLineTimeoutMs); },
        [&](std::string& buffer) { return readStop(buffer, context.controlFd); },
        [] { return stopRequested(); },
        context.controlFd,
    };
    IsolatedSelection selection(context.isolation);
    try {
        record(context.isolation.allSystem(), selection, platform, control);
    } catch (const RecordingFailure& failure) {
        // The platform objects are gone by now; only the message is left to report.
        fail(failure.what());
    }
}

void runRecordingSelfTests() {
    try {
        runRecordingFixtures();
    } catch (const RecordingFailure& failure) {
        fail(failure.what());
    }
}

}  // namespace quorvantel::capture
