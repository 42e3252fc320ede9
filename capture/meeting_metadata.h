// `meeting-metadata`: the title of the selected application's single ordinary window,
// when exactly one exists and its title is clean. Every expected condition (no
// permission, no application, no window list, no title) is reported inside the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/workspace_running_applications.h"
#include "platform/coregraphics/screen_capture_access.h"
#include "platform/coregraphics/window_list.h"
#include "platform/foundation/json.h"

namespace quorvantel::capture {

inline constexpr int kMeetingMetadataSchemaVersion = 1;
// The most window entries examined; a longer list is treated as a failed query.
inline constexpr std::size_t kMaximumWindowEntries = 4096;
// A usable title holds 1 to this many UTF-16 code units after trimming.
inline constexpr std::size_t kMaximumWindowTitleLength = 500;

// {"type":"meeting-metadata","schemaVersion":1,"applicationId":…,"status":…[,"reason":…]}
json::Value meetingMetadataResult(const std::string& bundleId, const std::string& status,
                                  const std::optional<std::string>& reason = std::nullopt);

// The "meeting-metadata" object for the application's processes and the window list
// (nothing when the window server gave none).
json::Value classifyMeetingWindows(const std::string& bundleId, const std::vector<std::int32_t>& pids,
                                   const std::optional<CFWindowInfoArray>& windows);

// The whole command: permission, the application's processes, the window list, and
// a second look at both before classifying.
json::Value meetingMetadata(const std::string& bundleId, const NSWorkspace& workspace,
                            const ScreenCaptureAccess& access, const WindowList& windowList);

// The title trimmed of white space and line breaks at both ends when it then holds 1
// to 500 UTF-16 code units and no control or format character; otherwise nothing.
std::optional<std::string> cleanWindowTitle(const std::string& title);

}  // namespace quorvantel::capture
