#include "platform/sim/appkit/window_faults.h"

#include <utility>

#include "platform/appkit/window_exception.h"

namespace quorvantel::sim {

void WindowFaults::add(std::string operation, std::size_t after, std::optional<std::string> name) {
    faults_.push_back(Fault{std::move(operation), after, std::move(name)});
}

void WindowFaults::check(std::string_view operation) {
    // Every planned fault of the operation counts this call; the first one due
    // raises, and all that are due are spent.
    std::optional<Fault> due;
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (it->operation != operation) {
            ++it;
        } else if (it->remaining == 0) {
            if (!due) due = *it;
            it = faults_.erase(it);
        } else {
            --it->remaining;
            ++it;
        }
    }
    if (due) {
        throw appkit::NSException(due->name, "The stand-in AppKit was asked to raise in " + due->operation + ".");
    }
}

}  // namespace quorvantel::sim
