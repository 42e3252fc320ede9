// A pretend desktop application for one test: a desktop entry in a throw-away folder
// and a process started the way GLib's launcher starts one (GIO_LAUNCHED_DESKTOP_FILE
// and GIO_LAUNCHED_DESKTOP_FILE_PID), running a shell script. It is killed by its id
// when the object goes.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "capture/tests/servers/temporary_folder.h"
#include "tests/support/child_process.h"

namespace quorvantel::testing {

class DesktopApplication {
public:
    // entry: the text of <id>.desktop. script: what the application's process runs
    // (sh -c); environment: more variables for it.
    DesktopApplication(const TemporaryFolder& folder, const std::string& id, const std::string& entry,
                       const std::string& script, const std::map<std::string, std::string>& environment = {});
    ~DesktopApplication();

    pid_t pid() const { return process_->pid(); }
    Child& process() { return *process_; }

private:
    std::unique_ptr<Child> process_;
};

}  // namespace quorvantel::testing
