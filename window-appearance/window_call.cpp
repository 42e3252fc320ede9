#include "window-appearance/window_call.h"

#include <cstdio>
#include <exception>
#include <string>

#include "platform/appkit/window_exception.h"
#include "window-appearance/glass_failure.h"
#include "window-appearance/window_lookup.h"

namespace quorvantel::window_appearance {

std::size_t expectedArgumentCount(Operation operation) {
    return operation == Operation::attach ? 2 : 1;
}

void requireMainThread() {
    if (!appkit::isMainThread()) throw GlassFailure(FailureKind::error, kCallOffMainThreadMessage);
}

std::shared_ptr<appkit::NSWindow> requireWindow(const QVGlassState& state, std::uintptr_t handle) {
    auto window = findWindow(state, handle);
    if (!window) throw GlassFailure(FailureKind::typeError, kNoWindowMessage);
    return window;
}

std::string_view performOperation(QVGlassState& state, Operation operation,
                                  const std::shared_ptr<appkit::NSWindow>& window, std::optional<GlassStyle> style) {
    switch (operation) {
        case Operation::inspect:
            return kReasonInspected;
        case Operation::detach:
            if (!state.removeRecord(state.recordFor(*window), true)) {
                throw GlassFailure(FailureKind::error, kDetachHierarchyChangedMessage);
            }
            return kReasonDetached;
        case Operation::attach: {
            const auto& accessibility = state.services().accessibility;
            const char* fallback = nullptr;
            if (!state.isGlassSupported()) {
                fallback = kReasonSystemTooOld;
            } else if (accessibility.accessibilityDisplayShouldReduceTransparency()) {
                fallback = kReasonReducedTransparency;
            } else if (accessibility.accessibilityDisplayShouldIncreaseContrast()) {
                fallback = kReasonHighContrast;
            }
            if (fallback != nullptr) {
                if (!state.removeRecord(state.recordFor(*window), true)) {
                    throw GlassFailure(FailureKind::error, kFallbackRestoreFailedMessage);
                }
                return fallback;
            }
            Attach(state, window, style.value_or(GlassStyle::regular));
            return kReasonAttached;
        }
    }
    return kReasonInspected;
}

std::string platformExceptionMessage(const std::optional<std::string>& name) {
    return std::string(kPlatformExceptionPrefix) + (name ? *name : std::string("unknown exception"));
}

namespace {

void cleanUpOnMainThread(const std::shared_ptr<QVGlassState>& state) {
    try {
        state->cleanup();
    } catch (const appkit::NSException& exception) {
        std::fprintf(stderr, "%s\n", platformExceptionMessage(exception.name()).c_str());
    } catch (...) {
        std::fprintf(stderr, "%s\n", platformExceptionMessage(std::nullopt).c_str());
    }
}

}  // namespace

void cleanUpState(std::shared_ptr<QVGlassState> state) {
    if (!state) return;
    if (appkit::isMainThread()) {
        cleanUpOnMainThread(state);
    } else {
        state->services().mainQueue.dispatchAsync([state] { cleanUpOnMainThread(state); });
    }
}

}  // namespace quorvantel::window_appearance
