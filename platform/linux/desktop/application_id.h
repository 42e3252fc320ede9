// Where a process's desktop entry id comes from, by the freedesktop conventions: the
// systemd unit a launcher put it in, the variables GLib's launcher sets, or the
// Flatpak sandbox's description of itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::desktop {

// The application unit of a process from the text of /proc/<pid>/cgroup: the last
// component of its cgroup path named app-….service or app-….scope (the unified
// hierarchy's path when there is one, else the systemd controller's). Nothing when the
// process is in no application unit.
std::optional<std::string> applicationUnit(std::string_view cgroupFile);

// The desktop entry id in an application unit's name:
//   app-[<launcher>-]<id>[@<instance>].service
//   app-[<launcher>-]<id>-<random>.scope
// with systemd's \xNN escapes undone (a dash inside the id is always escaped). Nothing
// for a name of another form.
std::optional<std::string> unitApplicationId(std::string_view unitName);

// The desktop entry id of a desktop file path: its file name without ".desktop".
// Nothing for a path that does not name a .desktop file.
std::optional<std::string> desktopFileId(std::string_view path);

// The application id in the text of a sandbox's /.flatpak-info ([Application] name=).
std::optional<std::string> flatpakApplicationId(std::string_view flatpakInfo);

}  // namespace quorvantel::desktop
