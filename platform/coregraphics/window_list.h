// The window server's list of windows. Each entry is a window information dictionary
// of property-list values; a JSON value holds one here (an object for a dictionary,
// numbers and strings as themselves), since the logic must cope with entries and
// members of any type.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/json.h"

namespace quorvantel {

using CGWindowID = std::uint32_t;
using CGWindowListOption = std::uint32_t;

inline constexpr CGWindowID kCGNullWindowID = 0;
inline constexpr CGWindowListOption kCGWindowListOptionAll = 0;
inline constexpr CGWindowListOption kCGWindowListExcludeDesktopElements = 16;

// Keys of a window information dictionary.
inline constexpr std::string_view kCGWindowOwnerPID = "kCGWindowOwnerPID";
inline constexpr std::string_view kCGWindowLayer = "kCGWindowLayer";
inline constexpr std::string_view kCGWindowName = "kCGWindowName";

using CFWindowInfoArray = std::vector<json::Value>;

class WindowList {
public:
    virtual ~WindowList() = default;
    // The window dictionaries of all applications, front to back, or nothing when the
    // window server gave no list.
    virtual std::optional<CFWindowInfoArray> CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                                        CGWindowID relativeToWindow) const = 0;
};

}  // namespace quorvantel
