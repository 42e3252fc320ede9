// The stand-in NSNotificationCenter: observers by notification name and object,
// called synchronously on the posting thread. An observer removed while a post is
// under way (even by its own block) is not called any more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/appkit/window_notifications.h"
#include "platform/sim/appkit/window_faults.h"

namespace quorvantel::sim {

class SimNotificationCenter final : public appkit::NSNotificationCenter {
public:
    explicit SimNotificationCenter(std::shared_ptr<WindowFaults> faults) : faults_(std::move(faults)) {}

    ObserverToken addObserverForName(std::string_view name, const appkit::NSWindow* object,
                                     std::function<void()> block) override;
    void removeObserver(const ObserverToken& observer) override;

    void post(std::string_view name, const appkit::NSWindow* object);
    std::size_t observerCount() const { return observers_.size(); }

private:
    struct Entry final : Observer {
        std::string name;
        std::uintptr_t object = 0;
        std::function<void()> block;
        bool removed = false;
    };
    std::shared_ptr<WindowFaults> faults_;
    std::vector<std::shared_ptr<Entry>> observers_;
};

}  // namespace quorvantel::sim
