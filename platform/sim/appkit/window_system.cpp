#include "platform/sim/appkit/window_system.h"

#include <utility>

namespace quorvantel::sim {

namespace {

inline constexpr const char* kReplacementViewClassName = "NSView";
inline constexpr const char* kAddedSubviewClassName = "NSTextField";

}  // namespace

std::string SimWindowSystemVersion::operatingSystemVersionString() const {
    return "Version " + std::to_string(majorVersion) + ".0 (stand-in)";
}

void SimWindowMainQueue::dispatchAsync(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
}

std::size_t SimWindowMainQueue::runPending() {
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        work.swap(work_);
    }
    for (auto& item : work) item();
    return work.size();
}

std::size_t SimWindowMainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return work_.size();
}

WindowSystem::WindowSystem()
    : faults_(std::make_shared<WindowFaults>()),
      application_(faults_),
      notificationCenter_(faults_),
      glassEffectViews_(faults_) {}

appkit::WindowServices WindowSystem::services() {
    return appkit::WindowServices{application_, notificationCenter_, glassEffectViews_,
                                  accessibility_, systemVersion_,     mainQueue_};
}

std::shared_ptr<SimWindow> WindowSystem::createWindow(const WindowOptions& options) {
    auto window = SimWindow::create(options, nextWindowNumber_++, faults_);
    for (const auto& other : application_.simWindows()) other->setKey(false);
    window->setKey(true);
    application_.add(window);
    return window;
}

void WindowSystem::closeWindow(const std::shared_ptr<SimWindow>& window) {
    notificationCenter_.post(appkit::NSWindowWillCloseNotification, window.get());
    window->setVisible(false);
    window->setKey(false);
    application_.remove(*window);
}

std::shared_ptr<SimView> WindowSystem::replaceContentView(SimWindow& window) {
    const appkit::NSRect frame = window.frame();
    auto view = std::make_shared<SimView>(kReplacementViewClassName, appkit::NSRect{0, 0, frame.width, frame.height}, faults_);
    window.adoptContentView(view);
    return view;
}

std::shared_ptr<SimView> WindowSystem::addSubview(SimView& parent) {
    auto view = std::make_shared<SimView>(kAddedSubviewClassName, kAddedSubviewFrame, faults_);
    parent.addSubview(view);
    return view;
}

}  // namespace quorvantel::sim
