// The stand-in NSView: a frame in its superview, bounds at the origin, autoresizing
// of subviews when the frame's size changes, hiding, and the superview chain up to
// the window's frame view.
//
// Unlike AppKit, a view made a window's content view keeps its frame: the addon sets
// the frames it wants itself, and a stand-in that quietly fitted every content view
// would hide a missing one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/appkit/view_hierarchy.h"
#include "platform/sim/appkit/window_faults.h"

namespace quorvantel::sim {

class SimWindow;

class SimView : public virtual appkit::NSView, public std::enable_shared_from_this<SimView> {
public:
    SimView(std::string className, appkit::NSRect frame, std::shared_ptr<WindowFaults> faults);

    std::string className() const override { return className_; }
    appkit::NSRect frame() const override { return frame_; }
    void setFrame(appkit::NSRect frame) override;
    appkit::NSRect bounds() const override { return {0, 0, frame_.width, frame_.height}; }
    appkit::NSAutoresizingMaskOptions autoresizingMask() const override { return autoresizingMask_; }
    void setAutoresizingMask(appkit::NSAutoresizingMaskOptions mask) override;
    std::shared_ptr<appkit::NSView> superview() const override { return superview_.lock(); }
    bool isHiddenOrHasHiddenAncestor() const override;
    appkit::NSRect convertRectToView(appkit::NSRect rect, const appkit::NSView* view) const override;

    // The stand-in's own handles on the hierarchy; they never raise.
    void setHidden(bool hidden) { hidden_ = hidden; }
    // Moves the view here from wherever it was, like addSubview:.
    void addSubview(const std::shared_ptr<SimView>& view);
    void removeFromSuperview();
    const std::vector<std::shared_ptr<SimView>>& subviews() const { return subviews_; }
    std::shared_ptr<SimView> simSuperview() const { return superview_.lock(); }
    // The window whose hierarchy holds the view, if any.
    std::shared_ptr<SimWindow> window() const;
    // True for the view itself and every view inside it.
    bool isDescendantOf(const SimView& ancestor) const;
    // Changes the frame without the fault check, as the window's own layout does.
    void applyFrame(appkit::NSRect frame);
    void applyAutoresizingMask(appkit::NSAutoresizingMaskOptions mask) { autoresizingMask_ = mask; }

protected:
    // Only the window's frame view answers; every other view asks its superview.
    virtual std::shared_ptr<SimWindow> ownWindow() const { return nullptr; }
    // Autoresizing as AppKit does it: the size change is shared equally among the
    // flexible parts (margin, size, margin) of each direction.
    virtual void resizeSubviewsWithOldSize(double oldWidth, double oldHeight);
    void checkFault(std::string_view selector) const;
    WindowFaults& faults() const { return *faults_; }
    const std::shared_ptr<WindowFaults>& sharedFaults() const { return faults_; }

private:
    std::string className_;
    appkit::NSRect frame_;
    appkit::NSAutoresizingMaskOptions autoresizingMask_ = appkit::NSViewNotSizable;
    bool hidden_ = false;
    std::weak_ptr<SimView> superview_;
    std::vector<std::shared_ptr<SimView>> subviews_;
    std::shared_ptr<WindowFaults> faults_;
};

// A view of this stand-in behind the interface, or an NSInvalidArgumentException for
// a view that does not come from it.
std::shared_ptr<SimView> simViewOf(const std::shared_ptr<appkit::NSView>& view);

// The frame a view gets when its superview's size changes by (dw, dh).
appkit::NSRect autoresizedFrame(appkit::NSRect frame, appkit::NSAutoresizingMaskOptions mask, double dw, double dh);

}  // namespace quorvantel::sim
