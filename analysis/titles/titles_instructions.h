// The instruction texts of the titles helper, one per phase, sharing their first
// nine lines.
#pragma once

#include <string>

namespace quorvantel::analysis::titles {

inline constexpr const char* kPromptVersion = "meeting-titles-v1";

// The lines both phases begin with; never given to the model alone.
const std::string& commonInstructions();
const std::string& extractInstructions();
const std::string& synthesizeInstructions();

}  // namespace quorvantel::analysis::titles
