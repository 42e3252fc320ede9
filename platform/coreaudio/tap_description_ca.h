// CATapDescription: what a process tap records. Either a stereo mixdown of the listed
// processes, or a stereo tap of every process except the listed ones; plus its name,
// privacy, mute behaviour, automatic restore by bundle identifier and a UUID that the
// aggregate device names the tap by. A changed description is applied to a running
// tap through kAudioTapPropertyDescription.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel {

enum class CATapMuteBehavior : std::int32_t {
    CATapUnmuted = 0,          // the tapped audio keeps playing normally
    CATapMuted = 1,            // the tapped audio is no longer heard
    CATapMutedWhenTapped = 2,  // muted while the tap is read
};

class CATapDescription {
public:
    virtual ~CATapDescription() = default;

    // true: every process except `processes`; false: only `processes`.
    virtual bool isExclusive() const = 0;
    // Always true for the two initialisers below.
    virtual bool isMixdown() const = 0;
    virtual bool isMono() const = 0;

    virtual const std::vector<AudioObjectID>& processes() const = 0;
    virtual void setProcesses(std::vector<AudioObjectID> processes) = 0;
    virtual const std::string& name() const = 0;
    virtual void setName(std::string name) = 0;
    virtual bool isPrivate() const = 0;
    virtual void setPrivate(bool isPrivate) = 0;
    virtual CATapMuteBehavior muteBehavior() const = 0;
    virtual void setMuteBehavior(CATapMuteBehavior behavior) = 0;
    virtual bool isProcessRestoreEnabled() const = 0;
    virtual void setProcessRestoreEnabled(bool enabled) = 0;
    virtual const std::vector<std::string>& bundleIDs() const = 0;
    virtual void setBundleIDs(std::vector<std::string> bundleIDs) = 0;
    // The description's UUID as text (8-4-4-4-12 upper-case hexadecimal digits).
    virtual std::string UUIDString() const = 0;
};

// The class side of CATapDescription: its two stereo initialisers.
class CATapDescriptions {
public:
    virtual ~CATapDescriptions() = default;
    virtual std::unique_ptr<CATapDescription> initStereoGlobalTapButExcludeProcesses(
        std::vector<AudioObjectID> processes) const = 0;
    virtual std::unique_ptr<CATapDescription> initStereoMixdownOfProcesses(std::vector<AudioObjectID> processes) const = 0;
};

}  // namespace quorvantel
