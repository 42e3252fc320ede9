#include "calendar/tests/evolution_server.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

namespace quorvantel::calendar::testing {
namespace {

constexpr std::chrono::milliseconds kBusStartWait{10'000};
constexpr std::chrono::milliseconds kStopWait{5'000};
constexpr std::chrono::milliseconds kReapInterval{20};
// How long a calendar open waits for its backend to be online (0 never returns).
constexpr guint32 kBackendOnlineWaitSeconds = 1;
constexpr const char* kLocalParent = "local-stub";
constexpr const char* kLocalBackend = "local";

[[noreturn]] void fail(const std::string& what, GError* error) {
    std::string message = what;
    if (error != nullptr) {
        message += ": ";
        message += error->message;
        g_error_free(error);
    }
    throw std::runtime_error(message);
}

std::string kBareBusConfiguration(const std::string& serviceFolder) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><servicedir>" + serviceFolder + "</servicedir>"
           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
}

std::map<std::string, std::string> folders(const std::string& root) {
    return {{"HOME", root + "/home"},
            {"XDG_RUNTIME_DIR", root + "/runtime"},
            {"XDG_CONFIG_HOME", root + "/config"},
            {"XDG_DATA_HOME", root + "/data"},
            {"XDG_CACHE_HOME", root + "/cache"},
            {"GSETTINGS_BACKEND", "keyfile"}};
}

}  // namespace

// The test process's own view of the store: the registry and open calendars.
struct PrivateEvolutionServer::Store {
    ESourceRegistry* registry = nullptr;
    std::map<std::string, ECalClient*> clients;

    ~Store() {
        for (auto& [uid, client] : clients) g_object_unref(client);
        if (registry != nullptr) g_object_unref(registry);
    }
};

PrivateEvolutionServer::PrivateEvolutionServer(Services services) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvantel-evolution-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    for (const auto& [name, path] : folders(root_)) {
        if (name != "GSETTINGS_BACKEND") std::filesystem::create_directories(path);
    }
    std::filesystem::permissions(root_ + "/runtime", std::filesystem::perms::owner_all);
    // The standard session configuration activates the installed services; the bare
    // one names an empty service folder.
    std::string configOption = "--session";
    if (services == Services::busOnly) {
        std::filesystem::create_directories(root_ + "/services");
        const std::string config = root_ + "/bus.conf";
        std::ofstream(config) << kBareBusConfiguration(root_ + "/services");
        configOption = "--config-file=" + config;
    }

