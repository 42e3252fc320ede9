#include "analysis/frame/text_rules.h"

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace quorvantel::analysis {

namespace {

constexpr std::size_t kMaximumReferenceBytes = 64;
constexpr const char* kIdentifierReferencePattern = "^[a-zA-Z0-9_-]{1,64}$";

// Calls visit(codePoint) for each character; an invalid sequence is visited as
// U+FFFD, as every reader of the text would show it.
template <typename Visit>
bool anyCodePoint(std::string_view text, Visit visit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) c = 0xFFFD;
        if (visit(c)) return true;
    }
    return false;
}

// Each pattern is compiled once; the helpers use a handful of constant patterns.
const icu::RegexPattern& compiled(std::string_view pattern) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<icu::RegexPattern>, std::less<>> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto found = cache.find(pattern);
    if (found != cache.end()) return *found->second;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> regex(icu::RegexPattern::compile(
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size()))), 0,
        parseError, status));
    if (U_FAILURE(status) || !regex) {
        throw std::logic_error("invalid regular expression " + std::string(pattern) + ": " + u_errorName(status));
    }
    return *cache.emplace(std::string(pattern), std::move(regex)).first->second;
}

bool runRegex(std::string_view pattern, std::string_view text, bool whole) {
    const icu::UnicodeString subject =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled(pattern).matcher(subject, status));
    if (U_FAILURE(status)) throw std::runtime_error(std::string("regular expression failed: ") + u_errorName(status));
    const bool found = whole ? matcher->matches(status) : matcher->find(status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("regular expression failed: ") + u_errorName(status));
    return found;
}

}  // namespace

std::string trimWhiteSpace(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, 0, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = previous;
    }
    return std::string(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::size_t wordCount(std::string_view text) {
    std::size_t words = 0;
    bool inWord = false;
    anyCodePoint(text, [&](UChar32 c) {
        const bool space = u_isUWhiteSpace(c);
        if (!space && !inWord) ++words;
        inWord = !space;
        return false;
    });
    return words;
}

bool matchesWhole(std::string_view pattern, std::string_view text) { return runRegex(pattern, text, true); }

bool findsMatch(std::string_view pattern, std::string_view text) { return runRegex(pattern, text, false); }

bool hasControlOrFormatCharacter(std::string_view text) {
    return anyCodePoint(text, [](UChar32 c) {
        const int8_t type = u_charType(c);
        return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
    });
}

bool hasLineBreak(std::string_view text) {
    return anyCodePoint(text, [](UChar32 c) {
        return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
    });
}

bool isIdentifierReference(std::string_view reference) {
    // A search anchored with ^ and $ would also accept a trailing line feed, since $
    // matches before a final line terminator; the whole string must match instead.
    return matchesWhole(kIdentifierReferencePattern, reference);
}

bool isAlphanumericReference(std::string_view reference) {
    if (reference.empty() || reference.size() > kMaximumReferenceBytes) return false;
    return !anyCodePoint(reference, [](UChar32 c) {
        if (c == '-' || c == '_') return false;
        const uint32_t mask = U_GET_GC_MASK(c);
        return (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) == 0;
    });
}

}  // namespace quorvantel::analysis
