// The instruction texts of the chapters helper: one without prior context, one that
// tells the model how to use it.
#pragma once

#include <string>

namespace quorvantel::analysis::chapters {

inline constexpr const char* kPromptVersion = "meeting-chapters-continuity-v2";

// For requests without prior context (schema 1).
const std::string& instructions();
// For requests with prior context (schema 2).
const std::string& contextualInstructions();

}  // namespace quorvantel::analysis::chapters