    // The store's processes are started by the bus and outlive it briefly; as their
    // subreaper this process can collect them when it stops them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    int pipe[2];
    if (::pipe(pipe) != 0) throw std::runtime_error("cannot make a pipe");
    const std::string addressOption = "--address=unix:path=" + root_ + "/runtime/bus";
    const std::string printOption = "--print-address=" + std::to_string(pipe[1]);
    const std::map<std::string, std::string> variables = folders(root_);
    daemon_ = ::fork();
    if (daemon_ == 0) {
        ::setpgid(0, 0);
        // A test process that dies takes its bus, and so the store, with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(pipe[0]);
        for (const auto& [name, value] : variables) ::setenv(name.c_str(), value.c_str(), 1);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("QUORVANTEL_SIMULATION");
        execlp("dbus-daemon", "dbus-daemon", configOption.c_str(), "--nofork", "--nopidfile", addressOption.c_str(),
               printOption.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipe[1]);
    if (daemon_ < 0) {
        ::close(pipe[0]);
        throw std::runtime_error("cannot start dbus-daemon");
    }
    ::setpgid(daemon_, daemon_);

    // The daemon prints its address once it listens.
    const auto deadline = std::chrono::steady_clock::now() + kBusStartWait;
    std::string printed;
    while (printed.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{pipe[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
        if (n <= 0) break;
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipe[0]);
    if (printed.find('\n') == std::string::npos) {
        stop();
        throw std::runtime_error("dbus-daemon did not print its address");
    }
    address_ = printed.substr(0, printed.find('\n'));
    if (services == Services::busOnly) return;

    // This process talks to the store too: through this bus, with the same folders.
    for (const auto& [name, value] : variables) ::setenv(name.c_str(), value.c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        stop();
        fail("cannot connect to the private bus", error);
    }
    // Stopping the bus must not end this process.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    g_object_unref(bus);

    store_ = std::make_unique<Store>();
    store_->registry = e_source_registry_new_sync(nullptr, &error);
    if (store_->registry == nullptr) {
        stop();
        fail("the source registry did not start", error);
    }
}

PrivateEvolutionServer::~PrivateEvolutionServer() { stop(); }

void PrivateEvolutionServer::stop() {
    store_.reset();
    if (daemon_ > 0) {
        ::kill(-daemon_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopWait;
        bool killed = false;
        for (;;) {
            int status = 0;
            const pid_t reaped = ::waitpid(-daemon_, &status, WNOHANG);
            if (reaped < 0 && errno == ECHILD) break;
            if (reaped > 0) continue;
            if (!killed && std::chrono::steady_clock::now() > deadline) {
                ::kill(-daemon_, SIGKILL);
                killed = true;
            }
            std::this_thread::sleep_for(kReapInterval);
        }
        daemon_ = -1;
    }
    if (!root_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        root_.clear();
    }
}

std::map<std::string, std::string> PrivateEvolutionServer::environment() const {
    std::map<std::string, std::string> variables = folders(root_);
    variables["DBUS_SESSION_BUS_ADDRESS"] = address_;
    return variables;
}

std::string PrivateEvolutionServer::addCalendar(const std::string& displayName, bool enabled,
                                                const std::optional<std::string>& ownerAddress) {
    GError* error = nullptr;
    gchar* uid = g_uuid_string_random();
    ESource* source = e_source_new_with_uid(uid, nullptr, &error);
    g_free(uid);
    if (source == nullptr) fail("cannot make a calendar source", error);
    e_source_set_display_name(source, displayName.c_str());
    e_source_set_parent(source, kLocalParent);
    e_source_set_enabled(source, enabled);
    auto* calendar = static_cast<ESourceBackend*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    e_source_backend_set_backend_name(calendar, kLocalBackend);
    if (ownerAddress) {
        auto* webdav = static_cast<ESourceWebdav*>(e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND));
        e_source_webdav_set_email_address(webdav, ownerAddress->c_str());
    }
    if (!e_source_registry_commit_source_sync(store_->registry, source, nullptr, &error)) {
        g_object_unref(source);
        fail("cannot store the calendar " + displayName, error);
    }
    const std::string committed = e_source_get_uid(source);
    g_object_unref(source);
    return committed;
}

namespace {

struct PendingOpen {
    std::size_t* remaining;
    EClient* client = nullptr;
    GError* error = nullptr;
};

void opened(GObject*, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<PendingOpen*>(data);
    pending->client = e_cal_client_connect_finish(result, &pending->error);
    --*pending->remaining;
}

}  // namespace

void PrivateEvolutionServer::addEvents(const std::map<std::string, std::string>& vcalendarByCalendarUid) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    std::size_t remaining = 0;
    std::map<std::string, PendingOpen> opens;
    for (const auto& [uid, vcalendar] : vcalendarByCalendarUid) {
        ESource* source = e_source_registry_ref_source(store_->registry, uid.c_str());
        if (source == nullptr) continue;
        ++remaining;
        PendingOpen& pending = opens.emplace(uid, PendingOpen{&remaining}).first->second;
        e_cal_client_connect(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kBackendOnlineWaitSeconds, nullptr, opened,
                             &pending);
        g_object_unref(source);
    }
    // Each open answers after its backend's wait; the bus's own timeouts bound it.
    while (remaining > 0) g_main_context_iteration(context, TRUE);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);

    std::string failure;
    for (auto& [uid, pending] : opens) {
        if (pending.client == nullptr) {
            failure += "cannot open calendar " + uid + (pending.error ? std::string(": ") + pending.error->message : "");
            if (pending.error != nullptr) g_error_free(pending.error);
            continue;
        }
        store_->clients[uid] = E_CAL_CLIENT(pending.client);
    }
    if (opens.size() != vcalendarByCalendarUid.size()) failure += "a calendar to fill is not in the registry";
    if (!failure.empty()) throw std::runtime_error(failure);

    for (const auto& [uid, vcalendar] : vcalendarByCalendarUid) {
        ICalComponent* component = i_cal_component_new_from_string(vcalendar.c_str());
        if (component == nullptr) throw std::runtime_error("not an iCalendar object");
        GError* error = nullptr;
        const gboolean stored = e_cal_client_receive_objects_sync(store_->clients[uid], component,
                                                                  E_CAL_OPERATION_FLAG_NONE, nullptr, &error);
        g_object_unref(component);
        if (!stored) fail("cannot store the events of calendar " + uid, error);
    }
}

}  // namespace quorvantel::calendar::testing
