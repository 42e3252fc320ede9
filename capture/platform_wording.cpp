#include "capture/platform_wording.h"

namespace quorvantel::capture {

std::string worded(const std::string& message, const PlatformWording& wording) {
    static const std::string system = "macOS ";
    static const std::string status = "(Core Audio ";
    std::string text = message;
    if (text.starts_with(system)) text.replace(0, system.size(), wording.system + " ");
    const std::string replacement = "(" + wording.audioService + " ";
    for (auto at = text.find(status); at != std::string::npos; at = text.find(status, at + replacement.size())) {
        text.replace(at, status.size(), replacement);
    }
    return text;
}

}  // namespace quorvantel::capture
