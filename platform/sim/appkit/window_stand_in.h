// The stand-in NSWindow and NSApp's window list. A window's frame view holds its
// content view and a title bar with the three standard buttons; the content view
// follows the window's size, the title bar stays at the top. When a view that holds
// the keyboard focus leaves the window, the window itself becomes first responder,
// as in AppKit.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/appkit/window_interface.h"
#include "platform/sim/appkit/view_stand_in.h"

namespace quorvantel::sim {

inline constexpr double kDefaultWindowWidth = 800;
inline constexpr double kDefaultWindowHeight = 600;
inline constexpr appkit::NSWindowStyleMask kDefaultWindowStyleMask =
    appkit::NSWindowStyleMaskTitled | appkit::NSWindowStyleMaskClosable | appkit::NSWindowStyleMaskMiniaturizable |
    appkit::NSWindowStyleMaskResizable;
inline constexpr double kDefaultBackingScaleFactor = 2.0;
// The title bar and its buttons, where AppKit puts them on a standard window.
inline constexpr double kTitlebarHeight = 28;
inline constexpr double kWindowButtonWidth = 14;
inline constexpr double kWindowButtonHeight = 16;
inline constexpr double kFirstWindowButtonX = 12;
inline constexpr double kWindowButtonSpacing = 20;
inline constexpr double kWindowButtonY = 6;

struct WindowOptions {
    double width = kDefaultWindowWidth;
    double height = kDefaultWindowHeight;
    appkit::NSWindowStyleMask styleMask = kDefaultWindowStyleMask;
    bool titlebarAppearsTransparent = false;
};

class SimWindow;

// The root of a window's views; the only view that knows its window.
class SimThemeFrame final : public SimView {
public:
    SimThemeFrame(appkit::NSRect frame, std::shared_ptr<WindowFaults> faults, std::weak_ptr<SimWindow> window);

protected:
    std::shared_ptr<SimWindow> ownWindow() const override { return window_.lock(); }
    void resizeSubviewsWithOldSize(double oldWidth, double oldHeight) override;

private:
    std::weak_ptr<SimWindow> window_;
};

class SimButton final : public SimView, public appkit::NSButton {
public:
    SimButton(appkit::NSRect frame, std::shared_ptr<WindowFaults> faults, std::weak_ptr<SimWindow> window,
              appkit::NSWindowButton kind);
    // A standard button is enabled when the window's style allows what it does.
    bool isEnabled() const override;

private:
    std::weak_ptr<SimWindow> window_;
    appkit::NSWindowButton kind_;
};

class SimWindow final : public appkit::NSWindow, public std::enable_shared_from_this<SimWindow> {
public:
    // A window at x 0, y 0 whose content view fills it; the window is not yet in the
    // application's list.
    static std::shared_ptr<SimWindow> create(const WindowOptions& options, std::int64_t windowNumber,
                                             std::shared_ptr<WindowFaults> faults);

    std::shared_ptr<appkit::NSView> contentView() const override { return contentView_; }
    void setContentView(std::shared_ptr<appkit::NSView> view) override;
    appkit::NSRect frame() const override { return frame_; }
    appkit::NSWindowStyleMask styleMask() const override { return styleMask_; }
    void setStyleMask(appkit::NSWindowStyleMask mask) override;
    bool titlebarAppearsTransparent() const override { return titlebarAppearsTransparent_; }
    void setTitlebarAppearsTransparent(bool transparent) override;
    std::shared_ptr<appkit::NSResponder> firstResponder() const override;
    bool makeFirstResponder(std::shared_ptr<appkit::NSResponder> responder) override;
    std::int64_t windowNumber() const override { return windowNumber_; }
    bool isKeyWindow() const override { return key_; }
    bool isVisible() const override { return visible_; }
    bool isOpaque() const override { return true; }
    double backingScaleFactor() const override { return kDefaultBackingScaleFactor; }
    std::shared_ptr<appkit::NSButton> standardWindowButton(appkit::NSWindowButton button) const override;

    // The stand-in's own handles; they never raise.
    void resize(double width, double height);
    // setContentView: as the host does it: no planned fault applies.
    void adoptContentView(const std::shared_ptr<SimView>& view);
    void setKey(bool key) { key_ = key; }
    void setVisible(bool visible) { visible_ = visible; }
    const std::shared_ptr<SimThemeFrame>& themeFrame() const { return themeFrame_; }
    std::shared_ptr<SimView> simContentView() const { return contentView_; }
    // Called by a view of this window that is about to leave it.
    void viewWillLeaveWindow(const SimView& view);

private:
    SimWindow(const WindowOptions& options, std::int64_t windowNumber, std::shared_ptr<WindowFaults> faults);

    appkit::NSRect frame_;
    appkit::NSWindowStyleMask styleMask_;
    bool titlebarAppearsTransparent_;
    std::int64_t windowNumber_;
    bool key_ = false;
    bool visible_ = true;
    std::shared_ptr<WindowFaults> faults_;
    std::shared_ptr<SimThemeFrame> themeFrame_;
    std::shared_ptr<SimView> titlebar_;
    std::array<std::shared_ptr<SimButton>, 3> buttons_;
    std::shared_ptr<SimView> contentView_;
    // Empty while the window itself is first responder.
    std::weak_ptr<SimView> firstResponderView_;
};

class SimAppWindows final : public appkit::NSApplication {
public:
    explicit SimAppWindows(std::shared_ptr<WindowFaults> faults) : faults_(std::move(faults)) {}
    std::vector<std::shared_ptr<appkit::NSWindow>> windows() const override;

    void add(std::shared_ptr<SimWindow> window) { windows_.push_back(std::move(window)); }
    void remove(const SimWindow& window);
    const std::vector<std::shared_ptr<SimWindow>>& simWindows() const { return windows_; }

private:
    std::shared_ptr<WindowFaults> faults_;
    std::vector<std::shared_ptr<SimWindow>> windows_;
};

}  // namespace quorvantel::sim
