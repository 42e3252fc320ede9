#include "capture/recording/capture.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "capture/recording/core_audio_failure.h"
#include "capture/recording/recording_failure.h"
#include "platform/coremedia/host_clock.h"
#include "platform/foundation/clock.h"

namespace quorvantel::capture {

OSStatus captureIO(AudioObjectID, const AudioTimeStamp* now, const AudioBufferList* inputData,
                   const AudioTimeStamp* inputTime, AudioBufferList*, const AudioTimeStamp*, void* audioState) {
    auto* state = static_cast<AudioState*>(audioState);
    state->inFlight.fetch_add(1, std::memory_order_acq_rel);
    if (state->changed()) {
        state->ring.fail(kRingMalformedInput);
    } else {
        const CMTime source = hostTimeOf(inputTime);
        const CMTime receipt = hostTimeOf(now);
        if (isUsableTime(source) && isUsableTime(receipt)) {
            state->ring.push(inputData, source, receipt);
        } else {
            state->ring.fail(kRingClockUnusable);
        }
    }
    state->inFlight.fetch_sub(1, std::memory_order_release);
    return kAudioHardwareNoError;
}

OSStatus audioChanged(AudioObjectID, std::uint32_t, const AudioObjectPropertyAddress*, void* audioState) {
    auto* state = static_cast<AudioState*>(audioState);
    state->inFlight.fetch_add(1, std::memory_order_acq_rel);
    state->deviceChanged.store(1, std::memory_order_release);
    state->inFlight.fetch_sub(1, std::memory_order_release);
    return kAudioHardwareNoError;
}

CMTime hostTimeOf(const AudioTimeStamp* stamp) {
    if (stamp == nullptr || (stamp->mFlags & kAudioTimeStampHostTimeValid) == 0) return kCMTimeInvalid;
    return CMClockMakeHostTimeFromSystemUnits(stamp->mHostTime);
}

json::Value aggregateDeviceDescription(const std::string& deviceUID, const std::string& tapUUID) {
    return json::Object{
        {kAudioAggregateDeviceNameKey, kAggregateDeviceName},
        {kAudioAggregateDeviceUIDKey, deviceUID},
        {kAudioAggregateDeviceIsPrivateKey, true},
        {kAudioAggregateDeviceIsStackedKey, false},
        {kAudioAggregateDeviceTapAutoStartKey, false},
        {kAudioAggregateDeviceSubDeviceListKey, json::Array{}},
        {kAudioAggregateDeviceTapListKey,
         json::Array{json::Object{{kAudioSubTapUIDKey, tapUUID}, {kAudioSubTapDriftCompensationKey, true}}}},
    };
}

std::string newAggregateDeviceUID() {
    std::random_device entropy;
    std::uint8_t bytes[16];
    for (std::size_t i = 0; i < sizeof bytes; i += 4) {
        const std::uint32_t word = entropy();
        for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = std::uint8_t(word >> (8 * k));
    }
    bytes[6] = std::uint8_t((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = std::uint8_t((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return std::string(kAggregateDeviceUIDPrefix) + text;
}

void keepAudioStateUntilExit(std::shared_ptr<AudioState> state) {
    // Deliberately never destroyed: a late callback may still write into the state.
    static auto* kept = new std::vector<std::shared_ptr<AudioState>>;
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    kept->push_back(std::move(state));
}

Capture::Capture(AggregateDeviceHardware& hardware_, AudioConverterService& converters, bool allSystem_)
    : hardware(hardware_), audio(new AudioState), allSystem(allSystem_), converter(converters) {}

Capture::~Capture() {
    try {
        stop();
    } catch (...) {
        // The failure that unwinds past this recording is the one reported.
    }
}

void Capture::stop() {
    if (stopped) return;
    stopped = true;
    OSStatus stopStatus = 0, closeStatus = 0, tapListenerStatus = 0, deviceListenerStatus = 0, deviceStatus = 0,
             tapStatus = 0;
    if (started) {
        stopStatus = hardware.AudioDeviceStop(deviceID, ioProcID);
        started = false;
    }
    if (ioProcID != nullptr) {
        closeStatus = hardware.AudioDeviceDestroyIOProcID(deviceID, ioProcID);
        ioProcID = nullptr;
    }
    if (tapListening) {
        tapListenerStatus = hardware.AudioObjectRemovePropertyListener(tapID, kTapFormatAddress, &audioChanged, audio.get());
        tapListening = false;
    }
    if (deviceListening) {
        deviceListenerStatus =
            hardware.AudioObjectRemovePropertyListener(deviceID, kDeviceInputFormatAddress, &audioChanged, audio.get());
        deviceListening = false;
    }
    if (deviceID != kAudioObjectUnknown) {
        deviceStatus = hardware.AudioHardwareDestroyAggregateDevice(deviceID);
        deviceID = kAudioObjectUnknown;
    }
    if (tapID != kAudioObjectUnknown) {
        tapStatus = hardware.AudioHardwareDestroyProcessTap(tapID);
        tapID = kAudioObjectUnknown;
    }
    const std::uint64_t deadline = monotonicNanoseconds() + std::uint64_t(kInFlightWaitMs) * 1'000'000;
    while (audio->inFlight.load(std::memory_order_acquire) != 0 && monotonicNanoseconds() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kInFlightPollMs));
    }
    const bool stillInFlight = audio->inFlight.load(std::memory_order_acquire) != 0;
    if (stillInFlight || stopStatus != 0 || closeStatus != 0 || tapListenerStatus != 0 || deviceListenerStatus != 0 ||
        deviceStatus != 0 || tapStatus != 0) {
        keepAudioStateUntilExit(audio);
    }
    if (stopStatus != 0) failCoreAudio("stop computer audio recording", stopStatus);
    if (closeStatus != 0) failCoreAudio("close computer audio recording", closeStatus);
    if (tapListenerStatus != 0) failCoreAudio("stop monitoring the computer audio tap", tapListenerStatus);
    if (deviceListenerStatus != 0) failCoreAudio("stop monitoring the computer audio device", deviceListenerStatus);
    if (stillInFlight) failRecording("macOS did not finish closing computer audio recording. Recording stopped.");
    if (deviceStatus != 0) failCoreAudio("remove the private computer audio device", deviceStatus);
    if (tapStatus != 0) failCoreAudio("remove the computer audio tap", tapStatus);
}

}  // namespace quorvantel::capture
