#include "platform/sim/appkit/view_stand_in.h"

#include <algorithm>
#include <utility>

#include "platform/appkit/window_exception.h"
#include "platform/sim/appkit/window_stand_in.h"

namespace quorvantel::sim {

using appkit::NSRect;

SimView::SimView(std::string className, NSRect frame, std::shared_ptr<WindowFaults> faults)
    : className_(std::move(className)), frame_(frame), faults_(std::move(faults)) {}

void SimView::checkFault(std::string_view selector) const {
    std::string operation = className_;
    operation += ' ';
    operation += selector;
    faults_->check(operation);
}

void SimView::setFrame(NSRect frame) {
    checkFault("setFrame:");
    applyFrame(frame);
}

void SimView::applyFrame(NSRect frame) {
    const double oldWidth = frame_.width;
    const double oldHeight = frame_.height;
    frame_ = frame;
    if (frame.width != oldWidth || frame.height != oldHeight) resizeSubviewsWithOldSize(oldWidth, oldHeight);
}

void SimView::setAutoresizingMask(appkit::NSAutoresizingMaskOptions mask) {
    checkFault("setAutoresizingMask:");
    autoresizingMask_ = mask;
}

bool SimView::isHiddenOrHasHiddenAncestor() const {
    for (const SimView* view = this; view != nullptr; view = view->superview_.lock().get()) {
        if (view->hidden_) return true;
    }
    return false;
}

NSRect SimView::convertRectToView(NSRect rect, const appkit::NSView* view) const {
    // Bounds always sit at the origin here, so a view's coordinates reach the window's
    // by adding the frame origins of the view and its ancestors.
    auto toWindow = [](const SimView* from, NSRect r) {
        for (const SimView* v = from; v != nullptr; v = v->superview_.lock().get()) {
            r.x += v->frame_.x;
            r.y += v->frame_.y;
        }
        return r;
    };
    NSRect result = toWindow(this, rect);
    if (view != nullptr) {
        const auto* target = dynamic_cast<const SimView*>(view);
        if (target == nullptr) {
            throw appkit::NSException("NSInvalidArgumentException", "The view does not belong to the stand-in AppKit.");
        }
        const NSRect origin = toWindow(target, NSRect{});
        result.x -= origin.x;
        result.y -= origin.y;
    }
    return result;
}

void SimView::addSubview(const std::shared_ptr<SimView>& view) {
    view->removeFromSuperview();
    subviews_.push_back(view);
    view->superview_ = weak_from_this();
}

void SimView::removeFromSuperview() {
    auto parent = superview_.lock();
    if (!parent) return;
    // A view leaving its window takes the keyboard focus with it, as in AppKit.
    if (auto window = this->window()) window->viewWillLeaveWindow(*this);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [this](const std::shared_ptr<SimView>& v) { return v.get() == this; }),
                   siblings.end());
    superview_.reset();
}

std::shared_ptr<SimWindow> SimView::window() const {
    const SimView* view = this;
    while (auto parent = view->superview_.lock()) view = parent.get();
    return view->ownWindow();
}

bool SimView::isDescendantOf(const SimView& ancestor) const {
    for (const SimView* view = this; view != nullptr; view = view->superview_.lock().get()) {
        if (view == &ancestor) return true;
    }
    return false;
}

NSRect autoresizedFrame(NSRect frame, appkit::NSAutoresizingMaskOptions mask, double dw, double dh) {
    auto share = [mask](appkit::NSAutoresizingMaskOptions low, appkit::NSAutoresizingMaskOptions size,
                        appkit::NSAutoresizingMaskOptions high, double delta, double& origin, double& extent) {
        const int flexible = ((mask & low) ? 1 : 0) + ((mask & size) ? 1 : 0) + ((mask & high) ? 1 : 0);
        if (flexible == 0) return;
        const double part = delta / flexible;
        if (mask & low) origin += part;
        if (mask & size) extent += part;
    };
    share(appkit::NSViewMinXMargin, appkit::NSViewWidthSizable, appkit::NSViewMaxXMargin, dw, frame.x, frame.width);
    share(appkit::NSViewMinYMargin, appkit::NSViewHeightSizable, appkit::NSViewMaxYMargin, dh, frame.y, frame.height);
    return frame;
}

void SimView::resizeSubviewsWithOldSize(double oldWidth, double oldHeight) {
    const double dw = frame_.width - oldWidth;
    const double dh = frame_.height - oldHeight;
    // A copy: resizing may not change the list, but the loop must not depend on it.
    const auto children = subviews_;
    for (const auto& child : children) {
        child->applyFrame(autoresizedFrame(child->frame_, child->autoresizingMask_, dw, dh));
    }
}

std::shared_ptr<SimView> simViewOf(const std::shared_ptr<appkit::NSView>& view) {
    if (!view) return nullptr;
    auto sim = std::dynamic_pointer_cast<SimView>(view);
    if (!sim) throw appkit::NSException("NSInvalidArgumentException", "The view does not belong to the stand-in AppKit.");
    return sim;
}

}  // namespace quorvantel::sim
