// The topics answer type `Topics` as a generation schema.
#pragma once

#include "platform/foundation-models/generation_schema.h"

namespace quorvantel::analysis::topics {

inline constexpr const char* kNoSubstantiveTopics = "noSubstantiveTopics";
inline constexpr const char* kSubstantiveTopics = "substantiveTopics";
// The guides on the tags of one answer and on the references of one tag.
inline constexpr int kMinimumTags = 1;
inline constexpr int kMaximumTags = 3;
inline constexpr int kMinimumTagReferences = 1;
inline constexpr int kMaximumTagReferences = 3;

const GenerationSchema& topicsSchema();

}  // namespace quorvantel::analysis::topics
