// The stand-in capture path: process taps and private aggregate devices as the
// scenario's "audio" section describes them. A started device calls its IOProc from
// a thread of its own every `bufferFrames` frames of wall time, with host times from
// CLOCK_MONOTONIC, playing silence, a 440 Hz tone or an audio file in the tap's
// format; the scenario's faults make it misbehave as a real machine can.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/coreaudio/aggregate_device_hal.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

enum class SimSampleType { float32, float64, int16, int24, int32 };

struct SimAudioSettings {
    double sampleRate = 48'000;
    std::uint32_t channels = 2;
    SimSampleType sampleType = SimSampleType::float32;
    bool interleaved = true;
    // "silence", "tone", or the path of an audio file played once, then silence.
    std::string source = "silence";
    // The file's frames at the tap's rate and channel count.
    std::vector<float> fileFrames;
    std::uint32_t bufferFrames = 480;
    // Faults; times count from the device's start.
    bool permissionDenied = false;
    std::optional<double> formatChangeAfterMs;
    std::optional<double> missingHostTimeAfterMs;
    std::optional<double> gapAtMs;
    std::int64_t gapFrames = 0;
    double stallMs = 0;

    // Reads the "audio" section; raises ScenarioError for a key of the wrong type or
    // value, or an audio file that cannot be read.
    static SimAudioSettings fromScenario(const Section& audio);
    // The tap's stream format.
    AudioStreamBasicDescription format() const;
};

inline constexpr std::uint32_t kMaximumSimBufferFrames = 65'536;
inline constexpr double kSimToneFrequency = 440;
inline constexpr double kSimToneAmplitude = 0.25;
// Object identifiers of taps and devices start here, clear of the process objects.
inline constexpr AudioObjectID kFirstSimTapOrDevice = 0x2000;

// What a tap was created with, for tests to look at.
struct SimTapRecord {
    std::string name;
    std::string uuid;
    bool exclusive = false;
    bool isPrivate = false;
    CATapMuteBehavior muteBehavior = CATapMuteBehavior::CATapUnmuted;
    bool processRestoreEnabled = true;
    std::vector<std::string> bundleIDs;
    std::vector<AudioObjectID> processes;
};

class SimAggregateDeviceHardware final : public AggregateDeviceHardware {
public:
    explicit SimAggregateDeviceHardware(SimAudioSettings settings);
    ~SimAggregateDeviceHardware() override;

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

    const SimAudioSettings& settings() const { return settings_; }
    // Inspection for tests: taps and devices that exist now, the last device
    // description, and listeners still installed.
    std::optional<SimTapRecord> tap(AudioObjectID tapID) const;
    std::size_t objectCount() const;
    std::optional<json::Value> lastDeviceDescription() const;
    std::size_t listenerCount() const;
    bool running() const;

    // The main thread's stall, once after the device started: its length in ms, or 0.
    double takeStall();

private:
    struct Device {
        AudioObjectID tap = kAudioObjectUnknown;
        AudioDeviceIOProc proc = nullptr;
        void* client = nullptr;
        bool running = false;
    };
    struct Listener {
        AudioObjectID object;
        AudioObjectPropertyAddress address;
        AudioObjectPropertyListenerProc proc;
        void* client;
    };

    void play(AudioObjectID device, AudioDeviceIOProc proc, void* client, std::uint64_t startNs);
    void notifyFormatChange(AudioObjectID tap, std::uint64_t startNs);
    void stopThreads();
    // Waits until the host clock reaches `ns`; false when the device is stopping.
    bool sleepUntil(std::uint64_t ns);

    const SimAudioSettings settings_;
    mutable std::mutex lock_;  // taps, devices, the last description
    std::map<AudioObjectID, SimTapRecord> taps_;
    std::map<AudioObjectID, Device> devices_;
    std::optional<json::Value> lastDescription_;
    AudioObjectID nextObject_ = kFirstSimTapOrDevice;

    // Held while a listener runs, so that removing one waits for it to finish.
    mutable std::mutex listenersLock_;
    std::vector<Listener> listeners_;

    std::mutex wakeLock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread io_;
    std::thread notifier_;
    std::atomic<bool> stallPending_{false};
};

// The main run loop: it has no sources of its own here, so it returns at once,
// except for the scenario's one stall after the device started.
class SimMainRunLoop final : public MainRunLoop {
public:
    explicit SimMainRunLoop(SimAggregateDeviceHardware& hardware) : hardware_(hardware) {}
    void runInDefaultMode(double seconds) override;

private:
    SimAggregateDeviceHardware& hardware_;
};

}  // namespace quorvantel::sim
