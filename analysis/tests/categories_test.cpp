// The categories helper: the answer checks in their order, and the failure code of
// every answer rule and every model error on both system generations.
#include <gtest/gtest.h>

#include "analysis/categories/categories_answer.h"
#include "analysis/categories/categories_instructions.h"
#include "analysis/categories/categories_schema.h"
#include "analysis/categories/meeting_categories_helper.h"
#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"

namespace quorvantel::analysis::categories {
namespace {

const std::vector<Segment> kSegments = {{"a", "x"}, {"b", "y"}, {"c", "z"}, {"d", "w"}, {"\u03b1", "v"}};

struct CheckCase {
    const char* name;
    CategorySuggestion answer;
    std::vector<Segment> segments;
    // The code of the rejection, or empty when accepted.
    const char* code;
};

TEST(CategoriesAnswer, TheChecksRunInOrderAndTheFirstFailureNamesTheCode) {
    const std::vector<CheckCase> cases = {
        {"unclear without evidence", {"unclear", {}}, kSegments, ""},
        {"unclear with evidence", {"unclear", {"a"}}, kSegments, "output_unclear_with_references"},
        {"planning without evidence", {"planning", {}}, kSegments, "output_missing_references"},
        {"mixed with four distinct known references", {"mixed", {"a", "b", "c", "d"}}, kSegments, ""},
        {"a non-ASCII reference", {"interview", {"\u03b1"}}, kSegments, ""},
        {"five references with a repeat", {"planning", {"a", "a", "b", "c", "d"}}, kSegments,
         "output_too_many_references"},
        {"four references with a repeat", {"planning", {"a", "b", "c", "a"}}, kSegments,
         "output_duplicate_reference"},
        {"a repeated unknown reference", {"planning", {"zz", "zz"}}, kSegments, "output_duplicate_reference"},
        {"an unknown reference", {"planning", {"a", "zz"}}, kSegments, "output_unknown_reference"},
        {"an unknown reference with unclear", {"unclear", {"zz"}}, kSegments, "output_unknown_reference"},
        {"unclear on an empty request", {"unclear", {}}, {}, ""},
        {"any reference on an empty request", {"planning", {"a"}}, {}, "output_unknown_reference"},
        {"another category on an empty request", {"planning", {}}, {}, "output_missing_references"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.code == '\0') {
            const Outcome outcome = categoryOutcome(c.answer, c.segments);
            EXPECT_EQ(outcome.status, "complete");
            EXPECT_EQ(json::write(json::Value(outcome.keys), json::KeyOrder::sorted),
                      json::write(json::Object{{"category", c.answer.category},
                                               {"evidenceReferences",
                                                json::Array(c.answer.evidenceReferences.begin(),
                                                            c.answer.evidenceReferences.end())}},
                                  json::KeyOrder::sorted));
            continue;
        }
        try {
            categoryOutcome(c.answer, c.segments);
            ADD_FAILURE() << "accepted";
        } catch (const OutputError& error) {
            EXPECT_EQ(outputErrorCode(error.failure()), c.code);
        }
    }
}

TEST(CategoriesAnswer, OnlyTheEightCategoriesFitTheAnswerType) {
    for (const std::string& category : categoryValues()) {
        EXPECT_EQ(decodeCategorySuggestion(json::Object{{"category", category}, {"evidenceReferences", json::Array{}}})
                      .category,
                  category);
    }
    EXPECT_EQ(categoryValues().size(), 8u);
    const std::vector<json::Value> unreadable = {
        json::Object{{"category", "party"}, {"evidenceReferences", json::Array{}}},
        json::Object{{"category", "Planning"}, {"evidenceReferences", json::Array{}}},
        json::Object{{"category", "planning"}},
        json::Object{{"evidenceReferences", json::Array{}}},
        json::Object{{"category", "planning"}, {"evidenceReferences", "a"}},
        json::Object{{"category", "planning"}, {"evidenceReferences", json::Array{1}}},
        json::Value(nullptr),
    };
    for (const json::Value& content : unreadable) {
        SCOPED_TRACE(json::write(content, json::KeyOrder::sorted));
        EXPECT_THROW(decodeCategorySuggestion(content), AnswerDecodingError);
    }
}

struct ErrorCase {
    LanguageModelPlatformError::Type type;
    const char* caseName;
    const char* onCurrentSystem;  // version 27
    const char* onEarlierSystem;  // version 26
};

TEST(CategoriesFailure, EveryModelErrorHasItsCodeOnItsSystemGeneration) {
    using Type = LanguageModelPlatformError::Type;
    const std::vector<ErrorCase> cases = {
        {Type::languageModelError, "contextSizeExceeded", "generation_context_size_exceeded", "generation_failed"},
        {Type::languageModelError, "rateLimited", "generation_rate_limited", "generation_failed"},
        {Type::languageModelError, "guardrailViolation", "generation_guardrail_violation", "generation_failed"},
        {Type::languageModelError, "refusal", "generation_refusal", "generation_failed"},
        {Type::languageModelError, "unsupportedCapability", "generation_unsupported_capability", "generation_failed"},
        {Type::languageModelError, "unsupportedTranscriptContent", "generation_unsupported_transcript_content",
         "generation_failed"},
        {Type::languageModelError, "unsupportedGenerationGuide", "generation_unsupported_guide", "generation_failed"},
        {Type::languageModelError, "unsupportedLanguageOrLocale", "generation_unsupported_language_or_locale",
         "generation_failed"},
        {Type::languageModelError, "timeout", "generation_timeout", "generation_failed"},
        {Type::languageModelError, "somethingElse", "generation_failed", "generation_failed"},
        {Type::systemLanguageModelError, "assetsUnavailable", "generation_assets_unavailable", "generation_failed"},
        {Type::systemLanguageModelError, "somethingElse", "generation_failed", "generation_failed"},
        {Type::languageModelSessionError, "concurrentRequests", "generation_concurrent_requests", "generation_failed"},
        {Type::languageModelSessionError, "transcriptMutationWhileResponding", "generation_transcript_mutation",
         "generation_failed"},
        {Type::languageModelSessionError, "somethingElse", "generation_failed", "generation_failed"},
        {Type::generatedContentParsingError, "", "generation_decoding_failure", "generation_failed"},
        {Type::generationError, "exceededContextWindowSize", "generation_failed", "generation_context_size_exceeded"},
        {Type::generationError, "assetsUnavailable", "generation_failed", "generation_assets_unavailable"},
        {Type::generationError, "guardrailViolation", "generation_failed", "generation_guardrail_violation"},
        {Type::generationError, "unsupportedGuide", "generation_failed", "generation_unsupported_guide"},
        {Type::generationError, "unsupportedLanguageOrLocale", "generation_failed",
         "generation_unsupported_language_or_locale"},
        {Type::generationError, "decodingFailure", "generation_failed", "generation_decoding_failure"},
        {Type::generationError, "rateLimited", "generation_failed", "generation_rate_limited"},
        {Type::generationError, "concurrentRequests", "generation_failed", "generation_concurrent_requests"},
        {Type::generationError, "refusal", "generation_failed", "generation_refusal"},
        {Type::generationError, "somethingElse", "generation_failed", "generation_failed"},
        {Type::other, "", "generation_failed", "generation_failed"},
    };
    const testing::FakeProcessInfo current({27, 0, 0});
    const testing::FakeProcessInfo later({28, 1, 0});
    const testing::FakeProcessInfo earlier({26, 4, 1});
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(std::string(errorTypeName(c.type)) + "." + c.caseName);
        const LanguageModelPlatformError error(c.type, c.caseName);
        EXPECT_EQ(generationFailureCode(error, current), c.onCurrentSystem);
        EXPECT_EQ(generationFailureCode(error, later), c.onCurrentSystem);
        EXPECT_EQ(generationFailureCode(error, earlier), c.onEarlierSystem);
    }
}

TEST(CategoriesFailure, AnswerErrorsComeBeforeModelErrorsOnEverySystem) {
    using Case = OutputError::Case;
    const std::vector<std::pair<Case, const char*>> cases = {
        {Case::unknownReference, "output_unknown_reference"},
        {Case::duplicateReference, "output_duplicate_reference"},
        {Case::tooManyReferences, "output_too_many_references"},
        {Case::unclearWithReferences, "output_unclear_with_references"},
        {Case::missingReferences, "output_missing_references"},
    };
    for (const OperatingSystemVersion version : {OperatingSystemVersion{26, 0, 0}, OperatingSystemVersion{27, 0, 0}}) {
        const testing::FakeProcessInfo info(version);
        for (const auto& [failure, code] : cases) EXPECT_EQ(generationFailureCode(OutputError(failure), info), code);
        EXPECT_EQ(generationFailureCode(AnswerDecodingError("x"), info), "generation_decoding_failure");
        EXPECT_EQ(generationFailureCode(std::runtime_error("x"), info), "generation_failed");
    }
}

TEST(CategoriesInstructions, TheTextHasItsExactLength) {
    EXPECT_EQ(instructions().size(), 1245u);
    EXPECT_EQ(std::count(instructions().begin(), instructions().end(), '\n'), 14);
}

TEST(CategoriesRun, AnAcceptedCategoryHasOnlyTheCategoriesKeys) {
    testing::ModelScript script;
    script.answer = json::Object{{"category", "planning"}, {"evidenceReferences", json::Array{"b"}}};
    testing::FakeProvider provider(script);
    testing::FakeProcessInfo info;
    testing::StringSource source(
        testing::requestText(testing::allHelpers()[testing::kCategories], testing::sampleSegments()));
    testing::StringSink sink;
    testing::SteppingClock clock;
    HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
    MeetingCategoriesHelper helper;
    EXPECT_EQ(runHelper(helper, {"--classify"}, platform), 0);
    EXPECT_EQ(sink.text, R"({"category":"planning","durationMs":1.5,"evidenceReferences":["b"],)"
                         R"("processingLocation":"on-device","providerId":"apple-foundation-models",)"
                         R"("schemaVersion":1,"status":"complete"})"
                         "\n");
    EXPECT_EQ(script.generations.at(0).prompt.rfind("Classify this quoted JSON transcript and cite its reference IDs:\n[", 0),
              0u);
}

}  // namespace
}  // namespace quorvantel::analysis::categories
