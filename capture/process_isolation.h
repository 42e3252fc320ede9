// Which audio-producing processes a recording's tap includes (one selected
// application and its proven descendants) or excludes (all-system mode: the host's
// process tree and the helper's own), decided before the tap exists and re-decided
// while it runs. An application that quits, restarts or gains a second instance ends
// app-only capture instead of silently switching to another process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/process_identity.h"
#include "platform/appkit/workspace_running_applications.h"
#include "platform/coreaudio/process_objects_hal.h"
#include "platform/coreaudio/tap_description_ca.h"

namespace quorvantel::capture {

inline constexpr const char* kNotRunningMessage =
    "The selected application is no longer running. Open it and select it again.";
inline constexpr const char* kMultipleInstancesMessage =
    "The selected application is unavailable or has multiple instances. Open one instance and select it again.";
inline constexpr const char* kChangedWhilePreparingMessage =
    "The selected application changed while preparing capture. Select it again.";
inline constexpr const char* kUnverifiedSourceMessage =
    "macOS could not verify the recording source process. Try recording again.";
inline constexpr const char* kApplicationClosedMessage =
    "The selected application closed or restarted. Recording stopped to preserve app-only capture. Start a new "
    "recording.";
inline constexpr const char* kHostExitedMessage = "Tovrel's recording host exited. Recording stopped.";
inline constexpr const char* kUpdateSourcesOperation = "update computer audio sources";

inline constexpr const char* kAllSystemTapName = "Tovrel all computer audio";
inline constexpr const char* kApplicationTapName = "Tovrel selected application audio";

// The process identifiers of every selectable application with exactly this bundle
// identifier, sorted ascending.
std::vector<std::int32_t> selectedApplicationPids(const NSWorkspace& workspace, const std::string& bundleId);

// What process isolation reads: the running applications, the Core Audio process
// objects, process identities, the two identifiers of the helper's own process, and
// its own bundle identifier.
struct IsolationPlatform {
    const NSWorkspace& workspace;
    AudioProcessObjects& processObjects;
    const CATapDescriptions& tapDescriptions;
    IdentityReader readIdentity;
    std::int32_t ownPid = 0;
    std::int32_t parentPid = 0;
    std::string ownBundleIdentifier;
};

// Applies a changed tap description to the running tap (kAudioTapPropertyDescription)
// and returns the platform's status.
using TapDescriptionApplier = std::function<OSStatus(const CATapDescription&)>;

class ProcessIsolation {
public:
    // The preparation checks of a recording, before its tap exists: selects the
    // application (bundleId empty in all-system mode), reads the target and the
    // helper's own identity, creates the tap description with its name, privacy,
    // unmuted behaviour, no automatic restore and its bundle identifiers, and gives it
    // its first process list. Raises the selection failures.
    static ProcessIsolation prepare(bool allSystem, const std::string& bundleId, const IsolationPlatform& platform);

    // Verifies the target, recomputes the process list and, when it changed, gives it
    // to the tap description and, when a tap exists (applyToTap set), to the tap.
    void refreshProcesses(const TapDescriptionApplier& applyToTap = {});
    // The check a recording runs once per second: in application mode the selected
    // application must still run as the same single instance; then refreshProcesses.
    void refreshOncePerSecond(const TapDescriptionApplier& applyToTap);

    bool allSystem() const { return allSystem_; }
    const std::string& bundleId() const { return bundleId_; }
    const std::vector<std::int32_t>& selectedPids() const { return selectedPids_; }
    const ProcessIdentity& target() const { return target_; }
    const ProcessIdentity& own() const { return own_; }
    const std::vector<AudioObjectID>& tappedProcesses() const { return tappedProcesses_; }
    // The selected identifier (application mode), or those to exclude by bundle: the
    // host's, then the helper's own.
    const std::vector<std::string>& tapBundleIdentifiers() const { return tapBundleIdentifiers_; }
    CATapDescription& tapDescription() { return *tapDescription_; }

private:
    explicit ProcessIsolation(const IsolationPlatform& platform) : platform_(&platform) {}

    const IsolationPlatform* platform_;
    bool allSystem_ = false;
    std::string bundleId_;
    std::vector<std::int32_t> selectedPids_;
    ProcessIdentity target_;
    ProcessIdentity own_;
    std::vector<AudioObjectID> tappedProcesses_;
    std::vector<std::string> tapBundleIdentifiers_;
    std::unique_ptr<CATapDescription> tapDescription_;
};

}  // namespace quorvantel::capture
