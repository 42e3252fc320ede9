// One recording's platform objects: the process tap, the private aggregate device
// around it, the device's IOProc and the two format listeners, with the converter and
// timeline that turn its audio into lines. Capture::stop removes the objects in a
// fixed order on every path; it runs before any "error" line is written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "capture/recording/audio_state.h"
#include "capture/recording/stereo_converter.h"
#include "capture/recording/timeline.h"
#include "platform/coreaudio/aggregate_device_hal.h"

namespace quorvantel::capture {

inline constexpr const char* kAggregateDeviceName = "Tovrel private audio capture";
inline constexpr const char* kAggregateDeviceUIDPrefix = "org.quorvantel.capture.";
// How long teardown waits for callbacks still running, and how often it looks.
inline constexpr int kInFlightWaitMs = 2'000;
inline constexpr int kInFlightPollMs = 1;

inline constexpr AudioObjectPropertyAddress kTapFormatAddress{kAudioTapPropertyFormat, kAudioObjectPropertyScopeGlobal,
                                                              kAudioObjectPropertyElementMain};
inline constexpr AudioObjectPropertyAddress kDeviceInputFormatAddress{
    kAudioDevicePropertyStreamFormat, kAudioObjectPropertyScopeInput, kAudioObjectPropertyElementMain};
inline constexpr AudioObjectPropertyAddress kTapDescriptionAddress{
    kAudioTapPropertyDescription, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};

// The IOProc: queues each input buffer list with its two host times, from the
// device's real-time thread; no locks, no allocation.
OSStatus captureIO(AudioObjectID device, const AudioTimeStamp* now, const AudioBufferList* inputData,
                   const AudioTimeStamp* inputTime, AudioBufferList* outputData, const AudioTimeStamp* outputTime,
                   void* audioState);
// The listener of both format properties: any change ends the recording, because
// the queued bytes could no longer be read.
OSStatus audioChanged(AudioObjectID object, std::uint32_t numberAddresses, const AudioObjectPropertyAddress* addresses,
                      void* audioState);

// The host time of a callback time stamp, or an invalid time when it has none.
CMTime hostTimeOf(const AudioTimeStamp* stamp);

// The private aggregate device's description: nothing but the one tap.
json::Value aggregateDeviceDescription(const std::string& deviceUID, const std::string& tapUUID);
// "org.quorvantel.capture." and a fresh random UUID.
std::string newAggregateDeviceUID();

// Keeps an audio state alive until the process exits, for callbacks that may still
// write into it after a teardown that did not complete.
void keepAudioStateUntilExit(std::shared_ptr<AudioState> state);

class Capture {
public:
    Capture(AggregateDeviceHardware& hardware, AudioConverterService& converters, bool allSystem);
    // Runs stop, ignoring its failures; the recording's own failure is the one reported.
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // Stops the device and removes every platform object, each step even when an
    // earlier one failed; then reports the first problem. Runs at most once.
    void stop();

    AggregateDeviceHardware& hardware;
    std::shared_ptr<AudioState> audio;
    AudioObjectID tapID = kAudioObjectUnknown;
    AudioObjectID deviceID = kAudioObjectUnknown;
    AudioDeviceIOProcID ioProcID = nullptr;
    bool started = false;
    bool stopped = false;
    bool allSystem;
    bool tapListening = false;
    bool deviceListening = false;
    StereoConverter converter;
    std::int64_t captureStartedAtMs = 0;
    std::optional<Timeline> timeline;
};

}  // namespace quorvantel::capture
