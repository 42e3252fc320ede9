#include "window-appearance/glass_attach.h"

#include <string>

#include "window-appearance/glass_failure.h"

namespace quorvantel::window_appearance {

std::optional<GlassStyle> parseGlassStyle(std::string_view text) {
    if (text == "regular") return GlassStyle::regular;
    if (text == "clear") return GlassStyle::clear;
    return std::nullopt;
}

std::string_view glassStyleName(GlassStyle style) {
    return style == GlassStyle::clear ? "clear" : "regular";
}

appkit::NSGlassEffectViewStyle glassEffectViewStyle(GlassStyle style) {
    return style == GlassStyle::clear ? appkit::NSGlassEffectViewStyle::clear : appkit::NSGlassEffectViewStyle::regular;
}

namespace {

std::shared_ptr<QVGlassAttachment> installGlass(QVGlassState& state, const std::shared_ptr<appkit::NSWindow>& window,
                                                GlassStyle style) {
    auto attachment = std::make_shared<QVGlassAttachment>();
    QVGlassAttachment& a = *attachment;
    a.window = window;
    a.original = window->contentView();
    if (!a.original) throw GlassFailure(FailureKind::error, kHierarchyChangedRefusingMessage);
    a.originalFrame = a.original->frame();
    a.originalWindowFrame = window->frame();
    a.originalAutoresizingMask = a.original->autoresizingMask();
    a.originalStyleMask = window->styleMask();
    a.originalTitlebarAppearsTransparent = window->titlebarAppearsTransparent();

    a.glass = state.services().glassEffectViews.makeGlassEffectView(a.originalFrame);
    a.glass->setAutoresizingMask(kGlassAutoresizingMask);
    a.glass->setCornerRadius(kGlassCornerRadius);
    state.store(*window, attachment);

    // From here on the window itself changes; every step up to the last is undone if
    // AppKit raises, so that a failed attach never leaves a half-wrapped window or a
    // record of one.
    std::shared_ptr<appkit::NSResponder> firstResponder;
    try {
        firstResponder = window->firstResponder();
        a.ownsFullSizeContentBit = (a.originalStyleMask & appkit::NSWindowStyleMaskFullSizeContentView) == 0;
        a.ownsTransparentTitlebar = !a.originalTitlebarAppearsTransparent;
        window->setStyleMask(window->styleMask() | appkit::NSWindowStyleMaskFullSizeContentView);
        window->setTitlebarAppearsTransparent(true);
        a.original->setAutoresizingMask(kGlassAutoresizingMask);
        window->setContentView(a.glass);
        a.glass->setContentView(a.original);
        a.original->setFrame(a.glass->bounds());
        // The focused view left the window for a moment while it was rewrapped.
        if (firstResponder) window->makeFirstResponder(firstResponder);

        std::weak_ptr<QVGlassState> weakState = state.weak_from_this();
        std::weak_ptr<QVGlassAttachment> weakAttachment = attachment;
        a.closeObserver = state.services().notificationCenter.addObserverForName(
            appkit::NSWindowWillCloseNotification, window.get(), [weakState, weakAttachment] {
                auto liveState = weakState.lock();
                auto liveAttachment = weakAttachment.lock();
                if (liveState && liveAttachment) liveState->removeRecord(liveAttachment, true);
            });
        a.glass->setStyle(glassEffectViewStyle(style));
    } catch (...) {
        try {
            if (state.removeRecord(attachment, true) && firstResponder) window->makeFirstResponder(firstResponder);
        } catch (...) {
            state.removeRecord(attachment, false);
        }
        throw;
    }
    return attachment;
}

}  // namespace

void Attach(QVGlassState& state, const std::shared_ptr<appkit::NSWindow>& window, GlassStyle style) {
    if (auto record = state.recordFor(*window)) {
        const std::shared_ptr<appkit::NSView> glassView = record->glass;
        if (window->contentView() != glassView || record->glass->contentView() != record->original) {
            throw GlassFailure(FailureKind::error, kHierarchyChangedRefusingMessage);
        }
        record->glass->setStyle(glassEffectViewStyle(style));
        record->style = std::string(glassStyleName(style));
        return;
    }
    auto attachment = installGlass(state, window, style);
    attachment->style = std::string(glassStyleName(style));
}

}  // namespace quorvantel::window_appearance
