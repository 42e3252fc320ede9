#include "platform/linux/evolution/occurrence_query.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include <libical/ical.h>

#include "platform/linux/evolution/bounded_wait.h"
#include "platform/linux/evolution/ical_event.h"
#include "platform/linux/evolution/local_zone.h"
#include "platform/linux/evolution/recurrence_bound.h"

namespace quorvantel::evolution {
namespace {

icalcomponent* nativeOf(ICalComponent* component) {
    return static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(component)));
}

icaltimezone* nativeOf(ICalTimezone* zone) {
    return zone != nullptr ? static_cast<icaltimezone*>(i_cal_object_get_native(I_CAL_OBJECT(zone))) : nullptr;
}

struct InstanceCollector {
    const ComponentContext* context = nullptr;
    EKDate windowStart;
    EKDate windowEnd;
    std::vector<EKEvent>* occurrences = nullptr;
    bool overLimit = false;
};

gboolean collectInstance(ICalComponent* component, ICalTime*, ICalTime*, gpointer data, GCancellable*, GError**) {
    auto* collector = static_cast<InstanceCollector*>(data);
    std::optional<EKEvent> event = eventFromComponent(nativeOf(component), *collector->context);
    if (!event || !overlapsWindow(*event, collector->windowStart, collector->windowEnd)) return TRUE;
    if (collector->occurrences->size() >= kMaximumQueriedOccurrences) {
        collector->overLimit = true;
        return FALSE;
    }
    collector->occurrences->push_back(std::move(*event));
    return TRUE;
}

std::string isoTime(std::time_t time) {
    gchar* text = isodate_from_time_t(time);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

struct ComponentList {
    GSList* list = nullptr;
    ComponentList() = default;
    ComponentList(ComponentList&& other) noexcept : list(std::exchange(other.list, nullptr)) {}
    ComponentList& operator=(ComponentList&&) = delete;
    ~ComponentList() { g_slist_free_full(list, g_object_unref); }
};

// The answer of the asynchronous query; on the heap, since a query abandoned at
// the deadline still holds it.
struct PendingQuery {
    bool done = false;
    gboolean listed = FALSE;
    GSList* components = nullptr;
    GError* error = nullptr;
};

void queried(GObject* client, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<PendingQuery*>(data);
    pending->listed =
        e_cal_client_get_object_list_finish(E_CAL_CLIENT(client), result, &pending->components, &pending->error);
    pending->done = true;
}

// The components the query finds, waited for at most kStoreQueryWait.
ComponentList listComponents(OpenedCalendar& calendar, const std::string& query) {
    BoundedWait bounded;
    auto* pending = new PendingQuery;
    e_cal_client_get_object_list(calendar.client.get(), query.c_str(), nullptr, queried, pending);
    if (!bounded.until([pending] { return pending->done; }, kStoreQueryWait)) {
        throw EKPlatformError("The calendar store did not list the events of calendar " + calendar.uid + " within " +
                              std::to_string(kStoreQueryWait.count() / 1000) + " seconds.");
    }
    ComponentList found;
    found.list = pending->components;
    const GErrorHandle error(pending->error);
    const bool listed = pending->listed;
    delete pending;
    if (!listed) {
        throw EKPlatformError("The calendar store could not list the events of calendar " + calendar.uid + " (" +
                              describe(error.get(), "no answer") + ").");
    }
    return found;
}

}  // namespace

bool overlapsWindow(const EKEvent& event, EKDate windowStart, EKDate windowEnd) {
    if (!event.startDate || !event.endDate) return true;
    return event.startDate->timeIntervalSince1970 < windowEnd.timeIntervalSince1970 &&
           event.endDate->timeIntervalSince1970 > windowStart.timeIntervalSince1970;
}

void appendOccurrences(OpenedCalendar& calendar, EKDate windowStart, EKDate windowEnd,
                       std::vector<EKEvent>& occurrences) {
    const auto start = static_cast<std::time_t>(std::floor(windowStart.timeIntervalSince1970));
    if (start >= kLatestStoreTime) return;
    const std::time_t end =
        std::min(static_cast<std::time_t>(std::ceil(windowEnd.timeIntervalSince1970)), kLatestStoreTime);

    // The store finds the events with an instance in the range; the series among
    // them are expanded one by one below.
    const std::string query =
        "(occur-in-time-range? (make-time \"" + isoTime(start) + "\") (make-time \"" + isoTime(end) + "\"))";
    ComponentList found = listComponents(calendar, query);

    // A series is expanded from its main component, which applies its exceptions
    // and moved instances; a moved instance whose series has no instance of its own
    // in the window stands alone.
    std::map<std::string, std::vector<ICalComponent*>> byUid;
    std::map<std::string, ICalComponent*> mainComponents;
    for (GSList* item = found.list; item != nullptr; item = item->next) {
        auto* component = static_cast<ICalComponent*>(item->data);
        icalcomponent* native = nativeOf(component);
        const char* uid = icalcomponent_get_uid(native);
        const std::string key = uid != nullptr ? uid : "";
        if (icalcomponent_get_first_property(native, ICAL_RECURRENCEID_PROPERTY) == nullptr) {
            mainComponents.emplace(key, component);
        }
        byUid[key].push_back(component);
    }

    ComponentContext context;
    context.calendarIdentifier = calendar.uid;
    context.ownerAddress = calendar.ownerAddress;
    context.localZone = nativeOf(userTimeZone());
    ECalClient* client = calendar.client.get();
    context.zoneNamed = [client](const std::string& tzid) -> icaltimezone* {
        ICalTimezone* zone = nullptr;
        if (!e_cal_client_get_timezone_sync(client, tzid.c_str(), &zone, nullptr, nullptr)) return nullptr;
        return nativeOf(zone);
    };

    InstanceCollector collector{&context, windowStart, windowEnd, &occurrences, false};
    std::size_t ruleSteps = kMaximumRuleSteps;
    for (const auto& [uid, components] : byUid) {
        const auto main = mainComponents.find(uid);
        const std::vector<ICalComponent*> expanded =
            main != mainComponents.end() ? std::vector<ICalComponent*>{main->second} : components;
        for (ICalComponent* component : expanded) {
            const std::size_t room = kMaximumQueriedOccurrences - occurrences.size();
            if (instanceBound(nativeOf(component), start, end, room, ruleSteps) > room) collector.overLimit = true;
            if (collector.overLimit) break;
            e_cal_client_generate_instances_for_object_sync(client, component, start, end, nullptr, collectInstance,
                                                            &collector);
        }
        if (collector.overLimit) {
            throw EKResultLimitExceeded("The calendar store holds more than " +
                                        std::to_string(kMaximumQueriedOccurrences) + " occurrences in the window.");
        }
    }
}

}  // namespace quorvantel::evolution
