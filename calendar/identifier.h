// What the store may hand the host as an identifier or a title: both end up as keys
// and labels in the host's own records, so nothing unbounded or invisible passes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::calendar {

inline constexpr std::size_t kMaximumIdentifierBytes = 512;
inline constexpr std::size_t kMaximumTitleUTF16Units = 200;

// Non-empty, at most 512 UTF-8 bytes, and no scalar of general category Cc or Cf.
bool validIdentifier(std::string_view identifier);

// The title trimmed of white space and newlines at both ends, when that is
// non-empty, at most 200 UTF-16 code units and free of Cc and Cf scalars.
std::optional<std::string> trimmedTitle(std::string_view title);

}  // namespace quorvantel::calendar
