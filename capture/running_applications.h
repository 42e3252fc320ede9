// The applications the user can pick from, and the "sources" line of `list`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/appkit/workspace_running_applications.h"
#include "platform/foundation/json.h"

namespace quorvantel::capture {

// The helper family's own applications are never offered, nor is the bare Electron
// runtime (the host while it runs unpackaged).
inline constexpr std::string_view kHelperBundlePrefix = "org.quorvantel.";
inline constexpr std::string_view kElectronBundleIdentifier = "com.github.Electron";

// The system's running applications in their order, keeping only ordinary
// applications (regular activation policy) that have not terminated and have a
// bundle identifier that is neither empty, nor the helper family's, nor Electron's.
std::vector<NSRunningApplication> runningApplications(const NSWorkspace& workspace);

struct Source {
    std::string id;
    std::string name;
};

// One source per bundle identifier (a later application overwrites an earlier one),
// named by its localised name or else its identifier, sorted by name with a
// localised, case-insensitive comparison.
std::vector<Source> selectableSources(const std::vector<NSRunningApplication>& applications);

// {"type":"sources","sources":[{"id":…,"name":…},…]}
json::Value sourcesLine(const std::vector<Source>& sources);

}  // namespace quorvantel::capture
