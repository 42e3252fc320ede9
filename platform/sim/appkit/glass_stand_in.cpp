#include "platform/sim/appkit/glass_stand_in.h"

#include <string>
#include <utility>

namespace quorvantel::sim {

SimGlassEffectView::SimGlassEffectView(appkit::NSRect frame, std::shared_ptr<WindowFaults> faults)
    : SimView(kGlassEffectViewClassName, frame, std::move(faults)) {}

std::shared_ptr<appkit::NSView> SimGlassEffectView::contentView() const {
    if (contentView_ && contentView_->simSuperview().get() == this) return contentView_;
    return nullptr;
}

void SimGlassEffectView::setContentView(std::shared_ptr<appkit::NSView> view) {
    checkFault("setContentView:");
    auto next = simViewOf(view);
    if (next == contentView_ && contentView()) return;
    if (contentView_ && contentView_->simSuperview().get() == this) contentView_->removeFromSuperview();
    contentView_ = next;
    if (next) addSubview(next);
}

void SimGlassEffectView::setCornerRadius(double radius) {
    checkFault("setCornerRadius:");
    cornerRadius_ = radius;
}

void SimGlassEffectView::setStyle(appkit::NSGlassEffectViewStyle style) {
    checkFault("setStyle:");
    style_ = style;
}

std::shared_ptr<appkit::NSGlassEffectView> SimGlassEffectViewFactory::makeGlassEffectView(appkit::NSRect frame) {
    faults_->check(std::string(kGlassEffectViewClassName) + " initWithFrame:");
    return std::make_shared<SimGlassEffectView>(frame, faults_);
}

}  // namespace quorvantel::sim
