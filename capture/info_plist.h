// Values of the property list the executable carries: its bundle identifier is what
// the helper calls its own when it excludes itself from an all-system recording.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::capture {

// The <string> value of key in an XML property list's top-level dictionary, or
// nothing when the key is missing or its value is not a plain string.
std::optional<std::string> infoPlistString(std::string_view plist, std::string_view key);

}  // namespace quorvantel::capture
