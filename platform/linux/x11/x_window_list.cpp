#include "platform/linux/x11/x_window_list.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quorvantel::x11 {
namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    if (!reply) return XCB_ATOM_NONE;
    return reply->atom;
}

// WM_NAME in the STRING type is Latin-1.
std::string latin1ToUtf8(const std::uint8_t* bytes, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                      std::uint32_t longs) {
    return xcb_get_property(c, 0, window, property, type, 0, longs);
}

}  // namespace

std::optional<CFWindowInfoArray> XWindowList::CGWindowListCopyWindowInfo(CGWindowListOption, CGWindowID) const {
    xcb_connection_t* c = connection_.get();
    if (c == nullptr) return std::nullopt;
    const xcb_atom_t clientList = internAtom(c, "_NET_CLIENT_LIST");
    const xcb_atom_t wmPid = internAtom(c, "_NET_WM_PID");
    const xcb_atom_t netWmName = internAtom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = internAtom(c, "UTF8_STRING");
    const xcb_atom_t windowType = internAtom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t typeNormal = internAtom(c, "_NET_WM_WINDOW_TYPE_NORMAL");
    const xcb_atom_t typeDialog = internAtom(c, "_NET_WM_WINDOW_TYPE_DIALOG");
    const xcb_atom_t typeDesktop = internAtom(c, "_NET_WM_WINDOW_TYPE_DESKTOP");

    Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(
        c, askProperty(c, connection_.root(), clientList, XCB_ATOM_WINDOW, kMaximumClientListWindows), nullptr));
    if (!list || list->type != XCB_ATOM_WINDOW || list->format != 32) return std::nullopt;
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    const std::size_t count = static_cast<std::size_t>(xcb_get_property_value_length(list.get())) / 4;

    // Every question goes out before the first answer is awaited: one round trip.
    struct Questions {
        xcb_get_property_cookie_t pid, netName, name, type;
        xcb_get_window_attributes_cookie_t attributes;
    };
    const std::uint32_t nameLongs = kMaximumWindowNameBytes / 4;
    std::vector<Questions> questions;
    questions.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        questions.push_back({askProperty(c, ids[i], wmPid, XCB_ATOM_CARDINAL, 1),
                             askProperty(c, ids[i], netWmName, utf8, nameLongs),
                             askProperty(c, ids[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, nameLongs),
                             askProperty(c, ids[i], windowType, XCB_ATOM_ATOM, 16),
                             xcb_get_window_attributes(c, ids[i])});
    }

    CFWindowInfoArray windows;
    for (std::size_t i = 0; i < count; ++i) {
        Reply<xcb_get_property_reply_t> pid(xcb_get_property_reply(c, questions[i].pid, nullptr));
        Reply<xcb_get_property_reply_t> netName(xcb_get_property_reply(c, questions[i].netName, nullptr));
        Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(c, questions[i].name, nullptr));
        Reply<xcb_get_property_reply_t> type(xcb_get_property_reply(c, questions[i].type, nullptr));
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, questions[i].attributes, nullptr));
        // A window destroyed since the list was read is no longer a window.
        if (!attributes) continue;

        int layer = 0;
        if (type && type->type == XCB_ATOM_ATOM && type->format == 32 && xcb_get_property_value_length(type.get()) >= 4) {
            // The first type the window names is its preferred one.
            const xcb_atom_t preferred = static_cast<const xcb_atom_t*>(xcb_get_property_value(type.get()))[0];
            if (preferred == typeDesktop) continue;
            if (preferred != typeNormal && preferred != typeDialog) layer = kFloatingWindowLayer;
        }
        json::Object entry;
        entry.emplace_back(std::string(kCGWindowNumber), static_cast<std::int64_t>(ids[i]));
        if (pid && pid->type == XCB_ATOM_CARDINAL && pid->format == 32 && xcb_get_property_value_length(pid.get()) == 4) {
            const std::uint32_t value = *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()));
            entry.emplace_back(std::string(kCGWindowOwnerPID), static_cast<std::int64_t>(value));
        }
        entry.emplace_back(std::string(kCGWindowLayer), static_cast<std::int64_t>(layer));
        const auto* netBytes = netName ? static_cast<const char*>(xcb_get_property_value(netName.get())) : nullptr;
        if (netName && netName->type == utf8 && netName->format == 8) {
            entry.emplace_back(std::string(kCGWindowName),
                               std::string(netBytes, static_cast<std::size_t>(xcb_get_property_value_length(netName.get()))));
        } else if (name && name->format == 8 && (name->type == XCB_ATOM_STRING || name->type == utf8)) {
            const auto* bytes = static_cast<const std::uint8_t*>(xcb_get_property_value(name.get()));
            const auto length = static_cast<std::size_t>(xcb_get_property_value_length(name.get()));
            entry.emplace_back(std::string(kCGWindowName), name->type == utf8
                                                               ? std::string(reinterpret_cast<const char*>(bytes), length)
                                                               : latin1ToUtf8(bytes, length));
        }
        entry.emplace_back(std::string(kCGWindowIsOnscreen), attributes->map_state == XCB_MAP_STATE_VIEWABLE);
        windows.emplace_back(std::move(entry));
    }
    return windows;
}

}  // namespace quorvantel::x11
