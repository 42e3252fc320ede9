// The process frame every command shares: start-up (SIGPIPE ignored, the stop-flag
// handler, non-blocking standard streams), the dispatch of the command, and the one
// failure boundary that turns a failure into the "error" line and exit status 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "capture/emit.h"
#include "capture/platform_wording.h"
#include "capture/process_identity.h"
#include "capture/recording_entry.h"
#include "platform/appkit/workspace_running_applications.h"
#include "platform/coreaudio/process_objects_hal.h"
#include "platform/coreaudio/tap_description_ca.h"
#include "platform/coregraphics/display_list.h"
#include "platform/coregraphics/screen_capture_access.h"
#include "platform/coregraphics/window_list.h"

namespace quorvantel::capture {

inline constexpr const char* kUnrepresentableFailureMessage = "Native audio capture failed.";

// The platform services a command reaches, wired in by main.
struct CapturePlatform {
    const NSWorkspace& workspace;
    AudioProcessObjects& processObjects;
    const CATapDescriptions& tapDescriptions;
    const ScreenCaptureAccess& screenCaptureAccess;
    const WindowList& windowList;
    const DisplayList& displayList;
    IdentityReader readIdentity;
    std::function<std::int32_t()> ownPid;
    std::function<std::int32_t()> parentPid;
    // The helper's own bundle identifier, from its embedded property list.
    std::string ownBundleIdentifier;
    // Milliseconds since 1970 now.
    std::function<double()> wallClockMilliseconds;
    // The recording, run after the preparation checks.
    std::function<void(RecordingContext&)> record;
    std::function<void()> recordingSelfTests;
    // How failure messages name this system.
    PlatformWording wording;
};

// Ignores SIGPIPE (a closed output pipe becomes a write error), installs
// signalHandler for SIGINT and SIGTERM, and adds O_NONBLOCK to standard input and
// output. A stream that is not open fails at its first use, with its own message.
void startUp();

// Runs the command of the arguments (after the program name) inside the failure
// boundary and returns the exit status: 0 when it finished, 1 after an "error" line or
// a failed display query. The error line gets kErrorLineTimeoutMs; if it cannot be
// written either, nothing more is written.
int runCaptureCommand(const std::vector<std::string>& arguments, CapturePlatform& platform, const LineOutput& output,
                      int controlFd);

// Writes {"type":"error","message":…}, or kUnrepresentableFailureMessage when the
// message is not UTF-8 text; a failure to write is swallowed.
void writeErrorLine(const LineOutput& output, const std::string& message);

}  // namespace quorvantel::capture
