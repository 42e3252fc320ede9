#include "platform/appkit/window_main_thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace quorvantel::appkit {

// On Linux the main thread is the one whose thread id is the process id; that is
// the thread a host's event loop and AppKit's run loop live on.
bool isMainThread() {
    return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid();
}

}  // namespace quorvantel::appkit
