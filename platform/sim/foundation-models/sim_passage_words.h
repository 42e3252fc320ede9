// The built-in stand-in model's reading of passage text: lower-case words, and which
// of them carry the subject rather than greetings, hesitation or grammar.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvantel::sim {

// The words of the text in order: maximal runs of letters and digits (an apostrophe
// inside a run is kept), lower-cased; a trailing "'s" is dropped.
std::vector<std::string> passageWords(std::string_view text);

// Whether a lower-case word names a subject: at least three characters with a letter
// among them, and neither a function word nor meeting filler.
bool isSalientWord(const std::string& word);

// The words that name a subject, in order.
std::vector<std::string> salientWords(std::string_view text);

// The word with its first character in upper case.
std::string capitalized(const std::string& word);

// The words joined by single spaces, as many as fit both limits (at least the first,
// cut at a character boundary when it alone is too long).
std::string joinWithin(const std::vector<std::string>& words, std::size_t maximumWords,
                       std::size_t maximumBytes);

}  // namespace quorvantel::sim
