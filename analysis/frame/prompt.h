// The prompt the helpers give the model: a header, then the passages as quoted JSON,
// so that transcript text reaches the model only as JSON string values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/frame/request.h"
#include "platform/foundation-models/language_model.h"

namespace quorvantel::analysis {

// The passages as a compact JSON array of {"reference","text"} objects, in order,
// written by the same writer as the result line.
std::string passagesJSON(const std::vector<Segment>& segments);

// The header followed directly by the passages JSON.
std::string passagesPrompt(std::string_view header, const std::vector<Segment>& segments);

// One fresh session with the instructions, greedy sampling, no temperature, at most
// maximumResponseTokens, the schema included in the prompt. Raises what the model
// raises.
GeneratedContent generate(SystemLanguageModel& model, const std::string& instructions, const std::string& prompt,
                          const GenerationSchema& schema, int maximumResponseTokens);

}  // namespace quorvantel::analysis
