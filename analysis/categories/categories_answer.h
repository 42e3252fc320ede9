// The categories answer as the model writes it, the checks it must pass against the
// request and its category's evidence rules, and the code of every failure.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/frame/envelope.h"
#include "analysis/frame/request.h"
#include "platform/foundation-models/language_model.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::analysis::categories {

// The first system whose model raises the current error types.
inline constexpr OperatingSystemVersion kCurrentErrorTypesSystemVersion{27, 0, 0};

class OutputError : public std::runtime_error {
public:
    enum class Case { unknownReference, duplicateReference, tooManyReferences, unclearWithReferences, missingReferences };
    explicit OutputError(Case failure);
    Case failure() const { return failure_; }

private:
    Case failure_;
};

std::string outputErrorCode(OutputError::Case failure);

struct CategorySuggestion {
    std::string category;
    std::vector<std::string> evidenceReferences;
};

// Raises AnswerDecodingError for content that does not fit the type, a category
// outside the eight values included.
CategorySuggestion decodeCategorySuggestion(const GeneratedContent& content);

// "complete" with the category and its evidence once the checks have passed, in
// order; raises OutputError with the first that fails.
Outcome categoryOutcome(const CategorySuggestion& answer, const std::vector<Segment>& segments);

// The code of any error raised by the generation, the answer's reading or its checks.
std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo);

}  // namespace quorvantel::analysis::categories
