// The instruction text of the categories helper.
#pragma once

#include <string>

namespace quorvantel::analysis::categories {

inline constexpr const char* kPromptVersion = "meeting-categories-v1";

const std::string& instructions();

}  // namespace quorvantel::analysis::categories
