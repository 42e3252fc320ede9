#include "platform/sim/appkit/window_notification_center.h"

#include <algorithm>
#include <utility>

namespace quorvantel::sim {

appkit::NSNotificationCenter::ObserverToken SimNotificationCenter::addObserverForName(
    std::string_view name, const appkit::NSWindow* object, std::function<void()> block) {
    faults_->check("NSNotificationCenter addObserverForName:object:queue:usingBlock:");
    auto entry = std::make_shared<Entry>();
    entry->name = std::string(name);
    entry->object = appkit::objectIdentity(object);
    entry->block = std::move(block);
    observers_.push_back(entry);
    return entry;
}

void SimNotificationCenter::removeObserver(const ObserverToken& observer) {
    for (auto& entry : observers_) {
        if (entry == observer) entry->removed = true;
    }
    observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                    [&](const std::shared_ptr<Entry>& entry) { return entry == observer; }),
                     observers_.end());
}

void SimNotificationCenter::post(std::string_view name, const appkit::NSWindow* object) {
    std::vector<std::shared_ptr<Entry>> matching;
    for (const auto& entry : observers_) {
        if (entry->name == name && entry->object == appkit::objectIdentity(object)) matching.push_back(entry);
    }
    for (const auto& entry : matching) {
        if (!entry->removed) entry->block();
    }
}

}  // namespace quorvantel::sim
