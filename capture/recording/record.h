// The `record` command: builds the private capture path (tap, aggregate device,
// IOProc, listeners), writes "started", then drains, converts and writes the audio on
// the main thread while it watches the control channel and re-checks the selected
// processes every second, and ends with an orderly stop and the "stopped" line.
#pragma once

#include <functional>
#include <string>

#include "capture/recording/recording_writer.h"
#include "platform/audiotoolbox/audio_converter.h"
#include "platform/coreaudio/aggregate_device_hal.h"
#include "platform/coreaudio/tap_description_ca.h"

namespace quorvantel::capture {

// Packets converted and written per turn of the loop, and the longest wait between
// turns for the host's control input.
inline constexpr int kPacketsPerTurn = 128;
inline constexpr int kInputWaitMs = 10;
inline constexpr double kRunLoopSeconds = 0.001;
// How often the selected processes are checked.
inline constexpr std::uint64_t kProcessCheckIntervalNs = 1'000'000'000;

// Gives a changed tap description to the running tap; returns the platform's status.
using ApplyTapDescription = std::function<OSStatus(const CATapDescription&)>;

// The processes the tap records or leaves out, decided by the helper's process
// isolation.
class RecordingSelection {
public:
    virtual ~RecordingSelection() = default;
    // The selection checks before the tap exists; returns the tap description with
    // its name, privacy, unmuted behaviour, no automatic restore, bundle identifiers
    // and first process list. It stays owned by the selection.
    virtual CATapDescription& prepare() = 0;
    // The check made once per second while recording.
    virtual void refreshOncePerSecond(const ApplyTapDescription& applyToTap) = 0;
};

struct RecordingPlatform {
    AggregateDeviceHardware& hardware;
    AudioConverterService& converters;
    MainRunLoop& runLoop;
};

// The helper's frame, as the recording reaches it.
struct RecordingControl {
    LineWriter emit;                                 // one line within its deadline
    std::function<bool(std::string& buffer)> readStop;  // true: stop now
    std::function<bool()> stopRequested;             // the signal-set stop flag
    int inputFd = 0;                                 // waited on between turns
};

inline constexpr const char* kCancelledMessage = "Recording was cancelled.";

// Runs one recording; returns after the "stopped" line, or raises the failure after
// every platform object has been removed.
void record(bool allSystem, RecordingSelection& selection, const RecordingPlatform& platform,
            const RecordingControl& control);

}  // namespace quorvantel::capture
