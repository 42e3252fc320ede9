// NSWorkspace's accessibility display settings.
#pragma once

namespace quorvantel::appkit {

class AccessibilityDisplayOptions {
public:
    virtual ~AccessibilityDisplayOptions() = default;
    virtual bool accessibilityDisplayShouldReduceTransparency() const = 0;
    virtual bool accessibilityDisplayShouldIncreaseContrast() const = 0;
};

}  // namespace quorvantel::appkit
