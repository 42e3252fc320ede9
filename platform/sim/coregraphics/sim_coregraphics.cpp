#include "platform/sim/coregraphics/sim_coregraphics.h"

#include <algorithm>
#include <limits>

namespace quorvantel::sim {
namespace {

// The stand-in's lists hold at most this many displays; far above any machine.
constexpr std::int64_t kSimDisplayLimit = 4096;

CGError errorCode(const Section& displays, std::string_view key) {
    const auto code = displays.integer(key).value_or(0);
    if (code < std::numeric_limits<CGError>::min() || code > std::numeric_limits<CGError>::max()) {
        displays.wrongType(key, "a 32-bit error code");
    }
    return static_cast<CGError>(code);
}

}  // namespace

SimScreenCaptureAccess::SimScreenCaptureAccess(const Section& root)
    : granted_(root.boolean("screenCaptureAccess").value_or(true)) {}

SimWindowList::SimWindowList(const Section& root) : windows_(CFWindowInfoArray{}) {
    if (root.isNull("windows")) {
        windows_.reset();
        return;
    }
    const json::Array* entries = root.array("windows");
    if (entries == nullptr) return;
    for (const json::Value& entry : *entries) {
        if (!entry.isObject()) {
            windows_->push_back(entry);
            continue;
        }
        json::Object dictionary;
        const std::pair<std::string_view, std::string_view> keys[] = {
            {"ownerPid", kCGWindowOwnerPID}, {"layer", kCGWindowLayer}, {"name", kCGWindowName}};
        for (const auto& [scenarioKey, platformKey] : keys) {
            if (const json::Value* value = entry.find(scenarioKey)) dictionary.emplace_back(platformKey, *value);
        }
        windows_->push_back(json::Value(std::move(dictionary)));
    }
}

std::optional<CFWindowInfoArray> SimWindowList::CGWindowListCopyWindowInfo(CGWindowListOption, CGWindowID) const {
    return windows_;
}

SimDisplayList::SimDisplayList(const Section& root) {
    const Section displays = root.section("displays");
    if (const json::Array* online = displays.array("online")) {
        if (static_cast<std::int64_t>(online->size()) > kSimDisplayLimit) {
            throw ScenarioError(displays.pathOf("online") + " must hold at most " + std::to_string(kSimDisplayLimit) +
                                " displays");
        }
        onlineAsleep_.clear();
        for (std::size_t i = 0; i < online->size(); ++i) {
            const std::string path = displays.pathOf("online") + "[" + std::to_string(i) + "]";
            if (!(*online)[i].isObject()) throw ScenarioError(path + " must be an object");
            onlineAsleep_.push_back(Section(&(*online)[i], path).boolean("asleep").value_or(false));
        }
    }
    const auto awake = static_cast<std::uint32_t>(std::count(onlineAsleep_.begin(), onlineAsleep_.end(), false));
    const std::int64_t active = displays.integer("active").value_or(awake);
    if (active < 0 || active > kSimDisplayLimit) {
        displays.wrongType("active", "a display count from 0 to " + std::to_string(kSimDisplayLimit));
    }
    activeCount_ = static_cast<std::uint32_t>(active);
    onlineError_ = errorCode(displays, "onlineError");
    activeError_ = errorCode(displays, "activeError");
}

CGError SimDisplayList::CGGetOnlineDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* onlineDisplays,
                                               std::uint32_t* displayCount) const {
    std::vector<CGDirectDisplayID> ids;
    for (std::size_t i = 0; i < onlineAsleep_.size(); ++i) ids.push_back(kFirstSimDisplay + static_cast<CGDirectDisplayID>(i));
    return copyDisplayList(onlineError_, ids, maxDisplays, onlineDisplays, displayCount);
}

CGError SimDisplayList::CGGetActiveDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                                               std::uint32_t* displayCount) const {
    // The awake online displays are the active ones; a scenario that claims more
    // active displays than that names further identifiers after the online ones.
    std::vector<CGDirectDisplayID> ids;
    for (std::size_t i = 0; i < onlineAsleep_.size() && ids.size() < activeCount_; ++i) {
        if (!onlineAsleep_[i]) ids.push_back(kFirstSimDisplay + static_cast<CGDirectDisplayID>(i));
    }
    CGDirectDisplayID next = kFirstSimDisplay + static_cast<CGDirectDisplayID>(onlineAsleep_.size());
    while (ids.size() < activeCount_) ids.push_back(next++);
    return copyDisplayList(activeError_, ids, maxDisplays, activeDisplays, displayCount);
}

bool SimDisplayList::CGDisplayIsAsleep(CGDirectDisplayID display) const {
    if (display < kFirstSimDisplay || display - kFirstSimDisplay >= onlineAsleep_.size()) return false;
    return onlineAsleep_[display - kFirstSimDisplay];
}

}  // namespace quorvantel::sim
