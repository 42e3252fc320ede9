// One call of attach, inspect or detach, after its arguments were read: the checks
// and the dispatch that do not depend on the JavaScript engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/appkit/window_interface.h"
#include "window-appearance/glass_attach.h"
#include "window-appearance/glass_state.h"

namespace quorvantel::window_appearance {

enum class Operation {
    attach,
    inspect,
    detach,
};

inline constexpr const char* kLoadOffMainThreadMessage = "Load the Liquid Glass prototype in the app main process only.";
inline constexpr const char* kInitializationFailedMessage = "Could not initialize the Liquid Glass prototype.";
inline constexpr const char* kCallOffMainThreadMessage = "Liquid Glass may only be used on the app main thread.";
inline constexpr const char* kUnexpectedArgumentsMessage = "Unexpected Liquid Glass arguments.";
inline constexpr const char* kHandleNotBufferMessage = "Window handle must be a Buffer.";
inline constexpr const char* kHandleSizeMessage = "Window handle must contain exactly one native pointer.";
inline constexpr const char* kHandleNullMessage = "Window handle must not be null.";
inline constexpr const char* kStyleMessage = "Style must be regular or clear.";
inline constexpr const char* kNoWindowMessage = "Window handle does not identify a live app content view.";
inline constexpr const char* kDetachHierarchyChangedMessage = "Native content hierarchy changed; restoration was not performed.";
inline constexpr const char* kFallbackRestoreFailedMessage = "Could not restore content for the accessibility fallback.";
inline constexpr const char* kPlatformExceptionPrefix = "AppKit Liquid Glass operation failed: ";
inline constexpr const char* kNodeApiFailedMessage = "Node-API operation failed.";

inline constexpr const char* kReasonAttached = "attached";
inline constexpr const char* kReasonSystemTooOld = "macos-26-required";
inline constexpr const char* kReasonReducedTransparency = "reduced-transparency";
inline constexpr const char* kReasonHighContrast = "high-contrast";
inline constexpr const char* kReasonInspected = "inspected";
inline constexpr const char* kReasonDetached = "detached";

// A handle is one native pointer.
inline constexpr std::size_t kWindowHandleBytes = sizeof(void*);
static_assert(kWindowHandleBytes == 8, "a window handle holds one 64-bit pointer");
// Calls read at most this many arguments, one more than any of them takes.
inline constexpr std::size_t kMaximumCallArguments = 3;

std::size_t expectedArgumentCount(Operation operation);

// Fails the call unless it runs on the main thread.
void requireMainThread();

// The window of the handle, or the type error for a handle that names none.
std::shared_ptr<appkit::NSWindow> requireWindow(const QVGlassState& state, std::uintptr_t handle);

// Runs the operation on the window and returns its reason code. The style is given
// for attach only.
std::string_view performOperation(QVGlassState& state, Operation operation,
                                  const std::shared_ptr<appkit::NSWindow>& window, std::optional<GlassStyle> style);

// The text of a JavaScript error for an AppKit exception of that name (or none).
std::string platformExceptionMessage(const std::optional<std::string>& name);

// The environment is going away: restore every window on the main thread, now when
// this is the main thread, else through the main queue. Failures while restoring
// have no caller left to receive them and go to standard error.
void cleanUpState(std::shared_ptr<QVGlassState> state);

}  // namespace quorvantel::window_appearance
