#include "window-appearance/glass_state.h"

#include <exception>

namespace quorvantel::window_appearance {

using appkit::NSRect;

std::shared_ptr<QVGlassState> QVGlassState::create(const appkit::WindowServices& services) {
    return std::shared_ptr<QVGlassState>(new QVGlassState(services));
}

std::shared_ptr<QVGlassAttachment> QVGlassState::recordFor(const appkit::NSWindow& window) const {
    auto found = records_.find(appkit::objectIdentity(&window));
    if (found == records_.end()) return nullptr;
    if (found->second->window.lock().get() != &window) return nullptr;
    return found->second;
}

void QVGlassState::store(const appkit::NSWindow& window, const std::shared_ptr<QVGlassAttachment>& attachment) {
    const std::uintptr_t identity = appkit::objectIdentity(&window);
    auto found = records_.find(identity);
    if (found != records_.end() && found->second != attachment) {
        auto stale = found->second;
        removeRecord(stale, false);
    }
    records_[identity] = attachment;
}

void RestoreWindowPresentation(QVGlassAttachment& attachment, appkit::NSWindow& window) {
    if (attachment.ownsFullSizeContentBit && (window.styleMask() & appkit::NSWindowStyleMaskFullSizeContentView) != 0) {
        window.setStyleMask(window.styleMask() & ~appkit::NSWindowStyleMaskFullSizeContentView);
    }
    if (attachment.ownsTransparentTitlebar && window.titlebarAppearsTransparent()) {
        window.setTitlebarAppearsTransparent(attachment.originalTitlebarAppearsTransparent);
    }
    attachment.ownsFullSizeContentBit = false;
    attachment.ownsTransparentTitlebar = false;
}

bool QVGlassState::removeRecord(const std::shared_ptr<QVGlassAttachment>& attachment, bool restore) {
    if (!attachment) return true;
    QVGlassAttachment& a = *attachment;
    auto window = a.window.lock();
    bool restored = true;
    if (restore && window) {
        restored = false;
        const std::shared_ptr<appkit::NSView> glassView = a.glass;
        if (window->contentView() == glassView && isGlassSupported()) {
            const auto inside = a.glass->contentView();
            // Someone else may have rearranged the views meanwhile; then nothing of
            // theirs is torn down.
            const bool intact = inside == a.original || (!inside && !a.original->superview());
            if (intact) {
                const auto firstResponder = window->firstResponder();
                const NSRect windowFrame = window->frame();
                const double dw = windowFrame.width - a.originalWindowFrame.width;
                const double dh = windowFrame.height - a.originalWindowFrame.height;
                a.glass->setContentView(nullptr);
                RestoreWindowPresentation(a, *window);
                a.original->setAutoresizingMask(a.originalAutoresizingMask);
                window->setContentView(a.original);
                // The content follows a window that was resized while attached.
                NSRect frame = a.originalFrame;
                frame.width += dw;
                frame.height += dh;
                a.original->setFrame(frame);
                if (firstResponder) window->makeFirstResponder(firstResponder);
                restored = true;
            }
        }
        if (window->contentView() == a.original) {
            // The original is back (or was never moved): what the addon set on the
            // window and on the view goes, even when the glass never got in place.
            RestoreWindowPresentation(a, *window);
            if (a.original->autoresizingMask() != a.originalAutoresizingMask) {
                a.original->setAutoresizingMask(a.originalAutoresizingMask);
            }
            restored = true;
        }
    }
    if (a.closeObserver) {
        services_.notificationCenter.removeObserver(a.closeObserver);
        a.closeObserver = nullptr;
    }
    for (auto it = records_.begin(); it != records_.end();) {
        it = it->second == attachment ? records_.erase(it) : std::next(it);
    }
    return restored;
}

void QVGlassState::cleanup() {
    std::exception_ptr first;
    for (const auto& attachment : attachments()) {
        try {
            removeRecord(attachment, true);
        } catch (...) {
            if (!first) first = std::current_exception();
            removeRecord(attachment, false);
        }
    }
    if (first) std::rethrow_exception(first);
}

std::vector<std::shared_ptr<QVGlassAttachment>> QVGlassState::attachments() const {
    std::vector<std::shared_ptr<QVGlassAttachment>> all;
    all.reserve(records_.size());
    for (const auto& [identity, attachment] : records_) all.push_back(attachment);
    return all;
}

}  // namespace quorvantel::window_appearance
