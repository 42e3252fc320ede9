// The attachment records of one loaded module, keyed by window identity, and the
// restoration of a window from its record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/appkit/window_services.h"
#include "window-appearance/glass_attachment.h"

namespace quorvantel::window_appearance {

// The glass material exists from macOS 26 on.
inline constexpr OperatingSystemVersion kGlassMinimumSystemVersion{26, 0, 0};

class QVGlassState : public std::enable_shared_from_this<QVGlassState> {
public:
    static std::shared_ptr<QVGlassState> create(const appkit::WindowServices& services);

    // The window's record, if it has one whose window is still this window (a record
    // left by a freed window whose address was reused is not this window's).
    std::shared_ptr<QVGlassAttachment> recordFor(const appkit::NSWindow& window) const;
    // Stores the record under its window's identity; a record left there by a freed
    // window is removed first, without touching anything.
    void store(const appkit::NSWindow& window, const std::shared_ptr<QVGlassAttachment>& attachment);

    // removeRecord:restore:. Always removes the record (unless AppKit raises while
    // restoring); returns whether the window is back in its original state, or needs
    // nothing to be.
    bool removeRecord(const std::shared_ptr<QVGlassAttachment>& attachment, bool restore);

    // Removes every record with restoration. A record whose restoration raises is
    // removed without it, the others are still restored, and the first exception is
    // passed on at the end.
    void cleanup();

    std::size_t recordCount() const { return records_.size(); }
    std::vector<std::shared_ptr<QVGlassAttachment>> attachments() const;
    const appkit::WindowServices& services() const { return services_; }
    bool isGlassSupported() const { return services_.processInfo.isOperatingSystemAtLeast(kGlassMinimumSystemVersion); }

private:
    explicit QVGlassState(const appkit::WindowServices& services) : services_(services) {}

    appkit::WindowServices services_;
    std::map<std::uintptr_t, std::shared_ptr<QVGlassAttachment>> records_;
};

// Undoes the window settings the attachment itself turned on, once.
void RestoreWindowPresentation(QVGlassAttachment& attachment, appkit::NSWindow& window);

}  // namespace quorvantel::window_appearance
