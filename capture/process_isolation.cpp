#include "capture/process_isolation.h"

#include <algorithm>

#include "capture/capture_failure.h"
#include "capture/owned_audio_processes.h"
#include "capture/running_applications.h"

namespace quorvantel::capture {

std::vector<std::int32_t> selectedApplicationPids(const NSWorkspace& workspace, const std::string& bundleId) {
    std::vector<std::int32_t> pids;
    for (const auto& application : runningApplications(workspace)) {
        if (*application.bundleIdentifier == bundleId) pids.push_back(application.processIdentifier);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

ProcessIsolation ProcessIsolation::prepare(bool allSystem, const std::string& bundleId,
                                           const IsolationPlatform& platform) {
    ProcessIsolation isolation(platform);
    isolation.allSystem_ = allSystem;
    if (!allSystem) {
        isolation.bundleId_ = bundleId;
        if (selectedApplicationPids(platform.workspace, bundleId).empty()) fail(kNotRunningMessage);
        const auto second = selectedApplicationPids(platform.workspace, bundleId);
        if (second.size() != 1) fail(kMultipleInstancesMessage);
        const ProcessIdentity first = platform.readIdentity(second.front());
        const auto third = selectedApplicationPids(platform.workspace, bundleId);
        const ProcessIdentity again = platform.readIdentity(second.front());
        if (third != second || !first.valid || !sameProcess(first, again)) fail(kChangedWhilePreparingMessage);
        // The list that was verified, not the first look: an instance that quit
        // before the second look must not count as a change a second later.
        isolation.selectedPids_ = second;
        isolation.target_ = first;
    } else {
        isolation.target_ = platform.readIdentity(platform.parentPid);
    }
    isolation.own_ = platform.readIdentity(platform.ownPid);
    if (!isolation.target_.valid || !isolation.own_.valid) fail(kUnverifiedSourceMessage);

    if (allSystem) {
        const auto host = platform.workspace.runningApplicationWithProcessIdentifier(isolation.target_.pid);
        if (host && host->bundleIdentifier && !host->bundleIdentifier->empty()) {
            isolation.tapBundleIdentifiers_.push_back(*host->bundleIdentifier);
        }
        const std::string& own = platform.ownBundleIdentifier;
        if (!own.empty() && std::find(isolation.tapBundleIdentifiers_.begin(), isolation.tapBundleIdentifiers_.end(),
                                      own) == isolation.tapBundleIdentifiers_.end()) {
            isolation.tapBundleIdentifiers_.push_back(own);
        }
        isolation.tapDescription_ = platform.tapDescriptions.initStereoGlobalTapButExcludeProcesses({});
        isolation.tapDescription_->setName(kAllSystemTapName);
    } else {
        isolation.tapBundleIdentifiers_.push_back(bundleId);
        isolation.tapDescription_ = platform.tapDescriptions.initStereoMixdownOfProcesses({});
        isolation.tapDescription_->setName(kApplicationTapName);
    }
    CATapDescription& description = *isolation.tapDescription_;
    description.setPrivate(true);
    description.setMuteBehavior(CATapMuteBehavior::CATapUnmuted);
    // The tap follows processes only as this helper proves them; restoring by bundle
    // identifier would pick up a relaunched or look-alike process.
    description.setProcessRestoreEnabled(false);
    description.setBundleIDs(isolation.tapBundleIdentifiers_);

    isolation.refreshProcesses();
    return isolation;
}

void ProcessIsolation::refreshProcesses(const TapDescriptionApplier& applyToTap) {
    const ProcessIdentity now = platform_->readIdentity(target_.pid);
    if (!sameProcess(target_, now)) fail(allSystem_ ? kHostExitedMessage : kApplicationClosedMessage);

    std::vector<AudioObjectID> list = ownedAudioProcesses(target_, platform_->processObjects, platform_->readIdentity);
    if (allSystem_ && !sameProcess(own_, target_)) {
        for (const AudioObjectID object :
             ownedAudioProcesses(own_, platform_->processObjects, platform_->readIdentity)) {
            if (std::find(list.begin(), list.end(), object) == list.end()) list.push_back(object);
        }
        std::sort(list.begin(), list.end());
    }
    if (list == tappedProcesses_) return;
    tapDescription_->setProcesses(list);
    tapDescription_->setProcessRestoreEnabled(false);
    if (applyToTap) {
        if (const OSStatus status = applyToTap(*tapDescription_); status != kAudioHardwareNoError) {
            failCoreAudioCall(kUpdateSourcesOperation, status);
        }
    }
    tappedProcesses_ = std::move(list);
}

void ProcessIsolation::refreshOncePerSecond(const TapDescriptionApplier& applyToTap) {
    if (!allSystem_ && selectedApplicationPids(platform_->workspace, bundleId_) != selectedPids_) {
        fail(kApplicationClosedMessage);
    }
    refreshProcesses(applyToTap);
}

}  // namespace quorvantel::capture
