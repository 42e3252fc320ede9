#include "capture/recording/record.h"

#include <cmath>
#include <poll.h>

#include "capture/recording/capture.h"
#include "capture/recording/core_audio_failure.h"
#include "capture/recording/recording_failure.h"
#include "capture/recording/stream_format.h"
#include "platform/coremedia/host_clock.h"
#include "platform/foundation/clock.h"

namespace quorvantel::capture {
namespace {

constexpr const char* kReadSourceOperation = "read the computer audio source";
constexpr const char* kInvalidSourceProperty = "macOS returned an invalid computer audio source property.";

AudioStreamBasicDescription readFormat(AggregateDeviceHardware& hardware, AudioObjectID object,
                                       const AudioObjectPropertyAddress& address) {
    AudioStreamBasicDescription format;
    std::uint32_t size = sizeof format;
    const OSStatus status = hardware.AudioObjectGetPropertyData(object, address, size, &format);
    if (status != kAudioHardwareNoError) failCoreAudio(kReadSourceOperation, status);
    if (size != sizeof format) failRecording(kInvalidSourceProperty);
    return format;
}

bool sameStream(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b) {
    return a.mSampleRate == b.mSampleRate && a.mFormatID == b.mFormatID && a.mFormatFlags == b.mFormatFlags &&
           a.mBytesPerFrame == b.mBytesPerFrame && a.mBitsPerChannel == b.mBitsPerChannel;
}

void waitForInput(int fd, int timeoutMs) {
    pollfd input{fd, POLLIN | POLLHUP, 0};
    ::poll(&input, 1, timeoutMs);  // a wake-up, not a read: readStop reads and reports
}

}  // namespace

void record(bool allSystem, RecordingSelection& selection, const RecordingPlatform& platform,
            const RecordingControl& control) {
    AggregateDeviceHardware& hardware = platform.hardware;
    Capture capture(hardware, platform.converters, allSystem);
    AudioState& state = *capture.audio;

    CATapDescription& description = selection.prepare();

    OSStatus status = hardware.AudioHardwareCreateProcessTap(description, capture.tapID);
    if (status != kAudioHardwareNoError) {
        capture.tapID = kAudioObjectUnknown;
        failCoreAudio("create the computer audio tap", status);
    }

    const AudioStreamBasicDescription tapFormat = readFormat(hardware, capture.tapID, kTapFormatAddress);
    validateFormat(tapFormat);
    if (tapFormat.mChannelsPerFrame != 2) failRecording("macOS did not provide a stereo computer audio stream.");
    state.ring.configure(bytesPerSample(tapFormat), 2, tapFormat);
    capture.converter.configure(tapFormat);

    status = hardware.AudioHardwareCreateAggregateDevice(
        aggregateDeviceDescription(newAggregateDeviceUID(), description.UUIDString()), capture.deviceID);
    if (status != kAudioHardwareNoError) {
        capture.deviceID = kAudioObjectUnknown;
        failCoreAudio("create the private computer audio device", status);
    }
    const AudioStreamBasicDescription deviceFormat = readFormat(hardware, capture.deviceID, kDeviceInputFormatAddress);
    if (!sameStream(deviceFormat, tapFormat) || deviceFormat.mChannelsPerFrame != 2) {
        failRecording("macOS changed the computer audio format while preparing capture. Try recording again.");
    }

    status = hardware.AudioObjectAddPropertyListener(capture.tapID, kTapFormatAddress, &audioChanged, &state);
    if (status != kAudioHardwareNoError) failCoreAudio("monitor the computer audio format", status);
    capture.tapListening = true;
    status = hardware.AudioObjectAddPropertyListener(capture.deviceID, kDeviceInputFormatAddress, &audioChanged, &state);
    if (status != kAudioHardwareNoError) failCoreAudio("monitor the computer audio device", status);
    capture.deviceListening = true;

    status = hardware.AudioDeviceCreateIOProcID(capture.deviceID, &captureIO, &state, capture.ioProcID);
    if (status != kAudioHardwareNoError) {
        capture.ioProcID = nullptr;
        failCoreAudio("prepare computer audio recording", status);
    }

    // The last moment to cancel without ever starting the device.
    if (control.stopRequested()) failRecording(kCancelledMessage);
    // One buffer for the whole recording: a partial line read here is continued by
    // what comes after the start, and counts towards the same bound.
    std::string controlBuffer;
    if (control.readStop(controlBuffer)) failRecording(kCancelledMessage);

    const CMTime origin = CMClockGetTime(CMClockGetHostTimeClock());
    capture.captureStartedAtMs = std::llround(wallClockMilliseconds());
    if (!isUsableTime(origin)) failRecording("The recording host clock is unavailable.");
    capture.timeline.emplace(origin);
    RecordingWriter writer(*capture.timeline, state, capture.converter, control.emit);

    capture.started = true;
    status = hardware.AudioDeviceStart(capture.deviceID, capture.ioProcID);
    if (status != kAudioHardwareNoError) failCoreAudio("start computer audio recording", status);
    writer.emitStarted(capture.captureStartedAtMs);

    const ApplyTapDescription applyToTap = [&](const CATapDescription& changed) {
        const CATapDescription* reference = &changed;
        return hardware.AudioObjectSetPropertyData(capture.tapID, kTapDescriptionAddress, sizeof reference, &reference);
    };
    std::uint64_t refreshDeadline = monotonicNanoseconds() + kProcessCheckIntervalNs;
    if (!control.stopRequested()) {
        for (;;) {
            failIfUnhealthy(state);
            if (control.readStop(controlBuffer)) break;
            for (int n = 0; n < kPacketsPerTurn && !state.ring.empty(); ++n) {
                writer.emitPacket();
                failIfUnhealthy(state);
            }
            if (monotonicNanoseconds() >= refreshDeadline) {
                selection.refreshOncePerSecond(applyToTap);
                refreshDeadline = monotonicNanoseconds() + kProcessCheckIntervalNs;
            }
            platform.runLoop.runInDefaultMode(kRunLoopSeconds);
            waitForInput(control.inputFd, kInputWaitMs);
            if (control.stopRequested()) break;
        }
    }

    // The recording ends at the host time it was asked to, however long the device
    // takes to stop; audio it delivered before stopping is still written.
    const CMTime stopMarker = CMClockGetTime(CMClockGetHostTimeClock());
    capture.stop();
    failIfUnhealthy(state);
    while (!state.ring.empty()) writer.emitPacket();
    writer.finish(stopMarker);
}

}  // namespace quorvantel::capture
