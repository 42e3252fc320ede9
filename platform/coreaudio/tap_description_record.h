// CATapDescription as it is on macOS too: a plain record of what the tap is told, with a
// fresh random UUID. The devices of each platform read it when a tap is created or
// changed.
#pragma once

#include "platform/coreaudio/tap_description_ca.h"

namespace quorvantel {

class TapDescriptionRecord final : public CATapDescription {
public:
    TapDescriptionRecord(bool exclusive, std::vector<AudioObjectID> processes);

    bool isExclusive() const override { return exclusive_; }
    bool isMixdown() const override { return true; }
    bool isMono() const override { return false; }
    const std::vector<AudioObjectID>& processes() const override { return processes_; }
    void setProcesses(std::vector<AudioObjectID> processes) override { processes_ = std::move(processes); }
    const std::string& name() const override { return name_; }
    void setName(std::string name) override { name_ = std::move(name); }
    bool isPrivate() const override { return private_; }
    void setPrivate(bool isPrivate) override { private_ = isPrivate; }
    CATapMuteBehavior muteBehavior() const override { return muteBehavior_; }
    void setMuteBehavior(CATapMuteBehavior behavior) override { muteBehavior_ = behavior; }
    bool isProcessRestoreEnabled() const override { return processRestoreEnabled_; }
    void setProcessRestoreEnabled(bool enabled) override { processRestoreEnabled_ = enabled; }
    const std::vector<std::string>& bundleIDs() const override { return bundleIDs_; }
    void setBundleIDs(std::vector<std::string> bundleIDs) override { bundleIDs_ = std::move(bundleIDs); }
    std::string UUIDString() const override { return uuid_; }

private:
    bool exclusive_;
    std::vector<AudioObjectID> processes_;
    std::string name_;
    bool private_ = false;
    CATapMuteBehavior muteBehavior_ = CATapMuteBehavior::CATapUnmuted;
    // A new description restores its processes by bundle identifier until told not to.
    bool processRestoreEnabled_ = true;
    std::vector<std::string> bundleIDs_;
    std::string uuid_;
};

class TapDescriptionRecords final : public CATapDescriptions {
public:
    std::unique_ptr<CATapDescription> initStereoGlobalTapButExcludeProcesses(
        std::vector<AudioObjectID> processes) const override;
    std::unique_ptr<CATapDescription> initStereoMixdownOfProcesses(std::vector<AudioObjectID> processes) const override;
};

// A random (version 4) UUID in upper-case text.
std::string randomUUIDString();

}  // namespace quorvantel
