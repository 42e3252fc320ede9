// The running applications of a Linux desktop: the user's processes that carry a
// desktop entry id (application_processes.h) and whose desktop entry exists, named by
// the entry in the user's language. An entry with NoDisplay=true is an accessory
// application, not a regular one.
#pragma once

#include <string>
#include <vector>

#include "platform/appkit/workspace_running_applications.h"
#include "platform/linux/desktop/desktop_entry.h"

namespace quorvantel::desktop {

// Files read from /proc (a process's environment, cgroup, sandbox description) are
// small; a larger one is left unread.
inline constexpr std::size_t kMaximumProcFileBytes = 1024 * 1024;

class DesktopWorkspace final : public NSWorkspace {
public:
    // dataDirectories: where applications/<id>.desktop is looked up, first match
    // wins; messagesLocale picks the entry's Name.
    DesktopWorkspace(std::vector<std::string> dataDirectories, std::string messagesLocale);
    // The XDG base directories ($XDG_DATA_HOME, then $XDG_DATA_DIRS, with their
    // defaults) and the user's message locale.
    static DesktopWorkspace fromEnvironment();

    std::vector<NSRunningApplication> runningApplications() const override;
    std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(std::int32_t pid) const override;

    // The processes of the running applications (of any activation policy) whose
    // desktop entry id is one of `ids`.
    std::vector<std::int32_t> processesOfApplications(const std::vector<std::string>& ids) const;

private:
    // The entry the launcher named, else the first applications/<id>.desktop found.
    std::optional<DesktopEntry> entryOf(const std::optional<std::string>& launchedFile, const std::string& id) const;

    std::vector<std::string> dataDirectories_;
    std::string messagesLocale_;
};

}  // namespace quorvantel::desktop
