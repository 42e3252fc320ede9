#include "platform/linux/x11/x_display_list.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <xcb/dpms.h>
#include <xcb/randr.h>

namespace quorvantel::x11 {
namespace {

bool hasExtension(xcb_connection_t* c, xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, extension);
    return data != nullptr && data->present != 0;
}

}  // namespace

bool displaysAsleep(bool hasDpms, bool enabled, DpmsPowerLevel level) {
    return hasDpms && enabled && level != DpmsPowerLevel::on;
}

const XDisplayList::Snapshot& XDisplayList::snapshot() const {
    if (snapshot_) return *snapshot_;
    Snapshot s;
    xcb_connection_t* c = connection_.get();
    if (c == nullptr) {
        s.error = kCGErrorFailure;
        return snapshot_.emplace(std::move(s));
    }
    bool monitors = false;
    if (hasExtension(c, &xcb_randr_id)) {
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            c, xcb_randr_query_version(c, kRandrMajorVersion, kRandrMinorVersion), nullptr));
        monitors = version && (version->major_version > kRandrMajorVersion ||
                               (version->major_version == kRandrMajorVersion &&
                                version->minor_version >= kRandrMinorVersion));
    }
    if (monitors) {
        Reply<xcb_randr_get_monitors_reply_t> all(
            xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, connection_.root(), 0), nullptr));
        Reply<xcb_randr_get_monitors_reply_t> active(
            xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, connection_.root(), 1), nullptr));
        if (!all || !active) {
            s.error = kCGErrorFailure;
            return snapshot_.emplace(std::move(s));
        }
        // A display is named by its monitor's position in the full list, counted from 1.
        std::vector<xcb_atom_t> names;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(all.get()); it.rem > 0; xcb_randr_monitor_info_next(&it)) {
            names.push_back(it.data->name);
            s.online.push_back(static_cast<CGDirectDisplayID>(names.size()));
        }
        for (auto it = xcb_randr_get_monitors_monitors_iterator(active.get()); it.rem > 0;
             xcb_randr_monitor_info_next(&it)) {
            const auto found = std::find(names.begin(), names.end(), it.data->name);
            if (found != names.end()) s.active.push_back(static_cast<CGDirectDisplayID>(found - names.begin() + 1));
        }
    } else {
        s.online = {1};
        s.active = {1};
    }
    bool hasDpms = false, enabled = false;
    DpmsPowerLevel level = DpmsPowerLevel::on;
    if (hasExtension(c, &xcb_dpms_id)) {
        Reply<xcb_dpms_capable_reply_t> capable(xcb_dpms_capable_reply(c, xcb_dpms_capable(c), nullptr));
        if (capable && capable->capable != 0) {
            Reply<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(c, xcb_dpms_info(c), nullptr));
            if (info) {
                hasDpms = true;
                enabled = info->state != 0;
                level = static_cast<DpmsPowerLevel>(info->power_level);
            }
        }
    }
    s.asleep = displaysAsleep(hasDpms, enabled, level);
    // Sleeping displays draw nothing.
    if (s.asleep) s.active.clear();
    return snapshot_.emplace(std::move(s));
}

CGError XDisplayList::CGGetOnlineDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* onlineDisplays,
                                             std::uint32_t* displayCount) const {
    const Snapshot& s = snapshot();
    return copyDisplayList(s.error, s.online, maxDisplays, onlineDisplays, displayCount);
}

CGError XDisplayList::CGGetActiveDisplayList(std::uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                                             std::uint32_t* displayCount) const {
    const Snapshot& s = snapshot();
    return copyDisplayList(s.error, s.active, maxDisplays, activeDisplays, displayCount);
}

bool XDisplayList::CGDisplayIsAsleep(CGDirectDisplayID display) const {
    const Snapshot& s = snapshot();
    return s.asleep && std::find(s.online.begin(), s.online.end(), display) != s.online.end();
}

}  // namespace quorvantel::x11
