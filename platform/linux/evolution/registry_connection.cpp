#include "platform/linux/evolution/registry_connection.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

#include "platform/linux/evolution/bounded_wait.h"

namespace quorvantel::evolution {
namespace {

constexpr const char* kBusAddressVariable = "DBUS_SESSION_BUS_ADDRESS";
constexpr const char* kRuntimeFolderVariable = "XDG_RUNTIME_DIR";
constexpr std::string_view kBusSocketName = "/bus";

// Whether the environment leads to a session bus without starting one: GIO would
// otherwise try to launch a bus of its own for this one process.
bool sessionBusNamed() {
    const char* address = std::getenv(kBusAddressVariable);
    if (address != nullptr && *address != '\0') return true;
    const char* runtime = std::getenv(kRuntimeFolderVariable);
    if (runtime == nullptr || *runtime == '\0') return false;
    const std::string socket = std::string(runtime) + std::string(kBusSocketName);
    struct stat info {};
    return ::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// The answer of the asynchronous connect. It lives on the heap: after a timeout
// the pending connect still holds it, and it is never freed under the connect's
// feet.
struct PendingConnect {
    bool done = false;
    ESourceRegistry* registry = nullptr;
    GError* error = nullptr;
};

void connected(GObject*, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<PendingConnect*>(data);
    pending->registry = e_source_registry_new_finish(result, &pending->error);
    pending->done = true;
}

}  // namespace

RegistryConnection connectRegistry(std::chrono::milliseconds wait) {
    if (!sessionBusNamed()) {
        return RegistryUnavailable{
            "No session bus is running (DBUS_SESSION_BUS_ADDRESS is not set), so the calendar store "
            "evolution-data-server cannot be reached: start the desktop session's D-Bus."};
    }

    BoundedWait bounded;
    GObjectHandle<GCancellable> cancellable(g_cancellable_new());
    auto* pending = new PendingConnect;
    e_source_registry_new(cancellable.get(), connected, pending);
    bounded.until([pending] { return pending->done; }, wait);

    RegistryConnection result = RegistryUnavailable{};
    if (!pending->done) {
        g_cancellable_cancel(cancellable.get());
        // The connect may still finish on GLib's worker; its answer is left to it.
        result = RegistryUnavailable{"The calendar store evolution-data-server did not answer on the session bus within " +
                                     std::to_string(wait.count() / 1000) +
                                     " seconds: check that evolution-data-server is installed and running."};
    } else if (pending->registry == nullptr) {
        result = RegistryUnavailable{"The calendar store evolution-data-server cannot be reached on the session bus (" +
                                     describe(pending->error, "no answer") +
                                     "): install the package evolution-data-server and start the desktop session."};
        if (pending->error != nullptr) g_error_free(pending->error);
        delete pending;
    } else {
        GObjectHandle<ESourceRegistry> registry(pending->registry);
        delete pending;
        // A bus without the store still gives a registry, only an empty one: the
        // store always carries its built-in sources.
        GList* sources = e_source_registry_list_sources(registry.get(), nullptr);
        const bool answered = sources != nullptr;
        g_list_free_full(sources, g_object_unref);
        if (answered) {
            result = std::move(registry);
        } else {
            result = RegistryUnavailable{
                "The calendar store evolution-data-server cannot be reached on the session bus (it is not running "
                "and the bus cannot start it): install the package evolution-data-server."};
        }
    }
    return result;
}

}  // namespace quorvantel::evolution
