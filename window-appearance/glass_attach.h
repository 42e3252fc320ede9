// Putting the glass material behind a window's content.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "platform/appkit/glass_effect_view.h"
#include "platform/appkit/window_interface.h"
#include "window-appearance/glass_state.h"

namespace quorvantel::window_appearance {

inline constexpr const char* kHierarchyChangedRefusingMessage = "Native content hierarchy changed; refusing to replace it.";

// Views sized with the window: NSViewWidthSizable | NSViewHeightSizable.
inline constexpr appkit::NSAutoresizingMaskOptions kGlassAutoresizingMask =
    appkit::NSViewWidthSizable | appkit::NSViewHeightSizable;
inline constexpr double kGlassCornerRadius = 12;

// The styles attach accepts. "clear" gives the clear glass material, which lets more
// of what is behind the window through; "regular" the standard one.
enum class GlassStyle {
    regular,
    clear,
};

// The longest accepted style name, in bytes ("regular").
inline constexpr std::size_t kMaximumStyleBytes = 7;

std::optional<GlassStyle> parseGlassStyle(std::string_view text);
std::string_view glassStyleName(GlassStyle style);
appkit::NSGlassEffectViewStyle glassEffectViewStyle(GlassStyle style);

// Installs the glass behind the window's content view, or only sets the style of a
// window attached before. Called on macOS 26 or later only. A platform exception
// while the window is being changed puts the window back (or, if that raises too,
// drops the record) and is passed on.
void Attach(QVGlassState& state, const std::shared_ptr<appkit::NSWindow>& window, GlassStyle style);

}  // namespace quorvantel::window_appearance
