// The titles answer as the model writes it, and the checks it must pass against the
// request before the host sees it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/frame/envelope.h"
#include "analysis/frame/request.h"
#include "platform/foundation-models/language_model.h"

namespace quorvantel::analysis::titles {

inline constexpr std::size_t kMaximumTitleBytes = 120;

// The answer failed a check; it carries no detail, the host only learns that the
// model's output was rejected.
class OutputError : public std::runtime_error {
public:
    OutputError() : std::runtime_error("the title answer was rejected") {}
};

struct TitleSuggestion {
    // insufficientEvidence when false.
    bool proposed = false;
    std::string title;
    std::vector<std::string> evidenceReferences;
};

// Raises AnswerDecodingError for content that does not fit the type.
TitleSuggestion decodeTitleSuggestion(const GeneratedContent& content);

// "abstained" for insufficientEvidence; otherwise "complete" with the trimmed title
// and the model's references once every check has passed; raises OutputError.
Outcome titleOutcome(const TitleSuggestion& answer, const std::vector<Segment>& segments);

}  // namespace quorvantel::analysis::titles
