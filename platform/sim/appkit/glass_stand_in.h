// The stand-in NSGlassEffectView: a view that holds one content view as its subview,
// with a corner radius and a style.
#pragma once

#include <memory>

#include "platform/appkit/glass_effect_view.h"
#include "platform/sim/appkit/view_stand_in.h"

namespace quorvantel::sim {

inline constexpr const char* kGlassEffectViewClassName = "NSGlassEffectView";

class SimGlassEffectView final : public SimView, public appkit::NSGlassEffectView {
public:
    SimGlassEffectView(appkit::NSRect frame, std::shared_ptr<WindowFaults> faults);

    // None once the content view has been moved out of the glass view by anyone.
    std::shared_ptr<appkit::NSView> contentView() const override;
    void setContentView(std::shared_ptr<appkit::NSView> view) override;
    double cornerRadius() const override { return cornerRadius_; }
    void setCornerRadius(double radius) override;
    appkit::NSGlassEffectViewStyle style() const override { return style_; }
    void setStyle(appkit::NSGlassEffectViewStyle style) override;

private:
    std::shared_ptr<SimView> contentView_;
    double cornerRadius_ = 0;
    appkit::NSGlassEffectViewStyle style_ = appkit::NSGlassEffectViewStyle::regular;
};

class SimGlassEffectViewFactory final : public appkit::NSGlassEffectViewFactory {
public:
    explicit SimGlassEffectViewFactory(std::shared_ptr<WindowFaults> faults) : faults_(std::move(faults)) {}
    std::shared_ptr<appkit::NSGlassEffectView> makeGlassEffectView(appkit::NSRect frame) override;

private:
    std::shared_ptr<WindowFaults> faults_;
};

}  // namespace quorvantel::sim
