#include "analysis/categories/categories_answer.h"

#include <algorithm>
#include <set>

#include "analysis/categories/categories_schema.h"
#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/answer_decoding.h"

namespace quorvantel::analysis::categories {

OutputError::OutputError(Case failure) : std::runtime_error(outputErrorCode(failure)), failure_(failure) {}

std::string outputErrorCode(OutputError::Case failure) {
    switch (failure) {
        case OutputError::Case::unknownReference: return "output_unknown_reference";
        case OutputError::Case::duplicateReference: return "output_duplicate_reference";
        case OutputError::Case::tooManyReferences: return "output_too_many_references";
        case OutputError::Case::unclearWithReferences: return "output_unclear_with_references";
        case OutputError::Case::missingReferences: return "output_missing_references";
    }
    return "generation_failed";
}

CategorySuggestion decodeCategorySuggestion(const GeneratedContent& content) {
    CategorySuggestion answer;
    answer.category = answerString(content, "category");
    // The answer type's category is one of the eight values; anything else is an
    // answer of another type, not a category to pass on.
    const std::vector<std::string>& values = categoryValues();
    if (std::find(values.begin(), values.end(), answer.category) == values.end()) {
        throw AnswerDecodingError("the category is none of the eight values");
    }
    answer.evidenceReferences = answerStrings(content, "evidenceReferences");
    return answer;
}

Outcome categoryOutcome(const CategorySuggestion& answer, const std::vector<Segment>& segments) {
    const std::vector<std::string>& references = answer.evidenceReferences;
    using Case = OutputError::Case;
    if (references.size() > static_cast<std::size_t>(kMaximumEvidenceReferences)) {
        throw OutputError(Case::tooManyReferences);
    }
    if (std::set<std::string>(references.begin(), references.end()).size() != references.size()) {
        throw OutputError(Case::duplicateReference);
    }
    std::set<std::string> known;
    for (const Segment& segment : segments) known.insert(segment.reference);
    for (const std::string& reference : references) {
        if (known.count(reference) == 0) throw OutputError(Case::unknownReference);
    }
    if (answer.category == kUnclear && !references.empty()) throw OutputError(Case::unclearWithReferences);
    if (answer.category != kUnclear && references.empty()) throw OutputError(Case::missingReferences);
    return {"complete", json::Object{{"category", answer.category},
                                     {"evidenceReferences", json::Array(references.begin(), references.end())}}};
}

namespace {

struct CaseCode {
    const char* caseName;
    const char* code;
};

const char* codeOf(const std::vector<CaseCode>& table, const std::string& caseName) {
    for (const CaseCode& entry : table) {
        if (caseName == entry.caseName) return entry.code;
    }
    return "generation_failed";
}

const std::vector<CaseCode> kLanguageModelErrors = {
    {"contextSizeExceeded", "generation_context_size_exceeded"},
    {"rateLimited", "generation_rate_limited"},
    {"guardrailViolation", "generation_guardrail_violation"},
    {"refusal", "generation_refusal"},
    {"unsupportedCapability", "generation_unsupported_capability"},
    {"unsupportedTranscriptContent", "generation_unsupported_transcript_content"},
    {"unsupportedGenerationGuide", "generation_unsupported_guide"},
    {"unsupportedLanguageOrLocale", "generation_unsupported_language_or_locale"},
    {"timeout", "generation_timeout"},
};
const std::vector<CaseCode> kSystemLanguageModelErrors = {
    {"assetsUnavailable", "generation_assets_unavailable"},
};
const std::vector<CaseCode> kLanguageModelSessionErrors = {
    {"concurrentRequests", "generation_concurrent_requests"},
    {"transcriptMutationWhileResponding", "generation_transcript_mutation"},
};
const std::vector<CaseCode> kGenerationErrors = {
    {"exceededContextWindowSize", "generation_context_size_exceeded"},
    {"assetsUnavailable", "generation_assets_unavailable"},
    {"guardrailViolation", "generation_guardrail_violation"},
    {"unsupportedGuide", "generation_unsupported_guide"},
    {"unsupportedLanguageOrLocale", "generation_unsupported_language_or_locale"},
    {"decodingFailure", "generation_decoding_failure"},
    {"rateLimited", "generation_rate_limited"},
    {"concurrentRequests", "generation_concurrent_requests"},
    {"refusal", "generation_refusal"},
};

}  // namespace

std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) {
    if (const auto* output = dynamic_cast<const OutputError*>(&error)) return outputErrorCode(output->failure());
    if (dynamic_cast<const AnswerDecodingError*>(&error)) return "generation_decoding_failure";
    const auto* platform = dynamic_cast<const LanguageModelPlatformError*>(&error);
    if (platform == nullptr) return "generation_failed";
    using Type = LanguageModelPlatformError::Type;
    // Each system generation raises its own error types; an error of the other
    // generation's types is one this system does not know.
    if (processInfo.isOperatingSystemAtLeast(kCurrentErrorTypesSystemVersion)) {
        switch (platform->type()) {
            case Type::languageModelError: return codeOf(kLanguageModelErrors, platform->caseName());
            case Type::systemLanguageModelError: return codeOf(kSystemLanguageModelErrors, platform->caseName());
            case Type::languageModelSessionError: return codeOf(kLanguageModelSessionErrors, platform->caseName());
            case Type::generatedContentParsingError: return "generation_decoding_failure";
            default: return "generation_failed";
        }
    }
    if (platform->type() == Type::generationError) return codeOf(kGenerationErrors, platform->caseName());
    return "generation_failed";
}

}  // namespace quorvantel::analysis::categories
