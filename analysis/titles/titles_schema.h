// The titles answer type `TitleSuggestion` as a generation schema.
#pragma once

#include "platform/foundation-models/generation_schema.h"

namespace quorvantel::analysis::titles {

inline constexpr const char* kInsufficientEvidence = "insufficientEvidence";
inline constexpr const char* kProposed = "proposed";
// The guide on the evidence of one title.
inline constexpr int kMinimumEvidenceReferences = 1;
inline constexpr int kMaximumEvidenceReferences = 4;

const GenerationSchema& titleSuggestionSchema();

}  // namespace quorvantel::analysis::titles
