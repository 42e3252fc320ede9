#include "platform/linux/pipewire/pipewire_process_objects.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quorvantel::pipewire {
namespace {

bool globalMain(const AudioObjectPropertyAddress& address) {
    return address.mScope == kAudioObjectPropertyScopeGlobal && address.mElement == kAudioObjectPropertyElementMain;
}

}  // namespace

std::optional<std::uint32_t> clientOfObject(AudioObjectID object) {
    if (object < kFirstClientObject) return std::nullopt;
    return object - kFirstClientObject;
}

OSStatus PipeWireProcessObjects::AudioObjectGetPropertyDataSize(AudioObjectID object,
                                                                const AudioObjectPropertyAddress& address,
                                                                std::uint32_t& outDataSize) {
    graph_.connect();
    if (!globalMain(address)) return kAudioHardwareUnknownPropertyError;
    const PipeWireGraph::Lock lock(graph_);
    const auto clients = graph_.clientProcesses();
    if (object == kAudioObjectSystemObject && address.mSelector == kAudioHardwarePropertyProcessObjectList) {
        outDataSize = static_cast<std::uint32_t>(clients.size() * sizeof(AudioObjectID));
        return kAudioHardwareNoError;
    }
    const auto client = clientOfObject(object);
    if (!client || clients.count(*client) == 0) return kAudioHardwareBadObjectError;
    if (address.mSelector != kAudioProcessPropertyPID) return kAudioHardwareUnknownPropertyError;
    outDataSize = sizeof(std::int32_t);
    return kAudioHardwareNoError;
}

OSStatus PipeWireProcessObjects::AudioObjectGetPropertyData(AudioObjectID object,
                                                            const AudioObjectPropertyAddress& address,
                                                            std::uint32_t& ioDataSize, void* data) {
    graph_.connect();
    if (!globalMain(address)) return kAudioHardwareUnknownPropertyError;
    const PipeWireGraph::Lock lock(graph_);
    const auto clients = graph_.clientProcesses();
    if (object == kAudioObjectSystemObject && address.mSelector == kAudioHardwarePropertyProcessObjectList) {
        // Like Core Audio, a smaller buffer receives as many whole objects as fit.
        std::vector<AudioObjectID> objects;
        for (const auto& [id, pid] : clients) objects.push_back(clientObject(id));
        const std::size_t count = std::min<std::size_t>(objects.size(), ioDataSize / sizeof(AudioObjectID));
        if (count > 0) std::memcpy(data, objects.data(), count * sizeof(AudioObjectID));
        ioDataSize = static_cast<std::uint32_t>(count * sizeof(AudioObjectID));
        return kAudioHardwareNoError;
    }
    const auto client = clientOfObject(object);
    const auto found = client ? clients.find(*client) : clients.end();
    if (found == clients.end()) return kAudioHardwareBadObjectError;
    if (address.mSelector != kAudioProcessPropertyPID) return kAudioHardwareUnknownPropertyError;
    if (ioDataSize < sizeof(std::int32_t)) return kAudioHardwareBadPropertySizeError;
    std::memcpy(data, &found->second, sizeof found->second);
    ioDataSize = sizeof found->second;
    return kAudioHardwareNoError;
}

}  // namespace quorvantel::pipewire
