#include "platform/linux/evolution/evolution_event_kit.h"

#include <algorithm>
#include <utility>

#include "platform/linux/evolution/calendar_clients.h"
#include "platform/linux/evolution/calendar_sources.h"
#include "platform/linux/evolution/occurrence_query.h"

namespace quorvantel::evolution {
namespace {

const char* extensionFor(EKEntityType type) {
    return type == EKEntityType::event ? E_SOURCE_EXTENSION_CALENDAR : E_SOURCE_EXTENSION_TASK_LIST;
}

class EvolutionEventStore final : public EKEventStore {
public:
    EvolutionEventStore(ESourceRegistry* registry, EvolutionEventKit::Report report)
        : registry_(registry), report_(std::move(report)) {}

    // There is no prompt: whoever can reach the store may read it.
    void requestFullAccessToEvents(EKAccessCompletion completion) override { completion(true, std::nullopt); }

    std::vector<EKCalendar> calendarsForEntityType(EKEntityType type) override {
        std::vector<EKCalendar> calendars;
        for (const CalendarSource& source : enabledSources(registry_, extensionFor(type))) {
            calendars.push_back(EKCalendar{source.uid, source.displayName});
        }
        return calendars;
    }

    EKPredicate predicateForEvents(EKDate startDate, EKDate endDate,
                                   const std::vector<EKCalendar>& calendars) override {
        return EKPredicate{startDate, endDate, calendars};
    }

    std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate& predicate) override {
        try {
            const std::vector<CalendarSource> all = enabledSources(registry_, E_SOURCE_EXTENSION_CALENDAR);
            std::vector<const CalendarSource*> selected;
            for (const EKCalendar& calendar : predicate.calendars) {
                const auto found = std::find_if(all.begin(), all.end(), [&](const CalendarSource& source) {
                    return source.uid == calendar.calendarIdentifier;
                });
                if (found == all.end()) {
                    throw EKPlatformError("The calendar " + calendar.calendarIdentifier +
                                          " was removed or disabled while it was read.");
                }
                selected.push_back(&*found);
            }
            std::vector<EKEvent> occurrences;
            for (OpenedCalendar& calendar : openCalendars(registry_, selected)) {
                appendOccurrences(calendar, predicate.startDate, predicate.endDate, occurrences);
            }
            return occurrences;
        } catch (const EKPlatformError& error) {
            report_(error.what());
            throw;
        }
    }

private:
    ESourceRegistry* registry_;
    EvolutionEventKit::Report report_;
};

// A store for a registry that cannot be reached: every read fails with the reason.
class UnreachableEventStore final : public EKEventStore {
public:
    explicit UnreachableEventStore(std::string sentence) : sentence_(std::move(sentence)) {}

    void requestFullAccessToEvents(EKAccessCompletion completion) override { completion(false, sentence_); }
    std::vector<EKCalendar> calendarsForEntityType(EKEntityType) override { throw EKPlatformError(sentence_); }
    EKPredicate predicateForEvents(EKDate startDate, EKDate endDate,
                                   const std::vector<EKCalendar>& calendars) override {
        return EKPredicate{startDate, endDate, calendars};
    }
    std::vector<EKEvent> eventsMatchingPredicate(const EKPredicate&) override { throw EKPlatformError(sentence_); }

private:
    std::string sentence_;
};

}  // namespace

EvolutionEventKit::EvolutionEventKit(Report report) : report_(std::move(report)) {}

EvolutionEventKit::~EvolutionEventKit() = default;

const RegistryConnection& EvolutionEventKit::connection() const {
    if (!connection_) connection_ = connectRegistry();
    return *connection_;
}

EKAuthorizationStatus EvolutionEventKit::authorizationStatusForEntityType(EKEntityType) const {
    if (const auto* unavailable = std::get_if<RegistryUnavailable>(&connection())) {
        if (!reported_) report_(unavailable->sentence);
        reported_ = true;
        return EKAuthorizationStatus::other;
    }
    return EKAuthorizationStatus::fullAccess;
}

std::unique_ptr<EKEventStore> EvolutionEventKit::makeEventStore() {
    if (const auto* unavailable = std::get_if<RegistryUnavailable>(&connection())) {
        return std::make_unique<UnreachableEventStore>(unavailable->sentence);
    }
    return std::make_unique<EvolutionEventStore>(std::get<GObjectHandle<ESourceRegistry>>(connection()).get(), report_);
}

}  // namespace quorvantel::evolution

