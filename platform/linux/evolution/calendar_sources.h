// The calendars the registry knows: its enabled sources of one kind, in a stable
// order, and whose calendar each one is.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include "platform/linux/evolution/glib_handle.h"

namespace quorvantel::evolution {

struct CalendarSource {
    // The source UID: the calendar's identifier.
    std::string uid;
    std::string displayName;
    GObjectHandle<ESource> source;
};

// The enabled sources carrying the extension (E_SOURCE_EXTENSION_CALENDAR or
// E_SOURCE_EXTENSION_TASK_LIST) whose ancestors are enabled too, ordered by display
// name and then UID: the registry's own order changes from run to run.
std::vector<CalendarSource> enabledSources(ESourceRegistry* registry, const char* extension);

// The calendar owner's e-mail address: the account address the source's WebDAV
// settings carry, else the identity of the account collection it belongs to when
// that is an address, else the address the calendar's backend reports. Nothing
// when none is named.
std::optional<std::string> ownerAddress(ESourceRegistry* registry, ESource* source, ECalClient* client);

}  // namespace quorvantel::evolution
