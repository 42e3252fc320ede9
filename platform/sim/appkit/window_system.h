// The stand-in AppKit of the window appearance addon as one whole: the application's
// windows, the notification centre, the glass views, the accessibility settings, the
// system version and the main queue, plus the handles a test or a demo uses to play
// the host and the user (create, resize, close a window, swap its content view,
// change a setting, plan an exception).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/appkit/window_services.h"
#include "platform/sim/appkit/glass_stand_in.h"
#include "platform/sim/appkit/window_faults.h"
#include "platform/sim/appkit/window_notification_center.h"
#include "platform/sim/appkit/window_stand_in.h"

namespace quorvantel::sim {

// The system version every glass check passes on, unless a test lowers it.
inline constexpr int kDefaultSystemMajorVersion = 26;
// Where a view added inside a content view sits (a text field, say).
inline constexpr appkit::NSRect kAddedSubviewFrame{20, 20, 240, 24};

class SimAccessibility final : public appkit::AccessibilityDisplayOptions {
public:
    bool accessibilityDisplayShouldReduceTransparency() const override { return reduceTransparency; }
    bool accessibilityDisplayShouldIncreaseContrast() const override { return increaseContrast; }

    bool reduceTransparency = false;
    bool increaseContrast = false;
};

class SimWindowSystemVersion final : public ProcessInfo {
public:
    OperatingSystemVersion operatingSystemVersion() const override { return {majorVersion, 0, 0}; }
    std::string operatingSystemVersionString() const override;

    int majorVersion = kDefaultSystemMajorVersion;
};

// The main queue: work dispatched from any thread waits here until the main thread
// runs it.
class SimWindowMainQueue final : public appkit::MainQueue {
public:
    void dispatchAsync(std::function<void()> work) override;
    // Runs, on the calling thread, everything dispatched so far; returns how much.
    std::size_t runPending();
    std::size_t pendingCount() const;

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> work_;
};

class WindowSystem {
public:
    WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    appkit::WindowServices services();

    // A new window in front of the others, made key, with its own content view.
    std::shared_ptr<SimWindow> createWindow(const WindowOptions& options);
    // Posts the window's will-close notification, then takes it off the screen and out
    // of the application's list.
    void closeWindow(const std::shared_ptr<SimWindow>& window);
    // The host swaps in a new content view that fills the window; returns it.
    std::shared_ptr<SimView> replaceContentView(SimWindow& window);
    void resizeWindow(SimWindow& window, double width, double height) { window.resize(width, height); }
    // A new view inside the given one.
    std::shared_ptr<SimView> addSubview(SimView& parent);

    SimAppWindows& application() { return application_; }
    SimNotificationCenter& notificationCenter() { return notificationCenter_; }
    SimGlassEffectViewFactory& glassEffectViews() { return glassEffectViews_; }
    SimAccessibility& accessibility() { return accessibility_; }
    SimWindowSystemVersion& systemVersion() { return systemVersion_; }
    SimWindowMainQueue& mainQueue() { return mainQueue_; }
    WindowFaults& faults() { return *faults_; }

private:
    std::shared_ptr<WindowFaults> faults_;
    SimAppWindows application_;
    SimNotificationCenter notificationCenter_;
    SimGlassEffectViewFactory glassEffectViews_;
    SimAccessibility accessibility_;
    SimWindowSystemVersion systemVersion_;
    SimWindowMainQueue mainQueue_;
    std::int64_t nextWindowNumber_ = 1;
};

}  // namespace quorvantel::sim
