// The answer types of the chapters helper as generation schemas: `Chapters` for
// requests without prior context, `ContextualChapters` for requests with it.
#pragma once

#include "platform/foundation-models/generation_schema.h"

namespace quorvantel::analysis::chapters {

inline constexpr const char* kNoSubstantiveChapters = "noSubstantiveChapters";
inline constexpr const char* kSubstantiveChapters = "substantiveChapters";
// The guide on the number of chapters of one answer.
inline constexpr int kMinimumChapters = 1;
inline constexpr int kMaximumChapters = 4;

const GenerationSchema& chaptersSchema();
const GenerationSchema& contextualChaptersSchema();

}  // namespace quorvantel::analysis::chapters
