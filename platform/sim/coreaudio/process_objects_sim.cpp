#include "platform/sim/coreaudio/process_objects_sim.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvantel::sim {

SimAudioProcessObjects::SimAudioProcessObjects(const Section& audio) {
    const json::Array* processes = audio.array("processes");
    if (processes == nullptr) return;
    for (std::size_t i = 0; i < processes->size(); ++i) {
        const json::Value& pid = (*processes)[i];
        if (pid.kind() != json::Kind::integer || pid.asInt() < std::numeric_limits<std::int32_t>::min() ||
            pid.asInt() > std::numeric_limits<std::int32_t>::max()) {
            throw ScenarioError(audio.pathOf("processes") + "[" + std::to_string(i) + "] must be a process identifier");
        }
        pids_.push_back(static_cast<std::int32_t>(pid.asInt()));
    }
}

bool SimAudioProcessObjects::isProcessObject(AudioObjectID object) const {
    return object >= kFirstSimProcessObject && object - kFirstSimProcessObject < pids_.size();
}

OSStatus SimAudioProcessObjects::AudioObjectGetPropertyDataSize(AudioObjectID object,
                                                                const AudioObjectPropertyAddress& address,
                                                                std::uint32_t& outDataSize) {
    if (object != kAudioObjectSystemObject && !isProcessObject(object)) return kAudioHardwareBadObjectError;
    if (address.mScope != kAudioObjectPropertyScopeGlobal || address.mElement != kAudioObjectPropertyElementMain) {
        return kAudioHardwareUnknownPropertyError;
    }
    if (object == kAudioObjectSystemObject && address.mSelector == kAudioHardwarePropertyProcessObjectList) {
        outDataSize = static_cast<std::uint32_t>(pids_.size() * sizeof(AudioObjectID));
        return kAudioHardwareNoError;
    }
    if (isProcessObject(object) && address.mSelector == kAudioProcessPropertyPID) {
        outDataSize = sizeof(std::int32_t);
        return kAudioHardwareNoError;
    }
    return kAudioHardwareUnknownPropertyError;
}

OSStatus SimAudioProcessObjects::AudioObjectGetPropertyData(AudioObjectID object,
                                                            const AudioObjectPropertyAddress& address,
                                                            std::uint32_t& ioDataSize, void* data) {
    std::uint32_t size = 0;
    if (const OSStatus status = AudioObjectGetPropertyDataSize(object, address, size); status != kAudioHardwareNoError) {
        return status;
    }
    if (address.mSelector == kAudioHardwarePropertyProcessObjectList) {
        // Like Core Audio, a smaller buffer receives as many whole objects as fit.
        const std::size_t count = std::min<std::size_t>(pids_.size(), ioDataSize / sizeof(AudioObjectID));
        auto* objects = static_cast<AudioObjectID*>(data);
        for (std::size_t i = 0; i < count; ++i) objects[i] = kFirstSimProcessObject + static_cast<AudioObjectID>(i);
        ioDataSize = static_cast<std::uint32_t>(count * sizeof(AudioObjectID));
        return kAudioHardwareNoError;
    }
    if (ioDataSize < sizeof(std::int32_t)) return kAudioHardwareBadPropertySizeError;
    const std::int32_t pid = pids_[object - kFirstSimProcessObject];
    std::memcpy(data, &pid, sizeof pid);
    ioDataSize = sizeof pid;
    return kAudioHardwareNoError;
}

}  // namespace quorvantel::sim
