// The AppKit views the window appearance addon reaches: geometry, autoresizing,
// the superview chain and hiding. Objects are reference counted as in AppKit: a
// std::shared_ptr is a strong reference, a std::weak_ptr a weak one, and an object's
// address is its identity.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quorvantel::appkit {

// A rectangle in the usual AppKit form: origin at the lower left.
struct NSRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const NSRect&) const = default;
};

using NSAutoresizingMaskOptions = std::uint64_t;
inline constexpr NSAutoresizingMaskOptions NSViewNotSizable = 0;
inline constexpr NSAutoresizingMaskOptions NSViewMinXMargin = 1;
inline constexpr NSAutoresizingMaskOptions NSViewWidthSizable = 2;
inline constexpr NSAutoresizingMaskOptions NSViewMaxXMargin = 4;
inline constexpr NSAutoresizingMaskOptions NSViewMinYMargin = 8;
inline constexpr NSAutoresizingMaskOptions NSViewHeightSizable = 16;
inline constexpr NSAutoresizingMaskOptions NSViewMaxYMargin = 32;

// Anything that can be a window's first responder: a view or the window itself.
class NSResponder {
public:
    virtual ~NSResponder() = default;
};

class NSView : public NSResponder {
public:
    // NSStringFromClass of the view's class.
    virtual std::string className() const = 0;
    virtual NSRect frame() const = 0;
    virtual void setFrame(NSRect frame) = 0;
    virtual NSRect bounds() const = 0;
    virtual NSAutoresizingMaskOptions autoresizingMask() const = 0;
    virtual void setAutoresizingMask(NSAutoresizingMaskOptions mask) = 0;
    // None when the view is not in a hierarchy.
    virtual std::shared_ptr<NSView> superview() const = 0;
    virtual bool isHiddenOrHasHiddenAncestor() const = 0;
    // convertRect:toView:; a null view means the window's own coordinates.
    virtual NSRect convertRectToView(NSRect rect, const NSView* view) const = 0;
};

// Only what the window's standard buttons are asked.
class NSButton : public virtual NSView {
public:
    virtual bool isEnabled() const = 0;
};

// An object's identity as an unsigned number, as the addon keys and compares them.
inline std::uintptr_t objectIdentity(const void* object) {
    return reinterpret_cast<std::uintptr_t>(object);
}

}  // namespace quorvantel::appkit
