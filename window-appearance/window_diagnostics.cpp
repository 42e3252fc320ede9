#include "window-appearance/window_diagnostics.h"

#include <cmath>

namespace quorvantel::window_appearance {

using appkit::NSRect;

namespace {

bool fills(const NSRect& frame, double width, double height) {
    return std::fabs(frame.x) < kGeometryTolerance && std::fabs(frame.y) < kGeometryTolerance &&
           std::fabs(frame.width - width) < kGeometryTolerance && std::fabs(frame.height - height) < kGeometryTolerance;
}

ButtonDiagnostics describeButton(const appkit::NSWindow& window, appkit::NSWindowButton kind, double windowHeight) {
    ButtonDiagnostics result;
    const auto button = window.standardWindowButton(kind);
    if (!button) return result;
    result.present = true;
    result.hidden = button->isHiddenOrHasHiddenAncestor();
    result.enabled = button->isEnabled();
    result.frame = button->frame();
    result.windowFrame = button->convertRectToView(button->bounds(), nullptr);
    result.centerFromTop = windowHeight - (result.windowFrame.y + result.windowFrame.height * 0.5);
    return result;
}

}  // namespace

WindowDiagnostics collectDiagnostics(const QVGlassState& state, const appkit::NSWindow& window, std::string_view reason) {
    WindowDiagnostics d;
    d.supported = state.isGlassSupported();
    const auto content = window.contentView();
    const auto record = state.recordFor(window);
    if (record) {
        const std::shared_ptr<appkit::NSView> glassView = record->glass;
        d.attached = content == glassView && (!d.supported || record->glass->contentView() == record->original);
    }
    d.trackedWindowCount = state.recordCount();
    if (d.attached) d.style = record->style;
    d.reason = std::string(reason);
    if (content) d.contentViewClass = content->className();
    if (d.attached) {
        d.originalContentViewClass = record->original->className();
    } else {
        d.originalContentViewClass = d.contentViewClass;
    }
    d.windowNumber = window.windowNumber();
    d.windowStyleMask = window.styleMask();
    d.titlebarAppearsTransparent = window.titlebarAppearsTransparent();
    d.isKeyWindow = window.isKeyWindow();
    d.visible = window.isVisible();
    d.opaque = window.isOpaque();
    d.reducedTransparency = state.services().accessibility.accessibilityDisplayShouldReduceTransparency();
    d.highContrast = state.services().accessibility.accessibilityDisplayShouldIncreaseContrast();
    d.backingScaleFactor = window.backingScaleFactor();
    d.windowFrame = window.frame();
    if (content) d.bounds = content->bounds();
    if (d.attached) {
        d.glassFrame = record->glass->frame();
        d.contentFrame = record->original->frame();
    } else if (content) {
        d.contentFrame = content->frame();
    }
    const double width = d.windowFrame.width;
    const double height = d.windowFrame.height;
    d.expectedContentFrame = NSRect{0, 0, width, height};
    d.geometryMatchesExpected =
        fills(d.contentFrame, width, height) && fills(d.bounds, width, height) && (!d.attached || fills(d.glassFrame, width, height));
    d.trafficLights = {describeButton(window, appkit::NSWindowButton::closeButton, height),
                       describeButton(window, appkit::NSWindowButton::miniaturizeButton, height),
                       describeButton(window, appkit::NSWindowButton::zoomButton, height)};
    return d;
}

}  // namespace quorvantel::window_appearance
