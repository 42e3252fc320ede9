// The character rules the helpers apply to request and answer text, judged by ICU's
// Unicode properties and ICU-syntax regular expressions.
#pragma once

#include <string>
#include <string_view>

namespace quorvantel::analysis {

// The text without white space and line breaks (the Unicode White_Space property)
// at either end.
std::string trimWhiteSpace(std::string_view text);

// The number of maximal runs of characters that are not white space.
std::size_t wordCount(std::string_view text);

// Whether the ICU-syntax regular expression matches the whole text.
bool matchesWhole(std::string_view pattern, std::string_view text);
// Whether the ICU-syntax regular expression finds a match anywhere in the text.
bool findsMatch(std::string_view pattern, std::string_view text);

// Whether any character is of Unicode category Cc or Cf.
bool hasControlOrFormatCharacter(std::string_view text);
// Whether any character is a line break: line feed, vertical tab, form feed,
// carriage return, next line, line separator or paragraph separator.
bool hasLineBreak(std::string_view text);

// The reference rule of chapters, titles and topics: "^[a-zA-Z0-9_-]{1,64}$" over
// the whole string.
bool isIdentifierReference(std::string_view reference);
// The reference rule of categories: 1 to 64 bytes, every character a letter, mark or
// number of any script, "-" or "_".
bool isAlphanumericReference(std::string_view reference);

}  // namespace quorvantel::analysis
