#include "calendar/unicode_text.h"

#include <cstdint>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace quorvantel::calendar {
namespace {

// Calls visit(scalar) for each scalar; false when a sequence is ill-formed.
// Longer texts are beyond what the decoder indexes; nothing the store hands over comes
// near it, and such a text is treated as unusable.
constexpr std::size_t kMaximumDecodedBytes = INT32_MAX;

template <typename Visit>
bool forEachScalar(std::string_view text, Visit visit) {
    if (text.size() > kMaximumDecodedBytes) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t i = 0;
    while (i < length) {
        const std::int32_t start = i;
        UChar32 scalar;
        U8_NEXT(bytes, i, length, scalar);
        if (scalar < 0) return false;
        visit(scalar, static_cast<std::size_t>(start), static_cast<std::size_t>(i));
    }
    return true;
}

bool isWhitespaceOrNewline(UChar32 scalar) {
    if ((scalar >= 0x0A && scalar <= 0x0D) || scalar == 0x85) return true;
    return (U_GET_GC_MASK(scalar) & U_GC_Z_MASK) != 0;
}

}  // namespace

bool isFreeOfControlAndFormat(std::string_view text) {
    bool free = true;
    const bool wellFormed = forEachScalar(text, [&](UChar32 scalar, std::size_t, std::size_t) {
        const auto category = u_charType(scalar);
        if (category == U_CONTROL_CHAR || category == U_FORMAT_CHAR) free = false;
    });
    return wellFormed && free;
}

std::optional<std::string_view> trimmingWhitespaceAndNewlines(std::string_view text) {
    // The kept range runs from the first scalar to keep to the end of the last one.
    std::size_t first = text.size();
    std::size_t end = 0;
    const bool wellFormed = forEachScalar(text, [&](UChar32 scalar, std::size_t start, std::size_t next) {
        if (isWhitespaceOrNewline(scalar)) return;
        if (first == text.size()) first = start;
        end = next;
    });
    if (!wellFormed) return std::nullopt;
    if (first >= end) return text.substr(0, 0);
    return text.substr(first, end - first);
}

std::optional<std::size_t> utf16Length(std::string_view text) {
    std::size_t units = 0;
    const bool wellFormed = forEachScalar(text, [&](UChar32 scalar, std::size_t, std::size_t) {
        units += scalar >= 0x10000 ? 2 : 1;
    });
    if (!wellFormed) return std::nullopt;
    return units;
}

std::string lowercased(std::string_view text) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    unicode.toLower(icu::Locale::getRoot());
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

}  // namespace quorvantel::calendar
