// The built-in stand-in model, used when the scenario scripts no answer. It reads
// the passages (and a prior context, when there is one) out of the prompt, where the
// helpers quote them as JSON, and fills the answer schema from them: every reference
// and word it returns comes from those passages, and the same prompt always gives
// the same answer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation-models/generation_schema.h"
#include "platform/foundation-models/language_model.h"

namespace quorvantel::sim {

struct PromptPassage {
    std::string reference;
    std::string text;
};

struct PromptContext {
    std::optional<std::string> previousHeading;
    std::string text;
};

struct PromptReading {
    std::vector<PromptPassage> passages;
    std::optional<PromptContext> context;
};

// The last line of the prompt that is a JSON array of passages, and a line that is
// a JSON object with a previousHeading member, if any.
PromptReading readPrompt(const std::string& prompt);

// An answer of the schema grounded in the prompt's passages. The answer's parts are
// found by their property names: "chapters", "continuesPrevious", "title",
// "evidenceReferences", "tags" and "category"; a choice picks its case without a
// payload when the passages hold no subject words at all.
GeneratedContent extractiveAnswer(const std::string& prompt, const GenerationSchema& schema);

}  // namespace quorvantel::sim
