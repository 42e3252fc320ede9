// The Unicode tests the helper applies to identifiers, titles and links, with ICU as
// the reference for general categories and case mapping. Every function takes UTF-8;
// text that is not well-formed UTF-8 fails the test it is given to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::calendar {

// True when every scalar decodes and none is of general category Cc or Cf.
bool isFreeOfControlAndFormat(std::string_view text);

// The text without white space and newlines (general category Z*, U+000A to U+000D,
// U+0085) at either end; nothing when the text is not well-formed UTF-8.
std::optional<std::string_view> trimmingWhitespaceAndNewlines(std::string_view text);

// The length in UTF-16 code units; nothing when the text is not well-formed UTF-8.
std::optional<std::size_t> utf16Length(std::string_view text);

// Full Unicode lower-casing, independent of any language.
std::string lowercased(std::string_view text);

}  // namespace quorvantel::calendar
