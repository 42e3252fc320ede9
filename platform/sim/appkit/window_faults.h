// Exceptions the stand-in AppKit raises on request, so that the addon's handling of
// a platform exception can be exercised: each planned fault names one operation
// ("<class> <selector>", e.g. "NSWindow setContentView:"), lets a number of its
// calls through and then raises once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvantel::sim {

class WindowFaults {
public:
    // The call after `after` further calls of the operation raises an NSException of
    // that name (none: an exception without a name).
    void add(std::string operation, std::size_t after, std::optional<std::string> name);
    // Called by every stand-in operation that can raise, before it changes anything.
    void check(std::string_view operation);
    void clear() { faults_.clear(); }
    std::size_t pendingCount() const { return faults_.size(); }

private:
    struct Fault {
        std::string operation;
        std::size_t remaining;
        std::optional<std::string> name;
    };
    std::vector<Fault> faults_;
};

}  // namespace quorvantel::sim
