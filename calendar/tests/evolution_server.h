// A private calendar store for the tests of the desktop store: its own session bus
// (dbus-daemon) with a throw-away home and XDG folders, evolution-data-server started
// on it by bus activation, and calendars and events written through libecal. Every
// process of it shares one process group, stopped by that group's id when the
// object goes, on every path.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quorvantel::calendar::testing {

class PrivateEvolutionServer {
public:
    // calendarStore: the session bus with evolution-data-server, which this process
    // uses too; busOnly: a bus that offers no services at all, left to the helper.
    enum class Services { calendarStore, busOnly };

    // Starts the bus, waits for its address and, with the store, for the store's
    // registry; raises std::runtime_error when either does not start.
    explicit PrivateEvolutionServer(Services services = Services::calendarStore);
    ~PrivateEvolutionServer();
    PrivateEvolutionServer(const PrivateEvolutionServer&) = delete;
    PrivateEvolutionServer& operator=(const PrivateEvolutionServer&) = delete;

    // The variables a helper needs to use this store instead of the machine's.
    std::map<std::string, std::string> environment() const;

    // A calendar on this computer; its UID. The owner address, when given, is the
    // account address the calendar's settings carry. Raises on failure.
    std::string addCalendar(const std::string& displayName, bool enabled,
                            const std::optional<std::string>& ownerAddress = std::nullopt);

    // Stores the events (and time zones) of an iCalendar object in each calendar
    // named, opening the calendars all at once: each open waits a second on its
    // backend.
    void addEvents(const std::map<std::string, std::string>& vcalendarByCalendarUid);

private:
    struct Store;
    void stop();

    std::string root_;
    std::string address_;
    pid_t daemon_ = -1;
    std::unique_ptr<Store> store_;
};

}  // namespace quorvantel::calendar::testing
