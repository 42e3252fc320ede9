#include "platform/linux/pipewire/pipewire_devices.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <thread>

#include "platform/coremedia/host_clock.h"
#include "platform/kernel/proc_bsd_info.h"
#include "platform/linux/pipewire/pipewire_process_objects.h"
#include "platform/linux/pipewire/stream_clock.h"

namespace quorvantel::pipewire {
namespace {

constexpr std::uint32_t kBytesPerFrame = kCaptureChannels * sizeof(float);
// How long stopping waits for a callback that is still running.
constexpr auto kCallbackDrainLimit = std::chrono::seconds(2);

bool sameAddress(const AudioObjectPropertyAddress& a, const AudioObjectPropertyAddress& b) {
    return a.mSelector == b.mSelector && a.mScope == b.mScope && a.mElement == b.mElement;
}

std::uint64_t ticksToNs(std::int64_t ticks, const spa_fraction& rate) {
    if (ticks <= 0 || rate.denom == 0) return 0;
    return std::uint64_t(ticks) * SPA_NSEC_PER_SEC * rate.num / rate.denom;
}

std::int32_t parentProcess(std::int32_t pid) {
    ProcBsdInfo info;
    return readProcBsdInfo(pid, info) ? info.pbi_ppid : 0;
}

}  // namespace

AudioStreamBasicDescription captureFormat() {
    AudioStreamBasicDescription f;
    f.mSampleRate = kCaptureRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    f.mBitsPerChannel = 32;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = kCaptureChannels;
    f.mBytesPerFrame = f.mBytesPerPacket = kBytesPerFrame;
    return f;
}

struct PipeWireDevices::Capture {
    PipeWireDevices* owner = nullptr;
    AudioObjectID device = kAudioObjectUnknown;
    AudioDeviceIOProc proc = nullptr;
    void* client = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    std::map<std::pair<std::uint32_t, std::uint32_t>, pw_proxy*> links;
    std::atomic<bool> running{false};
    std::atomic<std::uint32_t> inCallback{0};
    // Touched only on PipeWire's real-time thread.
    StreamClock clock{kCaptureRate};
    double sampleTime = 0;

    static void onProcess(void* data);
    static void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*);
    static void onParamChanged(void* data, std::uint32_t id, const spa_pod* param);
};

void PipeWireDevices::Capture::onProcess(void* data) {
    auto* capture = static_cast<Capture*>(data);
    pw_buffer* buffer = pw_stream_dequeue_buffer(capture->stream);
    if (buffer == nullptr) return;
    capture->inCallback.fetch_add(1, std::memory_order_acq_rel);
    spa_buffer* spa = buffer->buffer;
    if (capture->running.load(std::memory_order_acquire) && spa->n_datas >= 1 && spa->datas[0].data != nullptr &&
        spa->datas[0].chunk != nullptr) {
        spa_data& d = spa->datas[0];
        const std::uint32_t offset = std::min(d.chunk->offset, d.maxsize);
        const std::uint32_t size = std::min(d.chunk->size, d.maxsize - offset);
        auto* bytes = static_cast<std::uint8_t*>(d.data) + offset;
        const std::uint32_t frames = size / kBytesPerFrame;
        // A chunk marked empty carries no samples: it is silence.
        if ((d.chunk->flags & SPA_CHUNK_FLAG_EMPTY) != 0) std::memset(bytes, 0, std::size_t(frames) * kBytesPerFrame);
        pw_time time{};
        const bool timed = pw_stream_get_time_n(capture->stream, &time, sizeof time) == 0 && time.now > 0;
        const std::uint64_t delay = ticksToNs(time.delay, time.rate);
        const std::uint64_t reported = std::uint64_t(time.now) > delay ? std::uint64_t(time.now) - delay : 0;
        for (std::uint32_t done = 0; done < frames;) {
            const std::uint32_t piece = std::min(frames - done, kMaximumCallbackFrames);
            AudioBufferList list;
            list.mNumberBuffers = 1;
            list.mBuffers[0] = AudioBuffer{kCaptureChannels, piece * kBytesPerFrame, bytes + std::size_t(done) * kBytesPerFrame};
            AudioTimeStamp input;
            input.mSampleTime = capture->sampleTime;
            input.mHostTime = capture->clock.place(reported + std::uint64_t(done) * SPA_NSEC_PER_SEC / kCaptureRate, piece);
            input.mRateScalar = 1;
            input.mFlags = kAudioTimeStampSampleTimeValid | kAudioTimeStampRateScalarValid |
                           (timed ? kAudioTimeStampHostTimeValid : 0);
            AudioTimeStamp now = input;
            now.mSampleTime = input.mSampleTime + piece;
            now.mHostTime = CMClockGetHostTimeSystemUnits();
            capture->proc(capture->device, &now, &list, &input, nullptr, nullptr, capture->client);
            capture->sampleTime += piece;
            done += piece;
        }
    }
    capture->inCallback.fetch_sub(1, std::memory_order_release);
    pw_stream_queue_buffer(capture->stream, buffer);
}

