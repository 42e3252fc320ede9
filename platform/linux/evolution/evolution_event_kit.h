// The calendar store of a Linux desktop: evolution-data-server, reached over the
// session bus. It has no access prompt: access is full when its source registry
// answers, and otherwise a status the helper does not know ("unavailable"), with
// the reason reported as one sentence.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/eventkit/event_store.h"
#include "platform/linux/evolution/registry_connection.h"

namespace quorvantel::evolution {

class EvolutionEventKit final : public EventKit {
public:
    // Receives each sentence that says why the store cannot serve a request.
    using Report = std::function<void(const std::string& sentence)>;

    explicit EvolutionEventKit(Report report);
    ~EvolutionEventKit() override;

    EKAuthorizationStatus authorizationStatusForEntityType(EKEntityType type) const override;
    std::unique_ptr<EKEventStore> makeEventStore() override;

private:
    // The registry, connected on first use and kept for the command.
    const RegistryConnection& connection() const;

    Report report_;
    mutable std::optional<RegistryConnection> connection_;
    mutable bool reported_ = false;
};

}  // namespace quorvantel::evolution
