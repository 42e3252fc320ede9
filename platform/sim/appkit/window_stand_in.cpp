#include "platform/sim/appkit/window_stand_in.h"

#include <algorithm>
#include <utility>

namespace quorvantel::sim {

using appkit::NSRect;

namespace {

inline constexpr const char* kThemeFrameClassName = "NSThemeFrame";
inline constexpr const char* kTitlebarClassName = "NSTitlebarContainerView";
inline constexpr const char* kButtonClassName = "NSButton";
inline constexpr const char* kContentViewClassName = "NSView";

}  // namespace

SimThemeFrame::SimThemeFrame(NSRect frame, std::shared_ptr<WindowFaults> faults, std::weak_ptr<SimWindow> window)
    : SimView(kThemeFrameClassName, frame, std::move(faults)), window_(std::move(window)) {}

void SimThemeFrame::resizeSubviewsWithOldSize(double oldWidth, double oldHeight) {
    // The content view always grows and shrinks with the window, whatever its own
    // autoresizing mask says; the title bar follows its mask.
    const double dw = frame().width - oldWidth;
    const double dh = frame().height - oldHeight;
    auto window = window_.lock();
    auto content = window ? window->simContentView() : nullptr;
    const auto children = subviews();
    for (const auto& child : children) {
        const NSRect f = child->frame();
        if (child == content) {
            child->applyFrame({f.x, f.y, f.width + dw, f.height + dh});
        } else {
            child->applyFrame(autoresizedFrame(f, child->autoresizingMask(), dw, dh));
        }
    }
}

SimButton::SimButton(NSRect frame, std::shared_ptr<WindowFaults> faults, std::weak_ptr<SimWindow> window,
                     appkit::NSWindowButton kind)
    : SimView(kButtonClassName, frame, std::move(faults)), window_(std::move(window)), kind_(kind) {}

bool SimButton::isEnabled() const {
    auto window = window_.lock();
    if (!window) return false;
    switch (kind_) {
        case appkit::NSWindowButton::closeButton:
            return (window->styleMask() & appkit::NSWindowStyleMaskClosable) != 0;
        case appkit::NSWindowButton::miniaturizeButton:
            return (window->styleMask() & appkit::NSWindowStyleMaskMiniaturizable) != 0;
        case appkit::NSWindowButton::zoomButton:
            return (window->styleMask() & appkit::NSWindowStyleMaskResizable) != 0;
    }
    return false;
}

SimWindow::SimWindow(const WindowOptions& options, std::int64_t windowNumber, std::shared_ptr<WindowFaults> faults)
    : frame_{0, 0, options.width, options.height},
      styleMask_(options.styleMask),
      titlebarAppearsTransparent_(options.titlebarAppearsTransparent),
      windowNumber_(windowNumber),
      faults_(std::move(faults)) {}

std::shared_ptr<SimWindow> SimWindow::create(const WindowOptions& options, std::int64_t windowNumber,
                                             std::shared_ptr<WindowFaults> faults) {
    std::shared_ptr<SimWindow> window(new SimWindow(options, windowNumber, faults));
    const double w = options.width;
    const double h = options.height;
    window->themeFrame_ = std::make_shared<SimThemeFrame>(NSRect{0, 0, w, h}, faults, window);

    window->contentView_ = std::make_shared<SimView>(kContentViewClassName, NSRect{0, 0, w, h}, faults);
    window->themeFrame_->addSubview(window->contentView_);

    window->titlebar_ = std::make_shared<SimView>(kTitlebarClassName, NSRect{0, h - kTitlebarHeight, w, kTitlebarHeight}, faults);
    // Keeps the title bar at the top and as wide as the window.
    window->titlebar_->applyAutoresizingMask(appkit::NSViewWidthSizable | appkit::NSViewMinYMargin);
    window->themeFrame_->addSubview(window->titlebar_);
    const appkit::NSWindowButton kinds[] = {appkit::NSWindowButton::closeButton, appkit::NSWindowButton::miniaturizeButton,
                                            appkit::NSWindowButton::zoomButton};
    for (int i = 0; i < 3; ++i) {
        const NSRect frame{kFirstWindowButtonX + i * kWindowButtonSpacing, kWindowButtonY, kWindowButtonWidth,
                           kWindowButtonHeight};
        window->buttons_[i] = std::make_shared<SimButton>(frame, faults, window, kinds[i]);
        window->titlebar_->addSubview(window->buttons_[i]);
    }
    return window;
}

void SimWindow::setContentView(std::shared_ptr<appkit::NSView> view) {
    faults_->check("NSWindow setContentView:");
    adoptContentView(simViewOf(view));
}

void SimWindow::adoptContentView(const std::shared_ptr<SimView>& next) {
    if (next == contentView_) return;
    if (contentView_) contentView_->removeFromSuperview();
    contentView_ = next;
    if (next) themeFrame_->addSubview(next);
}

void SimWindow::setStyleMask(appkit::NSWindowStyleMask mask) {
    faults_->check("NSWindow setStyleMask:");
    styleMask_ = mask;
}

void SimWindow::setTitlebarAppearsTransparent(bool transparent) {
    faults_->check("NSWindow setTitlebarAppearsTransparent:");
    titlebarAppearsTransparent_ = transparent;
}

std::shared_ptr<appkit::NSResponder> SimWindow::firstResponder() const {
    faults_->check("NSWindow firstResponder");
    auto view = firstResponderView_.lock();
    if (view && view->window().get() == this) return view;
    return std::const_pointer_cast<SimWindow>(shared_from_this());
}

bool SimWindow::makeFirstResponder(std::shared_ptr<appkit::NSResponder> responder) {
    faults_->check("NSWindow makeFirstResponder:");
    if (!responder || responder.get() == static_cast<appkit::NSResponder*>(this)) {
        firstResponderView_.reset();
        return true;
    }
    auto view = std::dynamic_pointer_cast<SimView>(responder);
    if (!view || view->window().get() != this) return false;
    firstResponderView_ = view;
    return true;
}

std::shared_ptr<appkit::NSButton> SimWindow::standardWindowButton(appkit::NSWindowButton button) const {
    // Borderless windows have no title bar and so no buttons.
    if ((styleMask_ & appkit::NSWindowStyleMaskTitled) == 0) return nullptr;
    return buttons_[static_cast<std::size_t>(button)];
}

void SimWindow::resize(double width, double height) {
    frame_.width = width;
    frame_.height = height;
    themeFrame_->applyFrame({0, 0, width, height});
}

void SimWindow::viewWillLeaveWindow(const SimView& view) {
    auto focused = firstResponderView_.lock();
    if (focused && focused->isDescendantOf(view)) firstResponderView_.reset();
}

std::vector<std::shared_ptr<appkit::NSWindow>> SimAppWindows::windows() const {
    faults_->check("NSApplication windows");
    return {windows_.begin(), windows_.end()};
}

void SimAppWindows::remove(const SimWindow& window) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [&](const std::shared_ptr<SimWindow>& w) { return w.get() == &window; }),
                   windows_.end());
}

}  // namespace quorvantel::sim
