// The categories answer type `CategorySuggestion` as a generation schema, and the
// eight meeting purposes in the order of its guide.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation-models/generation_schema.h"

namespace quorvantel::analysis::categories {

inline constexpr const char* kUnclear = "unclear";
// The guide on the evidence of one category (no minimum: "unclear" has none).
inline constexpr int kMaximumEvidenceReferences = 4;

// "planning", "status_update", "customer_discussion", "retrospective",
// "brainstorming", "interview", "mixed", "unclear".
const std::vector<std::string>& categoryValues();

const GenerationSchema& categorySuggestionSchema();

}  // namespace quorvantel::analysis::categories
