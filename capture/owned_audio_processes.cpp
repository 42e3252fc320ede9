#include "capture/owned_audio_processes.h"

#include <algorithm>

#include "capture/capture_failure.h"
#include "capture/proven_descendant.h"

namespace quorvantel::capture {
namespace {

constexpr AudioObjectPropertyAddress kProcessListAddress{
    kAudioHardwarePropertyProcessObjectList, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
constexpr AudioObjectPropertyAddress kProcessPidAddress{kAudioProcessPropertyPID, kAudioObjectPropertyScopeGlobal,
                                                        kAudioObjectPropertyElementMain};

// The process behind an object, or nothing when the object does not say.
bool readObjectPid(AudioProcessObjects& objects, AudioObjectID object, std::int32_t& pid) {
    std::uint32_t size = sizeof pid;
    std::int32_t value = 0;
    if (objects.AudioObjectGetPropertyData(object, kProcessPidAddress, size, &value) != kAudioHardwareNoError ||
        size != sizeof value) {
        return false;
    }
    pid = value;
    return true;
}

}  // namespace

std::vector<AudioObjectID> ownedAudioProcesses(const ProcessIdentity& root, AudioProcessObjects& objects,
                                               const IdentityReader& read) {
    std::uint32_t size = 0;
    OSStatus status = objects.AudioObjectGetPropertyDataSize(kAudioObjectSystemObject, kProcessListAddress, size);
    if (status != kAudioHardwareNoError) failCoreAudioCall(kListProcessesOperation, status);
    if (size > kMaximumProcessListBytes || size % sizeof(AudioObjectID) != 0) fail(kTooManyProcessesMessage);

    std::vector<AudioObjectID> list(size / sizeof(AudioObjectID));
    std::uint32_t returned = size;
    status = objects.AudioObjectGetPropertyData(kAudioObjectSystemObject, kProcessListAddress, returned,
                                                list.empty() ? nullptr : list.data());
    if (status != kAudioHardwareNoError) failCoreAudioCall(kListProcessesOperation, status);
    if (returned % sizeof(AudioObjectID) != 0 || returned > size) fail(kProcessesChangedMessage);
    list.resize(returned / sizeof(AudioObjectID));

    std::vector<AudioObjectID> owned;
    for (const AudioObjectID object : list) {
        std::int32_t pid = 0;
        if (!readObjectPid(objects, object, pid)) continue;
        const ProcessIdentity identity = read(pid);
        if (!identity.valid || !root.valid || identity.uid != root.uid) continue;
        if (!provenDescendant(identity, root, read)) continue;
        // The object may have been handed to another process while the chain was read.
        std::int32_t pidAgain = 0;
        if (!readObjectPid(objects, object, pidAgain) || pidAgain != pid) continue;
        if (!sameProcess(identity, read(pid))) continue;
        owned.push_back(object);
    }
    std::sort(owned.begin(), owned.end());
    return owned;
}

}  // namespace quorvantel::capture
