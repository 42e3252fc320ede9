// NSNotificationCenter, for the one notification the addon observes.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/appkit/window_interface.h"

namespace quorvantel::appkit {

inline constexpr std::string_view NSWindowWillCloseNotification = "NSWindowWillCloseNotification";

class NSNotificationCenter {
public:
    // The token addObserverForName:object:queue:usingBlock: returns; its owner keeps it
    // to remove the observation again.
    class Observer {
    public:
        virtual ~Observer() = default;
    };
    using ObserverToken = std::shared_ptr<Observer>;

    virtual ~NSNotificationCenter() = default;
    // Without a queue: the block runs synchronously on the thread that posts. The
    // object is only compared, never retained.
    virtual ObserverToken addObserverForName(std::string_view name, const NSWindow* object,
                                             std::function<void()> block) = 0;
    virtual void removeObserver(const ObserverToken& observer) = 0;
};

}  // namespace quorvantel::appkit
