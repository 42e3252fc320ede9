// What the addon changed on one window, recorded before it changed it, so that the
// window can be put back exactly.
#pragma once

#include <memory>
#include <string>

#include "platform/appkit/glass_effect_view.h"
#include "platform/appkit/window_interface.h"
#include "platform/appkit/window_notifications.h"

namespace quorvantel::window_appearance {

struct QVGlassAttachment {
    // Weak: a closed and freed window leaves the record behind with nothing to touch.
    std::weak_ptr<appkit::NSWindow> window;
    std::shared_ptr<appkit::NSView> original;
    std::shared_ptr<appkit::NSGlassEffectView> glass;
    appkit::NSRect originalFrame;
    appkit::NSRect originalWindowFrame;
    appkit::NSAutoresizingMaskOptions originalAutoresizingMask = appkit::NSViewNotSizable;
    appkit::NSWindowStyleMask originalStyleMask = 0;
    bool originalTitlebarAppearsTransparent = false;
    // Only what the addon itself turned on is turned off again.
    bool ownsFullSizeContentBit = false;
    bool ownsTransparentTitlebar = false;
    std::string style;
    appkit::NSNotificationCenter::ObserverToken closeObserver;
};

}  // namespace quorvantel::window_appearance
