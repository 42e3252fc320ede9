// What a call reports about a window: its glass, content, settings, geometry and
// standard buttons, gathered without the JavaScript engine.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/appkit/window_interface.h"
#include "window-appearance/glass_state.h"

namespace quorvantel::window_appearance {

// How far (in points) a frame may be off the window's own and still count as filling it.
inline constexpr double kGeometryTolerance = 0.5;

struct ButtonDiagnostics {
    bool present = false;
    bool hidden = true;
    bool enabled = false;
    appkit::NSRect frame;
    appkit::NSRect windowFrame;
    double centerFromTop = 0;
};

struct WindowDiagnostics {
    bool supported = false;
    bool attached = false;
    std::size_t trackedWindowCount = 0;
    std::optional<std::string> style;
    std::string reason;
    std::optional<std::string> contentViewClass;
    std::optional<std::string> originalContentViewClass;
    std::int64_t windowNumber = 0;
    appkit::NSWindowStyleMask windowStyleMask = 0;
    bool titlebarAppearsTransparent = false;
    bool isKeyWindow = false;
    bool visible = false;
    bool opaque = false;
    bool reducedTransparency = false;
    bool highContrast = false;
    double backingScaleFactor = 0;
    appkit::NSRect windowFrame;
    appkit::NSRect bounds;
    appkit::NSRect glassFrame;
    appkit::NSRect contentFrame;
    appkit::NSRect expectedContentFrame;
    bool geometryMatchesExpected = false;
    // close, minimize, zoom
    std::array<ButtonDiagnostics, 3> trafficLights;

    bool fullSizeContentView() const {
        return (windowStyleMask & appkit::NSWindowStyleMaskFullSizeContentView) != 0;
    }
};

WindowDiagnostics collectDiagnostics(const QVGlassState& state, const appkit::NSWindow& window, std::string_view reason);

}  // namespace quorvantel::window_appearance
