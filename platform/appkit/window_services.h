// Everything of AppKit the window appearance addon reaches, gathered so that the
// addon's logic is given one platform, the real one or its stand-in.
#pragma once

#include "platform/appkit/glass_effect_view.h"
#include "platform/appkit/window_accessibility.h"
#include "platform/appkit/window_interface.h"
#include "platform/appkit/window_main_thread.h"
#include "platform/appkit/window_notifications.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::appkit {

struct WindowServices {
    NSApplication& application;
    NSNotificationCenter& notificationCenter;
    NSGlassEffectViewFactory& glassEffectViews;
    AccessibilityDisplayOptions& accessibility;
    const ProcessInfo& processInfo;
    MainQueue& mainQueue;
};

}  // namespace quorvantel::appkit
