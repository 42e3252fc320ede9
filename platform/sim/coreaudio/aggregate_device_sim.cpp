#include "platform/sim/coreaudio/aggregate_device_sim.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/coremedia/host_clock.h"
#include "platform/sim/audiotoolbox/audio_file_source.h"

namespace quorvantel::sim {
namespace {

constexpr std::uint32_t kMaximumSimChannels = 8;

std::uint32_t bitsOf(SimSampleType type) {
    switch (type) {
        case SimSampleType::float64: return 64;
        case SimSampleType::int16: return 16;
        case SimSampleType::int24: return 24;
        default: return 32;
    }
}

std::uint64_t framesToNs(double frames, double rate) { return std::uint64_t(std::llround(frames * 1e9 / rate)); }

// One sample in the tap's type, little-endian.
void store(std::uint8_t* at, SimSampleType type, double v) {
    v = std::clamp(v, -1.0, 1.0);
    switch (type) {
        case SimSampleType::float32: {
            const float f = float(v);
            std::memcpy(at, &f, 4);
            return;
        }
        case SimSampleType::float64: std::memcpy(at, &v, 8); return;
        case SimSampleType::int16: {
            const auto s = std::uint16_t(std::int16_t(std::lround(v * 32'767.0)));
            at[0] = std::uint8_t(s);
            at[1] = std::uint8_t(s >> 8);
            return;
        }
        case SimSampleType::int24: {
            const auto s = std::uint32_t(std::int32_t(std::lround(v * 8'388'607.0)));
            at[0] = std::uint8_t(s);
            at[1] = std::uint8_t(s >> 8);
            at[2] = std::uint8_t(s >> 16);
            return;
        }
        case SimSampleType::int32: {
            const auto s = std::uint32_t(std::int32_t(std::llround(v * 2'147'483'647.0)));
            for (int k = 0; k < 4; ++k) at[k] = std::uint8_t(s >> (8 * k));
            return;
        }
    }
}

bool sameAddress(const AudioObjectPropertyAddress& a, const AudioObjectPropertyAddress& b) {
    return a.mSelector == b.mSelector && a.mScope == b.mScope && a.mElement == b.mElement;
}

}  // namespace

SimAudioSettings SimAudioSettings::fromScenario(const Section& audio) {
    SimAudioSettings s;
    const Section format = audio.section("format");
    if (const auto rate = format.number("sampleRate")) {
        if (!std::isfinite(*rate) || *rate < 1 || *rate > 1e6) {
            throw ScenarioError(format.pathOf("sampleRate") + " must be a positive sample rate");
        }
        s.sampleRate = *rate;
    }
    if (const auto channels = format.integer("channels")) {
        if (*channels < 1 || *channels > kMaximumSimChannels) {
            throw ScenarioError(format.pathOf("channels") + " must be 1 to 8");
        }
        s.channels = std::uint32_t(*channels);
    }
    if (const auto type = format.string("sampleType")) {
        static const std::pair<const char*, SimSampleType> names[] = {
            {"float32", SimSampleType::float32}, {"float64", SimSampleType::float64}, {"int16", SimSampleType::int16},
            {"int24", SimSampleType::int24},     {"int32", SimSampleType::int32}};
        const auto found = std::find_if(std::begin(names), std::end(names), [&](auto& n) { return *type == n.first; });
        if (found == std::end(names)) {
            throw ScenarioError(format.pathOf("sampleType") + " must be float32, float64, int16, int24 or int32");
        }
        s.sampleType = found->second;
    }
    if (const auto interleaved = format.boolean("interleaved")) s.interleaved = *interleaved;
    if (const auto frames = audio.integer("bufferFrames")) {
        if (*frames < 1 || *frames > kMaximumSimBufferFrames) {
            throw ScenarioError(audio.pathOf("bufferFrames") + " must be 1 to 65536");
        }
        s.bufferFrames = std::uint32_t(*frames);
    }
    if (const auto source = audio.string("source")) {
        s.source = *source;
        if (s.source != "silence" && s.source != "tone") {
            s.fileFrames = readAudioFileFrames(s.source, s.sampleRate, s.channels);
        }
    }
    const Section faults = audio.section("faults");
    s.permissionDenied = faults.boolean("permissionDenied").value_or(false);
    s.formatChangeAfterMs = faults.number("formatChangeAfterMs");
    s.missingHostTimeAfterMs = faults.number("missingHostTimeAfterMs");
    s.gapAtMs = faults.number("gapAtMs");
    s.gapFrames = faults.integer("gapFrames").value_or(0);
    s.stallMs = faults.number("stallMs").value_or(0);
    if (s.gapFrames < 0) throw ScenarioError(faults.pathOf("gapFrames") + " must not be negative");
    if (s.stallMs < 0) throw ScenarioError(faults.pathOf("stallMs") + " must not be negative");
    return s;
}

AudioStreamBasicDescription SimAudioSettings::format() const {
    AudioStreamBasicDescription f;
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    const bool isFloat = sampleType == SimSampleType::float32 || sampleType == SimSampleType::float64;
    f.mFormatFlags = (isFloat ? kAudioFormatFlagIsFloat : kAudioFormatFlagIsSignedInteger) | kAudioFormatFlagIsPacked;
    if (!interleaved) f.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    f.mBitsPerChannel = bitsOf(sampleType);
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = channels;
    f.mBytesPerFrame = f.mBytesPerPacket = (interleaved ? channels : 1) * f.mBitsPerChannel / 8;
    return f;
}

SimAggregateDeviceHardware::SimAggregateDeviceHardware(SimAudioSettings settings) : settings_(std::move(settings)) {}

SimAggregateDeviceHardware::~SimAggregateDeviceHardware() { stopThreads(); }

OSStatus SimAggregateDeviceHardware::AudioHardwareCreateProcessTap(const CATapDescription& description,
                                                                   AudioObjectID& outTapID) {
    if (settings_.permissionDenied) return kAudioDevicePermissionsError;
    if (!description.isMixdown() || description.isMono()) return kAudioHardwareIllegalOperationError;
    const std::lock_guard<std::mutex> guard(lock_);
    SimTapRecord record;
    record.name = description.name();
    record.uuid = description.UUIDString();
    record.exclusive = description.isExclusive();
    record.isPrivate = description.isPrivate();
    record.muteBehavior = description.muteBehavior();
    record.processRestoreEnabled = description.isProcessRestoreEnabled();
    record.bundleIDs = description.bundleIDs();
    record.processes = description.processes();
    outTapID = nextObject_++;
    taps_[outTapID] = std::move(record);
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioHardwareDestroyProcessTap(AudioObjectID tapID) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (taps_.erase(tapID) == 0) return kAudioHardwareBadObjectError;
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioHardwareCreateAggregateDevice(const json::Value& description,
                                                                        AudioObjectID& outDeviceID) {
    const auto text = [&](const char* key) {
        const json::Value* v = description.find(key);
        return v != nullptr && v->isString() && !v->asString().empty();
    };
    const auto flag = [&](const char* key) {
        const json::Value* v = description.find(key);
        return v != nullptr && v->isBool();
    };
    if (!description.isObject() || !text(kAudioAggregateDeviceNameKey) || !text(kAudioAggregateDeviceUIDKey) ||
        !flag(kAudioAggregateDeviceIsPrivateKey) || !flag(kAudioAggregateDeviceIsStackedKey) ||
        !flag(kAudioAggregateDeviceTapAutoStartKey)) {
        return kAudio_ParamError;
    }
    const json::Value* subdevices = description.find(kAudioAggregateDeviceSubDeviceListKey);
    const json::Value* taps = description.find(kAudioAggregateDeviceTapListKey);
    if (subdevices == nullptr || !subdevices->isArray() || !subdevices->asArray().empty() || taps == nullptr ||
        !taps->isArray() || taps->asArray().size() != 1) {
        return kAudioHardwareIllegalOperationError;
    }
    const json::Value* tapUID = taps->asArray()[0].find(kAudioSubTapUIDKey);
    if (tapUID == nullptr || !tapUID->isString()) return kAudioHardwareIllegalOperationError;
    const std::lock_guard<std::mutex> guard(lock_);
    const auto tap = std::find_if(taps_.begin(), taps_.end(),
                                  [&](const auto& entry) { return entry.second.uuid == tapUID->asString(); });
    if (tap == taps_.end()) return kAudioHardwareBadObjectError;
    outDeviceID = nextObject_++;
    devices_[outDeviceID] = Device{tap->first};
    lastDescription_ = description;
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioHardwareDestroyAggregateDevice(AudioObjectID deviceID) {
    bool wasRunning = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto device = devices_.find(deviceID);
        if (device == devices_.end()) return kAudioHardwareBadObjectError;
        wasRunning = device->second.running;
    }
    if (wasRunning) stopThreads();
    const std::lock_guard<std::mutex> guard(lock_);
    devices_.erase(deviceID);
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioObjectGetPropertyData(AudioObjectID object,
                                                                const AudioObjectPropertyAddress& address,
                                                                std::uint32_t& ioDataSize, void* data) {
    const std::lock_guard<std::mutex> guard(lock_);
    const bool isTap = taps_.count(object) != 0;
    const bool isDevice = devices_.count(object) != 0;
    if (!isTap && !isDevice) return kAudioHardwareBadObjectError;
    const bool tapFormat = isTap && address.mSelector == kAudioTapPropertyFormat &&
                           address.mScope == kAudioObjectPropertyScopeGlobal;
    const bool deviceFormat = isDevice && address.mSelector == kAudioDevicePropertyStreamFormat &&
                              address.mScope == kAudioObjectPropertyScopeInput;
    if ((!tapFormat && !deviceFormat) || address.mElement != kAudioObjectPropertyElementMain) {
        return kAudioHardwareUnknownPropertyError;
    }
    const AudioStreamBasicDescription format = settings_.format();
    if (data == nullptr || ioDataSize < sizeof format) return kAudioHardwareBadPropertySizeError;
    std::memcpy(data, &format, sizeof format);
    ioDataSize = sizeof format;
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioObjectSetPropertyData(AudioObjectID object,
                                                                const AudioObjectPropertyAddress& address,
                                                                std::uint32_t dataSize, const void* data) {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto tap = taps_.find(object);
    if (tap == taps_.end()) return kAudioHardwareBadObjectError;
    if (address.mSelector != kAudioTapPropertyDescription || address.mScope != kAudioObjectPropertyScopeGlobal) {
        return kAudioHardwareUnknownPropertyError;
    }
    if (data == nullptr || dataSize != sizeof(const CATapDescription*)) return kAudioHardwareBadPropertySizeError;
    const CATapDescription* description;
    std::memcpy(&description, data, sizeof description);
    if (description == nullptr || description->UUIDString() != tap->second.uuid) {
        return kAudioHardwareIllegalOperationError;
    }
    tap->second.processes = description->processes();
    tap->second.bundleIDs = description->bundleIDs();
    tap->second.processRestoreEnabled = description->isProcessRestoreEnabled();
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioObjectAddPropertyListener(AudioObjectID object,
                                                                    const AudioObjectPropertyAddress& address,
                                                                    AudioObjectPropertyListenerProc listener,
                                                                    void* clientData) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (taps_.count(object) == 0 && devices_.count(object) == 0) return kAudioHardwareBadObjectError;
    }
    if (listener == nullptr) return kAudio_ParamError;
    const std::lock_guard<std::mutex> guard(listenersLock_);
    listeners_.push_back(Listener{object, address, listener, clientData});
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioObjectRemovePropertyListener(AudioObjectID object,
                                                                       const AudioObjectPropertyAddress& address,
                                                                       AudioObjectPropertyListenerProc listener,
                                                                       void* clientData) {
    const std::lock_guard<std::mutex> guard(listenersLock_);
    const auto found = std::find_if(listeners_.begin(), listeners_.end(), [&](const Listener& l) {
        return l.object == object && sameAddress(l.address, address) && l.proc == listener && l.client == clientData;
    });
    if (found == listeners_.end()) return kAudioHardwareUnknownPropertyError;
    listeners_.erase(found);
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioDeviceCreateIOProcID(AudioObjectID deviceID, AudioDeviceIOProc proc,
                                                               void* clientData, AudioDeviceIOProcID& outProcID) {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadDeviceError;
    if (proc == nullptr || device->second.proc != nullptr) return kAudioHardwareIllegalOperationError;
    device->second.proc = proc;
    device->second.client = clientData;
    outProcID = proc;
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioDeviceDestroyIOProcID(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadDeviceError;
    if (procID == nullptr || device->second.proc != procID || device->second.running) {
        return kAudioHardwareIllegalOperationError;
    }
    device->second.proc = nullptr;
    device->second.client = nullptr;
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioDeviceStart(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    AudioDeviceIOProc proc;
    void* client;
    AudioObjectID tap;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto device = devices_.find(deviceID);
        if (device == devices_.end()) return kAudioHardwareBadDeviceError;
        if (procID == nullptr || device->second.proc != procID) return kAudioHardwareIllegalOperationError;
        if (device->second.running) return kAudioHardwareNoError;
        // One recording at a time on the stand-in machine.
        if (io_.joinable()) return kAudioHardwareIllegalOperationError;
        device->second.running = true;
        proc = device->second.proc;
        client = device->second.client;
        tap = device->second.tap;
    }
    {
        const std::lock_guard<std::mutex> guard(wakeLock_);
        stopping_ = false;
    }
    const std::uint64_t startNs = CMClockGetHostTimeSystemUnits();
    stallPending_.store(settings_.stallMs > 0, std::memory_order_release);
    io_ = std::thread([this, deviceID, proc, client, startNs] { play(deviceID, proc, client, startNs); });
    if (settings_.formatChangeAfterMs) {
        notifier_ = std::thread([this, tap, startNs] { notifyFormatChange(tap, startNs); });
    }
    return kAudioHardwareNoError;
}

OSStatus SimAggregateDeviceHardware::AudioDeviceStop(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto device = devices_.find(deviceID);
        if (device == devices_.end()) return kAudioHardwareBadDeviceError;
        if (procID == nullptr || device->second.proc != procID) return kAudioHardwareIllegalOperationError;
        if (!device->second.running) return kAudioHardwareNoError;
    }
    stopThreads();
    return kAudioHardwareNoError;
}

void SimAggregateDeviceHardware::stopThreads() {
    {
        const std::lock_guard<std::mutex> guard(wakeLock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (io_.joinable()) io_.join();
    if (notifier_.joinable()) notifier_.join();
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto& [id, device] : devices_) device.running = false;
}

bool SimAggregateDeviceHardware::sleepUntil(std::uint64_t ns) {
    const std::uint64_t now = CMClockGetHostTimeSystemUnits();
    // The host clock is CLOCK_MONOTONIC, which steady_clock reads on Linux.
    const auto due = std::chrono::steady_clock::now() + std::chrono::nanoseconds(ns > now ? ns - now : 0);
    std::unique_lock<std::mutex> guard(wakeLock_);
    return !wake_.wait_until(guard, due, [this] { return stopping_; });
}

void SimAggregateDeviceHardware::play(AudioObjectID device, AudioDeviceIOProc proc, void* client,
                                      std::uint64_t startNs) {
    const SimAudioSettings& s = settings_;
    const AudioStreamBasicDescription format = s.format();
    const std::uint32_t sampleBytes = format.mBitsPerChannel / 8;
    const std::uint32_t buffers = s.interleaved ? 1 : s.channels;
    const std::uint32_t channelsPerBuffer = s.interleaved ? s.channels : 1;
    const std::size_t bufferBytes = std::size_t(s.bufferFrames) * channelsPerBuffer * sampleBytes;
    // Everything the callback loop needs is allocated before it runs.
    std::vector<std::uint8_t> storage(bufferBytes * buffers);
    AudioBufferList list;
    list.mNumberBuffers = std::min<std::uint32_t>(buffers, kAudioBufferListCapacity);

    const bool tone = s.source == "tone";
    std::uint64_t played = 0;  // frames of the source played so far
    std::int64_t clockShift = 0;  // source frames the source clock jumped
    for (;;) {
        if (!sleepUntil(startNs + framesToNs(double(played + s.bufferFrames), s.sampleRate))) return;
        const std::uint64_t now = CMClockGetHostTimeSystemUnits();
        const double elapsedMs = double(now - startNs) / 1e6;
        if (s.gapAtMs && clockShift == 0 && elapsedMs >= *s.gapAtMs) clockShift = s.gapFrames;
        const bool hostTimeValid = !(s.missingHostTimeAfterMs && elapsedMs >= *s.missingHostTimeAfterMs);

        for (std::uint32_t j = 0; j < s.bufferFrames; ++j) {
            const std::uint64_t n = played + j;
            for (std::uint32_t c = 0; c < s.channels; ++c) {
                double v = 0;
                if (tone) {
                    v = kSimToneAmplitude * std::sin(2 * std::numbers::pi * kSimToneFrequency * double(n) / s.sampleRate);
                } else if (n * s.channels + c < s.fileFrames.size()) {
                    v = s.fileFrames[n * s.channels + c];
                }
                const std::size_t at = s.interleaved ? (std::size_t(j) * s.channels + c) * sampleBytes
                                                     : c * bufferBytes + std::size_t(j) * sampleBytes;
                store(storage.data() + at, s.sampleType, v);
            }
        }
        for (std::uint32_t b = 0; b < list.mNumberBuffers; ++b) {
            list.mBuffers[b] = AudioBuffer{channelsPerBuffer, std::uint32_t(bufferBytes), storage.data() + b * bufferBytes};
        }
        AudioTimeStamp input;
        input.mSampleTime = double(std::int64_t(played) + clockShift);
        input.mHostTime = startNs + framesToNs(input.mSampleTime, s.sampleRate);
        input.mRateScalar = 1;
        input.mFlags = kAudioTimeStampSampleTimeValid | kAudioTimeStampRateScalarValid |
                       (hostTimeValid ? kAudioTimeStampHostTimeValid : 0);
        AudioTimeStamp current = input;
        current.mSampleTime = input.mSampleTime + s.bufferFrames;
        current.mHostTime = now;
        proc(device, &current, &list, &input, nullptr, nullptr, client);
        played += s.bufferFrames;
    }
}

void SimAggregateDeviceHardware::notifyFormatChange(AudioObjectID tap, std::uint64_t startNs) {
    if (!sleepUntil(startNs + std::uint64_t(*settings_.formatChangeAfterMs * 1e6))) return;
    const AudioObjectPropertyAddress address{kAudioTapPropertyFormat, kAudioObjectPropertyScopeGlobal,
                                             kAudioObjectPropertyElementMain};
    const std::lock_guard<std::mutex> guard(listenersLock_);
    for (const Listener& l : listeners_) {
        if (l.object == tap && sameAddress(l.address, address)) l.proc(tap, 1, &address, l.client);
    }
}

std::optional<SimTapRecord> SimAggregateDeviceHardware::tap(AudioObjectID tapID) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = taps_.find(tapID);
    if (found == taps_.end()) return std::nullopt;
    return found->second;
}

std::size_t SimAggregateDeviceHardware::objectCount() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return taps_.size() + devices_.size();
}

std::optional<json::Value> SimAggregateDeviceHardware::lastDeviceDescription() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return lastDescription_;
}

std::size_t SimAggregateDeviceHardware::listenerCount() const {
    const std::lock_guard<std::mutex> guard(listenersLock_);
    return listeners_.size();
}

bool SimAggregateDeviceHardware::running() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return std::any_of(devices_.begin(), devices_.end(), [](const auto& d) { return d.second.running; });
}

double SimAggregateDeviceHardware::takeStall() {
    return stallPending_.exchange(false, std::memory_order_acq_rel) ? settings_.stallMs : 0;
}

void SimMainRunLoop::runInDefaultMode(double) {
    const double stall = hardware_.takeStall();
    if (stall > 0) std::this_thread::sleep_for(std::chrono::microseconds(std::llround(stall * 1000)));
}

}  // namespace quorvantel::sim
