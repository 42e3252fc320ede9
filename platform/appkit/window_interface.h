// NSWindow and NSApp.windows as the window appearance addon uses them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/appkit/view_hierarchy.h"

namespace quorvantel::appkit {

using NSWindowStyleMask = std::uint64_t;
inline constexpr NSWindowStyleMask NSWindowStyleMaskBorderless = 0;
inline constexpr NSWindowStyleMask NSWindowStyleMaskTitled = 1;
inline constexpr NSWindowStyleMask NSWindowStyleMaskClosable = 2;
inline constexpr NSWindowStyleMask NSWindowStyleMaskMiniaturizable = 4;
inline constexpr NSWindowStyleMask NSWindowStyleMaskResizable = 8;
inline constexpr NSWindowStyleMask NSWindowStyleMaskFullSizeContentView = 32768;

enum class NSWindowButton {
    closeButton = 0,
    miniaturizeButton = 1,
    zoomButton = 2,
};

class NSWindow : public NSResponder {
public:
    // None for a window without content.
    virtual std::shared_ptr<NSView> contentView() const = 0;
    virtual void setContentView(std::shared_ptr<NSView> view) = 0;
    virtual NSRect frame() const = 0;
    virtual NSWindowStyleMask styleMask() const = 0;
    virtual void setStyleMask(NSWindowStyleMask mask) = 0;
    virtual bool titlebarAppearsTransparent() const = 0;
    virtual void setTitlebarAppearsTransparent(bool transparent) = 0;
    // The window itself when no view has the focus.
    virtual std::shared_ptr<NSResponder> firstResponder() const = 0;
    // False when the responder refused or does not belong to this window.
    virtual bool makeFirstResponder(std::shared_ptr<NSResponder> responder) = 0;
    virtual std::int64_t windowNumber() const = 0;
    virtual bool isKeyWindow() const = 0;
    virtual bool isVisible() const = 0;
    virtual bool isOpaque() const = 0;
    virtual double backingScaleFactor() const = 0;
    // None when the window has no such button.
    virtual std::shared_ptr<NSButton> standardWindowButton(NSWindowButton button) const = 0;
};

// NSApp.
class NSApplication {
public:
    virtual ~NSApplication() = default;
    // The application's windows, front to back as AppKit orders them.
    virtual std::vector<std::shared_ptr<NSWindow>> windows() const = 0;
};

}  // namespace quorvantel::appkit