void PipeWireDevices::Capture::onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
    auto* capture = static_cast<Capture*>(data);
    if (state == PW_STREAM_STATE_ERROR ||
        (state == PW_STREAM_STATE_UNCONNECTED && capture->running.load(std::memory_order_acquire))) {
        capture->owner->notifyChanged();
    }
}

void PipeWireDevices::Capture::onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    if (id != SPA_PARAM_Format || param == nullptr) return;
    spa_audio_info_raw info{};
    if (spa_format_audio_raw_parse(param, &info) < 0 || info.format != SPA_AUDIO_FORMAT_F32 ||
        info.rate != kCaptureRate || info.channels != kCaptureChannels) {
        static_cast<Capture*>(data)->owner->notifyChanged();
    }
}

namespace {

pw_stream_events streamEvents() {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = PipeWireDevices::Capture::onStateChanged;
    events.param_changed = PipeWireDevices::Capture::onParamChanged;
    events.process = PipeWireDevices::Capture::onProcess;
    return events;
}
const pw_stream_events kStreamEvents = streamEvents();

}  // namespace

PipeWireDevices::PipeWireDevices(PipeWireGraph& graph, ApplicationProcesses applicationProcesses)
    : graph_(graph), applicationProcesses_(std::move(applicationProcesses)) {}

void PipeWireDevices::describe(Tap& tap, const CATapDescription& description) const {
    tap.clients.clear();
    for (const AudioObjectID object : description.processes()) {
        if (const auto client = clientOfObject(object)) tap.clients.insert(*client);
    }
    tap.applicationPids.clear();
    if (tap.exclusive && applicationProcesses_ && !description.bundleIDs().empty()) {
        for (const std::int32_t pid : applicationProcesses_(description.bundleIDs())) tap.applicationPids.insert(pid);
    }
}

PipeWireDevices::~PipeWireDevices() {
    if (graph_.loop() == nullptr) return;
    const PipeWireGraph::Lock lock(graph_);
    graph_.setObserver({}, {});
    for (auto& [id, device] : devices_) stopCapture(device);
}

