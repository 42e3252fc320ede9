// The instruction text of the topics helper.
#pragma once

#include <string>

namespace quorvantel::analysis::topics {

inline constexpr const char* kPromptVersion = "meeting-topics-passages-v3.1";

const std::string& instructions();

}  // namespace quorvantel::analysis::topics
