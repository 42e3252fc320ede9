#include "capture/meeting_metadata.h"

#include <algorithm>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "capture/process_isolation.h"

namespace quorvantel::capture {
namespace {

json::Value unavailable(const std::string& bundleId, const char* reason) {
    return meetingMetadataResult(bundleId, "unavailable", std::string(reason));
}

bool isNumberEqualTo(const json::Value& value, double number) { return value.isNumber() && value.asDouble() == number; }

bool ownedBy(const json::Value& owner, const std::vector<std::int32_t>& pids) {
    if (!owner.isNumber()) return false;
    return std::any_of(pids.begin(), pids.end(), [&](std::int32_t pid) { return isNumberEqualTo(owner, pid); });
}

}  // namespace

json::Value meetingMetadataResult(const std::string& bundleId, const std::string& status,
                                  const std::optional<std::string>& reason) {
    json::Object object{{"type", "meeting-metadata"},
                        {"schemaVersion", kMeetingMetadataSchemaVersion},
                        {"applicationId", bundleId},
                        {"status", status}};
    if (reason) object.emplace_back("reason", *reason);
    return object;
}

std::optional<std::string> cleanWindowTitle(const std::string& title) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(title);
    int32_t begin = 0;
    int32_t end = text.length();
    while (begin < end && u_isUWhiteSpace(text.char32At(begin))) begin = text.moveIndex32(begin, 1);
    while (end > begin) {
        const int32_t previous = text.moveIndex32(end, -1);
        if (!u_isUWhiteSpace(text.char32At(previous))) break;
        end = previous;
    }
    const int32_t length = end - begin;
    if (length < 1 || static_cast<std::size_t>(length) > kMaximumWindowTitleLength) return std::nullopt;
    for (int32_t i = begin; i < end; i = text.moveIndex32(i, 1)) {
        const int8_t category = u_charType(text.char32At(i));
        if (category == U_CONTROL_CHAR || category == U_FORMAT_CHAR) return std::nullopt;
    }
    std::string trimmed;
    text.tempSubStringBetween(begin, end).toUTF8String(trimmed);
    return trimmed;
}

json::Value classifyMeetingWindows(const std::string& bundleId, const std::vector<std::int32_t>& pids,
                                   const std::optional<CFWindowInfoArray>& windows) {
    if (pids.empty()) return unavailable(bundleId, "app-unavailable");
    if (!windows || windows->size() > kMaximumWindowEntries) return unavailable(bundleId, "query-failed");
    const json::Value* chosen = nullptr;
    for (const json::Value& entry : *windows) {
        if (!entry.isObject()) return unavailable(bundleId, "query-failed");
        const json::Value* owner = entry.find(kCGWindowOwnerPID);
        if (owner == nullptr || !ownedBy(*owner, pids)) continue;
        const json::Value* layer = entry.find(kCGWindowLayer);
        if (layer == nullptr || !layer->isNumber()) return unavailable(bundleId, "query-failed");
        // Only layer 0 holds ordinary windows; menus, panels and overlays sit above it.
        if (!isNumberEqualTo(*layer, 0)) continue;
        if (chosen != nullptr) return meetingMetadataResult(bundleId, "ambiguous");
        chosen = &entry;
    }
    const json::Value* name = chosen ? chosen->find(kCGWindowName) : nullptr;
    if (name == nullptr || !name->isString()) return unavailable(bundleId, "no-window-title");
    const auto title = cleanWindowTitle(name->asString());
    if (!title) return unavailable(bundleId, "no-window-title");
    json::Value result = meetingMetadataResult(bundleId, "available");
    result.asObject().emplace_back("windowTitle", *title);
    return result;
}

json::Value meetingMetadata(const std::string& bundleId, const NSWorkspace& workspace,
                            const ScreenCaptureAccess& access, const WindowList& windowList) {
    if (!access.CGPreflightScreenCaptureAccess()) return meetingMetadataResult(bundleId, "denied");
    const auto pids = selectedApplicationPids(workspace, bundleId);
    if (pids.empty()) return unavailable(bundleId, "app-unavailable");
    const auto windows = windowList.CGWindowListCopyWindowInfo(kCGWindowListExcludeDesktopElements, kCGNullWindowID);
    // The windows must belong to the processes that were looked up.
    if (selectedApplicationPids(workspace, bundleId) != pids) return unavailable(bundleId, "app-unavailable");
    if (!access.CGPreflightScreenCaptureAccess()) return meetingMetadataResult(bundleId, "denied");
    return classifyMeetingWindows(bundleId, pids, windows);
}

}  // namespace quorvantel::capture