OSStatus PipeWireDevices::AudioHardwareCreateProcessTap(const CATapDescription& description, AudioObjectID& outTapID) {
    graph_.connect();
    if (!description.isMixdown() || description.isMono()) return kAudioHardwareIllegalOperationError;
    const PipeWireGraph::Lock lock(graph_);
    if (graph_.lost()) return kAudioHardwareNotRunningError;
    Tap tap;
    tap.uuid = description.UUIDString();
    tap.exclusive = description.isExclusive();
    describe(tap, description);
    outTapID = nextObject_++;
    taps_[outTapID] = std::move(tap);
    graph_.setObserver([this] { relinkAll(); }, [this] { notifyChanged(); });
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioHardwareDestroyProcessTap(AudioObjectID tapID) {
    const PipeWireGraph::Lock lock(graph_);
    return taps_.erase(tapID) == 0 ? kAudioHardwareBadObjectError : kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioHardwareCreateAggregateDevice(const json::Value& description, AudioObjectID& outDeviceID) {
    const auto text = [&](const char* key) -> const json::Value* {
        const json::Value* v = description.isObject() ? description.find(key) : nullptr;
        return v != nullptr && v->isString() && !v->asString().empty() ? v : nullptr;
    };
    const json::Value* name = text(kAudioAggregateDeviceNameKey);
    if (name == nullptr || text(kAudioAggregateDeviceUIDKey) == nullptr) return kAudio_ParamError;
    const json::Value* subdevices = description.find(kAudioAggregateDeviceSubDeviceListKey);
    const json::Value* taps = description.find(kAudioAggregateDeviceTapListKey);
    // A private device of exactly one tap is the only kind there is here.
    if (subdevices == nullptr || !subdevices->isArray() || !subdevices->asArray().empty() || taps == nullptr ||
        !taps->isArray() || taps->asArray().size() != 1) {
        return kAudioHardwareIllegalOperationError;
    }
    const json::Value* tapUID = taps->asArray()[0].find(kAudioSubTapUIDKey);
    if (tapUID == nullptr || !tapUID->isString()) return kAudioHardwareIllegalOperationError;
    const PipeWireGraph::Lock lock(graph_);
    const auto tap = std::find_if(taps_.begin(), taps_.end(),
                                  [&](const auto& entry) { return entry.second.uuid == tapUID->asString(); });
    if (tap == taps_.end()) return kAudioHardwareBadObjectError;
    outDeviceID = nextObject_++;
    Device& device = devices_[outDeviceID];
    device.tap = tap->first;
    device.name = name->asString();
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioHardwareDestroyAggregateDevice(AudioObjectID deviceID) {
    const PipeWireGraph::Lock lock(graph_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadObjectError;
    stopCapture(device->second);
    devices_.erase(device);
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                     std::uint32_t& ioDataSize, void* data) {
    const PipeWireGraph::Lock lock(graph_);
    const bool isTap = taps_.count(object) != 0;
    const bool isDevice = devices_.count(object) != 0;
    if (!isTap && !isDevice) return kAudioHardwareBadObjectError;
    const bool tapFormat =
        isTap && address.mSelector == kAudioTapPropertyFormat && address.mScope == kAudioObjectPropertyScopeGlobal;
    const bool deviceFormat = isDevice && address.mSelector == kAudioDevicePropertyStreamFormat &&
                              address.mScope == kAudioObjectPropertyScopeInput;
    if ((!tapFormat && !deviceFormat) || address.mElement != kAudioObjectPropertyElementMain) {
        return kAudioHardwareUnknownPropertyError;
    }
    const AudioStreamBasicDescription format = captureFormat();
    if (data == nullptr || ioDataSize < sizeof format) return kAudioHardwareBadPropertySizeError;
    std::memcpy(data, &format, sizeof format);
    ioDataSize = sizeof format;
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                     std::uint32_t dataSize, const void* data) {
    const PipeWireGraph::Lock lock(graph_);
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
    if (graph_.lost()) return kAudioHardwareNotRunningError;
    describe(tap->second, *description);
    relinkAll();
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioObjectAddPropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                         AudioObjectPropertyListenerProc listener, void* clientData) {
    {
        const PipeWireGraph::Lock lock(graph_);
        if (taps_.count(object) == 0 && devices_.count(object) == 0) return kAudioHardwareBadObjectError;
    }
    if (listener == nullptr) return kAudio_ParamError;
    const std::lock_guard<std::mutex> guard(listenersLock_);
    listeners_.push_back(Listener{object, address, listener, clientData});
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioObjectRemovePropertyListener(AudioObjectID object,
                                                            const AudioObjectPropertyAddress& address,
                                                            AudioObjectPropertyListenerProc listener, void* clientData) {
    const std::lock_guard<std::mutex> guard(listenersLock_);
    const auto found = std::find_if(listeners_.begin(), listeners_.end(), [&](const Listener& l) {
        return l.object == object && sameAddress(l.address, address) && l.proc == listener && l.client == clientData;
    });
    if (found == listeners_.end()) return kAudioHardwareUnknownPropertyError;
    listeners_.erase(found);
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioDeviceCreateIOProcID(AudioObjectID deviceID, AudioDeviceIOProc proc, void* clientData,
                                                    AudioDeviceIOProcID& outProcID) {
    const PipeWireGraph::Lock lock(graph_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadDeviceError;
    if (proc == nullptr || device->second.proc != nullptr) return kAudioHardwareIllegalOperationError;
    device->second.proc = proc;
    device->second.client = clientData;
    outProcID = proc;
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioDeviceDestroyIOProcID(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    const PipeWireGraph::Lock lock(graph_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadDeviceError;
    if (procID == nullptr || device->second.proc != procID || device->second.capture) {
        return kAudioHardwareIllegalOperationError;
    }
    device->second.proc = nullptr;
    device->second.client = nullptr;
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioDeviceStart(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    const PipeWireGraph::Lock lock(graph_);
    const auto found = devices_.find(deviceID);
    if (found == devices_.end()) return kAudioHardwareBadDeviceError;
    Device& device = found->second;
    if (procID == nullptr || device.proc != procID) return kAudioHardwareIllegalOperationError;
    if (device.capture) return kAudioHardwareNoError;
    if (graph_.lost()) return kAudioHardwareNotRunningError;

    auto capture = std::make_unique<Capture>();
    capture->owner = this;
    capture->device = deviceID;
    capture->proc = device.proc;
    capture->client = device.client;
    // Not connected to any source by the session manager, never moved to another
    // one, and processed while nothing is linked, so silence keeps the timeline.
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_NODE_NAME, "quorvantel-capture",
        PW_KEY_NODE_DESCRIPTION, device.name.c_str(), PW_KEY_NODE_AUTOCONNECT, "false", PW_KEY_NODE_DONT_RECONNECT,
        "true", PW_KEY_NODE_ALWAYS_PROCESS, "true", nullptr);
    capture->stream = pw_stream_new(graph_.core(), device.name.c_str(), props);
    if (capture->stream == nullptr) return kAudioHardwareUnspecifiedError;
    pw_stream_add_listener(capture->stream, &capture->listener, &kStreamEvents, capture.get());
    std::uint8_t podBuffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer, sizeof podBuffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = kCaptureRate;
    info.channels = kCaptureChannels;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    capture->running.store(true, std::memory_order_release);
    if (pw_stream_connect(capture->stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                          static_cast<pw_stream_flags>(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS), params,
                          1) < 0) {
        device.capture = std::move(capture);
        stopCapture(device);
        return kAudioHardwareUnspecifiedError;
    }
    device.capture = std::move(capture);

    // Ready once the graph shows the stream's node with both input ports.
    timespec deadline{};
    pw_thread_loop_get_time(graph_.loop(), &deadline, std::int64_t(kCaptureStreamReadySeconds) * SPA_NSEC_PER_SEC);
    for (;;) {
        const std::uint32_t node = pw_stream_get_node_id(device.capture->stream);
        if (node != SPA_ID_INVALID) {
            int inputs = 0;
            for (const auto& port : graph_.ports()) inputs += port.node == node && !port.output ? 1 : 0;
            if (inputs >= int(kCaptureChannels)) break;
        }
        if (graph_.lost() || pw_thread_loop_timed_wait_full(graph_.loop(), &deadline) != 0) {
            stopCapture(device);
            return kAudioHardwareNotRunningError;
        }
    }
    relink(device);
    return kAudioHardwareNoError;
}

OSStatus PipeWireDevices::AudioDeviceStop(AudioObjectID deviceID, AudioDeviceIOProcID procID) {
    const PipeWireGraph::Lock lock(graph_);
    const auto device = devices_.find(deviceID);
    if (device == devices_.end()) return kAudioHardwareBadDeviceError;
    if (procID == nullptr || device->second.proc != procID) return kAudioHardwareIllegalOperationError;
    stopCapture(device->second);
    return kAudioHardwareNoError;
}

void PipeWireDevices::stopCapture(Device& device) {
    if (!device.capture) return;
    Capture& capture = *device.capture;
    capture.running.store(false, std::memory_order_release);
    // A callback that already began finishes before the stream goes away.
    const auto limit = std::chrono::steady_clock::now() + kCallbackDrainLimit;
    while (capture.inCallback.load(std::memory_order_acquire) != 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto& [ends, proxy] : capture.links) pw_proxy_destroy(proxy);
    capture.links.clear();
    spa_hook_remove(&capture.listener);
    pw_stream_destroy(capture.stream);
    device.capture.reset();
}

void PipeWireDevices::relinkAll() {
    for (auto& [id, device] : devices_) relink(device);
}

void PipeWireDevices::relink(Device& device) {
    if (!device.capture || graph_.lost()) return;
    const auto tap = taps_.find(device.tap);
    if (tap == taps_.end()) return;
    const std::uint32_t captureNode = pw_stream_get_node_id(device.capture->stream);
    if (captureNode == SPA_ID_INVALID) return;
    const auto ports = graph_.ports();
    std::set<std::uint32_t> clients = tap->second.clients;
    for (const std::uint32_t client :
         clientsOfProcessTrees(graph_.clientProcesses(), tap->second.applicationPids, parentProcess)) {
        clients.insert(client);
    }
    const auto planned = plannedLinks(selectedStreams(graph_.nodes(), tap->second.exclusive, clients), ports, captureNode);
    auto& links = device.capture->links;
    for (auto it = links.begin(); it != links.end();) {
        if (planned.count(it->first) == 0) {
            pw_proxy_destroy(it->second);
            it = links.erase(it);
        } else {
            ++it;
        }
    }
    const auto nodeOf = [&](std::uint32_t port) {
        for (const auto& p : ports) {
            if (p.id == port) return p.node;
        }
        return std::uint32_t(SPA_ID_INVALID);
    };
    for (const auto& ends : planned) {
        if (links.count(ends) != 0) continue;
        pw_properties* props = pw_properties_new(PW_KEY_OBJECT_LINGER, "false", nullptr);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", nodeOf(ends.first));
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", ends.first);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", captureNode);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", ends.second);
        auto* proxy = static_cast<pw_proxy*>(
            pw_core_create_object(graph_.core(), "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK,
                                  &props->dict, 0));
        pw_properties_free(props);
        if (proxy != nullptr) links[ends] = proxy;
    }
}

void PipeWireDevices::notifyChanged() {
    const std::lock_guard<std::mutex> guard(listenersLock_);
    for (const Listener& l : listeners_) l.proc(l.object, 1, &l.address, l.client);
}

}  // namespace quorvantel::pipewire
