// Waiting for the store's asynchronous answers with a deadline: the calls run on a
// main context of their own, iterated here until they finish or the wait runs out,
// so that a store that never answers can never hang the helper.
#pragma once

#include <chrono>
#include <functional>

#include <glib.h>

namespace quorvantel::evolution {

// The thread's default main context for as long as the object lives: asynchronous
// calls started meanwhile finish on it.
class BoundedWait {
public:
    BoundedWait();
    ~BoundedWait();
    BoundedWait(const BoundedWait&) = delete;
    BoundedWait& operator=(const BoundedWait&) = delete;

    // Iterates the context until done() holds (true) or the wait is over (false).
    bool until(const std::function<bool()>& done, std::chrono::milliseconds wait);

private:
    GMainContext* context_;
};

}  // namespace quorvantel::evolution
