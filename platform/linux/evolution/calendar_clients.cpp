#include "platform/linux/evolution/calendar_clients.h"

#include <memory>

#include "platform/linux/evolution/bounded_wait.h"
#include "platform/linux/evolution/local_zone.h"

namespace quorvantel::evolution {
namespace {

// One open in flight. It lives on the heap and is freed by its own completion, so
// that an open abandoned at the deadline never writes into freed memory.
struct PendingOpen {
    std::size_t* remaining = nullptr;
    bool abandoned = false;
    EClient* client = nullptr;
    GError* error = nullptr;
};

void opened(GObject*, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<PendingOpen*>(data);
    pending->client = e_cal_client_connect_finish(result, &pending->error);
    if (pending->abandoned) {
        if (pending->client != nullptr) g_object_unref(pending->client);
        if (pending->error != nullptr) g_error_free(pending->error);
        delete pending;
        return;
    }
    --*pending->remaining;
}

}  // namespace

std::vector<OpenedCalendar> openCalendars(ESourceRegistry* registry, const std::vector<const CalendarSource*>& sources,
                                          std::chrono::milliseconds wait) {
    BoundedWait bounded;
    std::size_t remaining = sources.size();
    std::vector<PendingOpen*> pending;
    for (const CalendarSource* source : sources) {
        pending.push_back(new PendingOpen{&remaining});
        e_cal_client_connect(source->source.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kBackendOnlineWaitSeconds,
                             nullptr, opened, pending.back());
    }
    bounded.until([&remaining] { return remaining == 0; }, wait);

    std::vector<OpenedCalendar> calendars;
    std::string failure;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        PendingOpen* open = pending[i];
        if (open->client == nullptr && open->error == nullptr) {
            // Still in flight: its completion frees it.
            open->abandoned = true;
            if (failure.empty()) {
                failure = "The calendar store did not open calendar " + sources[i]->uid + " within " +
                          std::to_string(wait.count() / 1000) + " seconds.";
            }
            continue;
        }
        if (open->client == nullptr && failure.empty()) {
            failure = "The calendar store could not open calendar " + sources[i]->uid + " (" +
                      describe(open->error, "no answer") + ").";
        }
        if (open->client != nullptr) {
            GObjectHandle<ECalClient> client(E_CAL_CLIENT(open->client));
            // Floating times and all-day dates are the user's own, in the store's
            // expansion as in the event records.
            if (ICalTimezone* local = userTimeZone()) {
                e_cal_client_set_default_timezone(client.get(), local);
            }
            std::optional<std::string> owner = ownerAddress(registry, sources[i]->source.get(), client.get());
            calendars.push_back(OpenedCalendar{sources[i]->uid, std::move(client), std::move(owner)});
        }
        if (open->error != nullptr) g_error_free(open->error);
        delete open;
    }
    if (!failure.empty()) throw EKPlatformError(failure);
    return calendars;
}

}  // namespace quorvantel::evolution
