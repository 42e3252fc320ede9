// Core Audio's capture path: process taps, private aggregate devices built around a
// tap, their input callback (an IOProc) and property listeners, called as on macOS.
// The IOProc runs on the device's own real-time thread and listeners on a
// notification thread; everything else is called from the main thread.
//
// The main run loop is here too, because the device's notifications are delivered
// through it on macOS and the stand-in's faults reach the main thread through it.
#pragma once

#include <cstdint>

#include "platform/coreaudio/audio_types.h"
#include "platform/coreaudio/tap_description_ca.h"
#include "platform/foundation/json.h"

namespace quorvantel {

// The input callback: the time now, the input buffers and the time of their first
// frame, the (unused) output, and the client data given at registration.
using AudioDeviceIOProc = OSStatus (*)(AudioObjectID device, const AudioTimeStamp* now,
                                       const AudioBufferList* inputData, const AudioTimeStamp* inputTime,
                                       AudioBufferList* outputData, const AudioTimeStamp* outputTime,
                                       void* clientData);
// As on macOS, an IOProc's identifier has the IOProc's own type; null is none.
using AudioDeviceIOProcID = AudioDeviceIOProc;

using AudioObjectPropertyListenerProc = OSStatus (*)(AudioObjectID object, std::uint32_t numberAddresses,
                                                     const AudioObjectPropertyAddress* addresses, void* clientData);

// Keys of the aggregate device description dictionary.
inline constexpr const char* kAudioAggregateDeviceNameKey = "name";
inline constexpr const char* kAudioAggregateDeviceUIDKey = "uid";
inline constexpr const char* kAudioAggregateDeviceIsPrivateKey = "private";
inline constexpr const char* kAudioAggregateDeviceIsStackedKey = "stacked";
inline constexpr const char* kAudioAggregateDeviceTapAutoStartKey = "tapautostart";
inline constexpr const char* kAudioAggregateDeviceSubDeviceListKey = "subdevices";
inline constexpr const char* kAudioAggregateDeviceTapListKey = "taps";
inline constexpr const char* kAudioSubTapUIDKey = "uid";
inline constexpr const char* kAudioSubTapDriftCompensationKey = "drift";

class AggregateDeviceHardware {
public:
    virtual ~AggregateDeviceHardware() = default;

    virtual OSStatus AudioHardwareCreateProcessTap(const CATapDescription& description, AudioObjectID& outTapID) = 0;
    virtual OSStatus AudioHardwareDestroyProcessTap(AudioObjectID tapID) = 0;
    // description: a dictionary (a JSON object) with the keys above.
    virtual OSStatus AudioHardwareCreateAggregateDevice(const json::Value& description,
                                                        AudioObjectID& outDeviceID) = 0;
    virtual OSStatus AudioHardwareDestroyAggregateDevice(AudioObjectID deviceID) = 0;

    // Copies at most ioDataSize bytes of the property's data into data and sets
    // ioDataSize to the number of bytes written.
    virtual OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                std::uint32_t& ioDataSize, void* data) = 0;
    // For kAudioTapPropertyDescription, data holds a CATapDescription pointer (8 bytes).
    virtual OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                std::uint32_t dataSize, const void* data) = 0;
    virtual OSStatus AudioObjectAddPropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                    AudioObjectPropertyListenerProc listener, void* clientData) = 0;
    // After it returns, the listener is not called again.
    virtual OSStatus AudioObjectRemovePropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                       AudioObjectPropertyListenerProc listener,
                                                       void* clientData) = 0;

    virtual OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                               AudioDeviceIOProcID& outProcID) = 0;
    virtual OSStatus AudioDeviceDestroyIOProcID(AudioObjectID device, AudioDeviceIOProcID procID) = 0;
    virtual OSStatus AudioDeviceStart(AudioObjectID device, AudioDeviceIOProcID procID) = 0;
    // After it returns, the IOProc is not called again.
    virtual OSStatus AudioDeviceStop(AudioObjectID device, AudioDeviceIOProcID procID) = 0;
};

// CFRunLoopRunInMode on the main thread's run loop, in the default mode.
class MainRunLoop {
public:
    virtual ~MainRunLoop() = default;
    // Runs for at most `seconds`, returning after one source has been handled.
    virtual void runInDefaultMode(double seconds) = 0;
};

}  // namespace quorvantel
