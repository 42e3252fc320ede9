// The calendar store's source registry (evolution-data-server) on the session bus,
// reached within a bound so that a missing bus or a store that does not answer
// never hangs the helper.
#pragma once

#include <chrono>
#include <string>
#include <variant>

#include <libedataserver/libedataserver.h>

#include "platform/linux/evolution/glib_handle.h"

namespace quorvantel::evolution {

// The registry starts by bus activation in well under a second on a desktop; a
// slow, shared machine gets a generous margin, and no more.
inline constexpr std::chrono::milliseconds kRegistryAnswerWait{8000};

// Why the registry cannot be used, as one sentence for the user.
struct RegistryUnavailable {
    std::string sentence;
};

using RegistryConnection = std::variant<GObjectHandle<ESourceRegistry>, RegistryUnavailable>;

// Connects to the registry of the session bus the environment names (the bus
// address, or the bus socket in the user's runtime folder).
RegistryConnection connectRegistry(std::chrono::milliseconds wait = kRegistryAnswerWait);

}  // namespace quorvantel::evolution
