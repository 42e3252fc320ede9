// Which decoder tokens are words of the transcript.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvantel::pocketsphinx {

// The word a token stands for, or nothing for sentence marks ("<s>", "</s>"),
// silence ("<sil>"), noises ("[NOISE]") and fillers ("++UM++"). An alternative
// pronunciation ("read(2)") is its word.
std::optional<std::string> spokenWord(std::string_view token);

}  // namespace quorvantel::pocketsphinx
