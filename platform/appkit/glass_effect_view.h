// NSGlassEffectView: the system's glass material behind one content view (macOS 26).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/appkit/view_hierarchy.h"

namespace quorvantel::appkit {

enum class NSGlassEffectViewStyle : std::int64_t {
    regular = 0,
    clear = 1,
};

class NSGlassEffectView : public virtual NSView {
public:
    // The view the glass sits behind; it becomes a subview of the glass view.
    virtual std::shared_ptr<NSView> contentView() const = 0;
    virtual void setContentView(std::shared_ptr<NSView> view) = 0;
    virtual double cornerRadius() const = 0;
    virtual void setCornerRadius(double radius) = 0;
    virtual NSGlassEffectViewStyle style() const = 0;
    virtual void setStyle(NSGlassEffectViewStyle style) = 0;
};

// [[NSGlassEffectView alloc] initWithFrame:].
class NSGlassEffectViewFactory {
public:
    virtual ~NSGlassEffectViewFactory() = default;
    virtual std::shared_ptr<NSGlassEffectView> makeGlassEffectView(NSRect frame) = 0;
};

}  // namespace quorvantel::appkit
