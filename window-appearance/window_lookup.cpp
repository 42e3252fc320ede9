#include "window-appearance/window_lookup.h"

namespace quorvantel::window_appearance {

std::shared_ptr<appkit::NSWindow> findWindow(const QVGlassState& state, std::uintptr_t handle) {
    for (const auto& window : state.services().application.windows()) {
        const auto content = window->contentView();
        if (!content) continue;
        if (appkit::objectIdentity(content.get()) == handle) return window;
        // The host keeps the handle of its own view after the glass was wrapped
        // around it.
        const auto record = state.recordFor(*window);
        const std::shared_ptr<appkit::NSView> glassView = record ? record->glass : nullptr;
        if (record && content == glassView && appkit::objectIdentity(record->original.get()) == handle) return window;
    }
    return nullptr;
}

}  // namespace quorvantel::window_appearance
