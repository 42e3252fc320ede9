#include "calendar/identifier.h"

#include "calendar/unicode_text.h"

namespace quorvantel::calendar {

bool validIdentifier(std::string_view identifier) {
    return !identifier.empty() && identifier.size() <= kMaximumIdentifierBytes &&
           isFreeOfControlAndFormat(identifier);
}

std::optional<std::string> trimmedTitle(std::string_view title) {
    const std::optional<std::string_view> trimmed = trimmingWhitespaceAndNewlines(title);
    if (!trimmed || trimmed->empty()) return std::nullopt;
    const std::optional<std::size_t> units = utf16Length(*trimmed);
    if (!units || *units > kMaximumTitleUTF16Units) return std::nullopt;
    if (!isFreeOfControlAndFormat(*trimmed)) return std::nullopt;
    return std::string(*trimmed);
}

}  // namespace quorvantel::calendar
