// Process taps and private aggregate devices on PipeWire. A tap is a set of output
// streams chosen by its description (stream_selection.h); its private device is a
// capture stream of the helper, not connected to any source of its own, into whose
// two input ports the tap's streams are linked, so that the graph mixes them on one
// clock while they go on playing as before. The set follows streams that appear and
// end; a stream of no selected process is never linked, and nothing falls back to
// another source. The device's IOProc is called on PipeWire's real-time thread with
// 48 kHz interleaved float stereo and host times on CLOCK_MONOTONIC (stream_clock.h);
// while nothing plays, the stream goes on delivering silence.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/coreaudio/aggregate_device_hal.h"
#include "platform/linux/pipewire/pipewire_graph.h"

namespace quorvantel::pipewire {

inline constexpr std::uint32_t kCaptureRate = 48'000;
inline constexpr std::uint32_t kCaptureChannels = 2;
// A larger buffer reaches the IOProc in pieces of at most this many frames.
inline constexpr std::uint32_t kMaximumCallbackFrames = 4'096;
// Object identifiers of taps and devices start here, clear of the process objects.
inline constexpr AudioObjectID kFirstTapOrDevice = 0x40000000;
// How long the capture stream may take to appear in the graph with its ports.
inline constexpr int kCaptureStreamReadySeconds = 2;

// The tap's and the device's stream format.
AudioStreamBasicDescription captureFormat();

// The processes of the running applications with any of these bundle identifiers.
using ApplicationProcesses = std::function<std::vector<std::int32_t>(const std::vector<std::string>& bundleIDs)>;

class PipeWireDevices final : public AggregateDeviceHardware {
public:
    // An excluding tap leaves out, besides its processes, the process trees of the
    // applications its bundle identifiers name (the host's other processes).
    PipeWireDevices(PipeWireGraph& graph, ApplicationProcesses applicationProcesses);
    ~PipeWireDevices() override;

    OSStatus AudioHardwareCreateProcessTap(const CATapDescription& description, AudioObjectID& outTapID) override;
    OSStatus AudioHardwareDestroyProcessTap(AudioObjectID tapID) override;
    OSStatus AudioHardwareCreateAggregateDevice(const json::Value& description, AudioObjectID& outDeviceID) override;
    OSStatus AudioHardwareDestroyAggregateDevice(AudioObjectID deviceID) override;
    OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& ioDataSize, void* data) override;
    OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t dataSize, const void* data) override;
    OSStatus AudioObjectAddPropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                            AudioObjectPropertyListenerProc listener, void* clientData) override;
    OSStatus AudioObjectRemovePropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                               AudioObjectPropertyListenerProc listener, void* clientData) override;
    OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                       AudioDeviceIOProcID& outProcID) override;
    OSStatus AudioDeviceDestroyIOProcID(AudioObjectID device, AudioDeviceIOProcID procID) override;
    OSStatus AudioDeviceStart(AudioObjectID device, AudioDeviceIOProcID procID) override;
    OSStatus AudioDeviceStop(AudioObjectID device, AudioDeviceIOProcID procID) override;

    struct Capture;

private:
    struct Tap {
        std::string uuid;
        bool exclusive = false;
        std::set<std::uint32_t> clients;
        // Excluding taps: the processes of the applications of its bundle identifiers.
        std::set<std::int32_t> applicationPids;
    };
    void describe(Tap& tap, const CATapDescription& description) const;
    struct Device {
        AudioObjectID tap = kAudioObjectUnknown;
        std::string name;
        AudioDeviceIOProc proc = nullptr;
        void* client = nullptr;
        std::unique_ptr<Capture> capture;  // while started
    };
    struct Listener {
        AudioObjectID object;
        AudioObjectPropertyAddress address;
        AudioObjectPropertyListenerProc proc;
        void* client;
    };

    // Under the graph's lock: links the running devices' taps as the graph now is.
    void relinkAll();
    void relink(Device& device);
    void stopCapture(Device& device);
    // Tells every listener that its format may have changed (the server went away,
    // or a stream's format changed); on PipeWire's thread.
    void notifyChanged();

    PipeWireGraph& graph_;
    ApplicationProcesses applicationProcesses_;
    // Taps and devices; the graph's lock is taken before this one.
    std::mutex lock_;
    std::map<AudioObjectID, Tap> taps_;
    std::map<AudioObjectID, Device> devices_;
    AudioObjectID nextObject_ = kFirstTapOrDevice;
    // Held while a listener runs, so that removing one waits for it to finish.
    std::mutex listenersLock_;
    std::vector<Listener> listeners_;
};

// PipeWire runs its own thread; the main run loop has nothing to run.
class PipeWireMainRunLoop final : public MainRunLoop {
public:
    void runInDefaultMode(double) override {}
};

}  // namespace quorvantel::pipewire
