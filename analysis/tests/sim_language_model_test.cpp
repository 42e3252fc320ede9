// The stand-in model: its scenario, scripted answers and errors, the generation
// record, and the built-in extractive model's answers to the helpers' own prompts
// and schemas.
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

#include "analysis/categories/categories_answer.h"
#include "analysis/categories/categories_schema.h"
#include "analysis/categories/meeting_categories_helper.h"
#include "analysis/chapters/chapters_schema.h"
#include "analysis/chapters/meeting_chapters_helper.h"
#include "analysis/frame/prompt.h"
#include "analysis/tests/helpers_under_test.h"
#include "analysis/titles/meeting_titles_helper.h"
#include "analysis/titles/titles_answer.h"
#include "analysis/titles/titles_schema.h"
#include "analysis/topics/meeting_topics_helper.h"
#include "analysis/topics/topics_schema.h"
#include "platform/sim/foundation-models/sim_extractive_model.h"
#include "platform/sim/foundation-models/sim_language_model.h"
#include "tests/support/child_process.h"

namespace quorvantel::sim {
namespace {

using Type = LanguageModelPlatformError::Type;

TEST(SimModelScenario, ErrorKindsNameATypeAndACase) {
    const std::vector<std::tuple<std::string, std::optional<Type>, std::string>> cases = {
        {"LanguageModelError.refusal", Type::languageModelError, "refusal"},
        {"LanguageModelError.somethingElse", Type::languageModelError, "somethingElse"},
        {"SystemLanguageModel.Error.assetsUnavailable", Type::systemLanguageModelError, "assetsUnavailable"},
        {"LanguageModelSession.Error.concurrentRequests", Type::languageModelSessionError, "concurrentRequests"},
        {"LanguageModelSession.GenerationError.refusal", Type::generationError, "refusal"},
        {"GeneratedContent.ParsingError", Type::generatedContentParsingError, ""},
        {"other", Type::other, ""},
        {"LanguageModelError", std::nullopt, ""},
        {"LanguageModelError.", std::nullopt, ""},
        {"LanguageModelSession.refusal", std::nullopt, ""},
        {"Refusal", std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const auto& [kind, type, caseName] : cases) {
        SCOPED_TRACE(kind);
        const auto error = parseErrorKind(kind);
        ASSERT_EQ(error.has_value(), type.has_value());
        if (!error) continue;
        EXPECT_EQ(error->type(), *type);
        EXPECT_EQ(error->caseName(), caseName);
    }
}

SimModelScript script(const std::string& modelSection) {
    static std::vector<json::Value> kept;
    kept.push_back(json::parse(modelSection));
    return readModelScript(Section(&kept.back(), "model"));
}

TEST(SimModelScenario, AvailabilityAndLocaleSupportComeFromTheScenario) {
    using Reason = LanguageModelAvailability::Reason;
    EXPECT_TRUE(script("{}").availability.available);
    EXPECT_TRUE(script("{}").supportsLocale);
    const std::vector<std::pair<std::string, Reason>> reasons = {
        {"deviceNotEligible", Reason::deviceNotEligible},
        {"appleIntelligenceNotEnabled", Reason::appleIntelligenceNotEnabled},
        {"modelNotReady", Reason::modelNotReady},
        {"somethingNew", Reason::other},
    };
    for (const auto& [text, reason] : reasons) {
        const SimModelScript s = script(R"({"availability":")" + text + R"("})");
        EXPECT_FALSE(s.availability.available);
        EXPECT_EQ(s.availability.reason, reason);
    }
    SimLanguageModelProvider provider(script(R"({"supportsLocale":true})"));
    auto model = provider.makeModel(LanguageModelUseCase::general, LanguageModelGuardrails::standard);
    EXPECT_TRUE(model->supportsLocale("en-US"));
    EXPECT_FALSE(model->supportsLocale("fr-FR"));
    SimLanguageModelProvider without(script(R"({"supportsLocale":false})"));
    EXPECT_FALSE(without.makeModel(LanguageModelUseCase::general, LanguageModelGuardrails::standard)
                     ->supportsLocale("en-US"));
}

TEST(SimModelScenario, MembersOfTheWrongTypeOrAnUnknownErrorAreRejected) {
    for (const char* bad : {R"({"availability":true})", R"({"supportsLocale":"yes"})", R"({"error":1})",
                            R"({"error":"Nonsense.refusal"})", R"({"transcriptPath":5})"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(script(bad), ScenarioError);
    }
}

GeneratedContent respondOnce(SimLanguageModelProvider& provider, const std::string& prompt = "p",
                             const GenerationSchema& schema = analysis::categories::categorySuggestionSchema()) {
    auto model = provider.makeModel(LanguageModelUseCase::general, LanguageModelGuardrails::standard);
    auto session = model->makeSession("instructions");
    GenerationOptions options;
    options.maximumResponseTokens = 256;
    return session->respond(prompt, schema, true, options);
}

TEST(SimModel, AScriptedResponseIsReturnedAsIsAndAScriptedErrorWins) {
    SimLanguageModelProvider answering(script(R"({"response":{"category":"party","x":[1]}})"));
    EXPECT_EQ(json::write(respondOnce(answering), json::KeyOrder::sorted), R"({"category":"party","x":[1]})");
    SimLanguageModelProvider nullAnswer(script(R"({"response":null})"));
    EXPECT_TRUE(respondOnce(nullAnswer).isNull());
    SimLanguageModelProvider failing(script(R"({"response":{},"error":"LanguageModelError.timeout"})"));
    try {
        respondOnce(failing);
        ADD_FAILURE() << "no error";
    } catch (const LanguageModelPlatformError& error) {
        EXPECT_EQ(error.type(), Type::languageModelError);
        EXPECT_EQ(error.caseName(), "timeout");
    }
}

TEST(SimModel, ASessionAnswersOneRequest) {
    SimLanguageModelProvider provider(script("{}"));
    auto model = provider.makeModel(LanguageModelUseCase::general, LanguageModelGuardrails::standard);
    auto session = model->makeSession("instructions");
    const GenerationSchema& schema = analysis::categories::categorySuggestionSchema();
    session->respond("p", schema, true, {});
    try {
        session->respond("p", schema, true, {});
        ADD_FAILURE() << "answered twice";
    } catch (const LanguageModelPlatformError& error) {
        EXPECT_EQ(error.type(), Type::languageModelSessionError);
        EXPECT_EQ(error.caseName(), "concurrentRequests");
    }
}

TEST(SimModel, EveryGenerationIsRecordedAsOneLine) {
    const std::string path = quorvantel::testing::writeTemporaryFile("", ".jsonl");
    {
        SimLanguageModelProvider provider(script(R"({"transcriptPath":")" + path + R"(","error":"other"})"));
        EXPECT_THROW(respondOnce(provider, "first"), LanguageModelPlatformError);
        EXPECT_THROW(respondOnce(provider, "second\nline"), LanguageModelPlatformError);
    }
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    ::unlink(path.c_str());
    ASSERT_EQ(lines.size(), 2u);
    const json::Value first = json::parse(lines[0]);
    EXPECT_EQ(first.find("instructions")->asString(), "instructions");
    EXPECT_EQ(first.find("prompt")->asString(), "first");
    EXPECT_EQ(first.find("sampling")->asString(), "greedy");
    EXPECT_EQ(first.find("maximumResponseTokens")->asInt(), 256);
    EXPECT_TRUE(first.find("includeSchemaInPrompt")->asBool());
    EXPECT_EQ(first.find("temperature"), nullptr);
    EXPECT_EQ(*first.find("schema"), toJSONSchema(analysis::categories::categorySuggestionSchema()));
    EXPECT_EQ(json::parse(lines[1]).find("prompt")->asString(), "second\nline");
}

TEST(SimModel, ATranscriptThatCannotBeOpenedIsAScenarioError) {
    EXPECT_THROW(SimLanguageModelProvider(script(R"({"transcriptPath":"/nonexistent-dir/x.jsonl"})")), ScenarioError);
}

// The extractive model, asked with the helpers' own prompts and schemas.
std::vector<analysis::Segment> work() {
    return {{"s1", "Hello everyone, can you hear me okay?"},
            {"s2", "Let's plan the loading dock access schedule for the warehouse."},
            {"s3", "The loading dock access badges must be ready by Friday; that is the deadline."},
            {"s4", "Next, the volunteer training program starts in March."},
            {"s5", "Volunteer training will cover safety drills and first aid."}};
}

std::vector<analysis::Segment> filler() {
    return {{"f1", "Hello? Hi everyone."}, {"f2", "Um, can you hear me? Okay, thanks."}, {"f3", "  "}};
}

std::set<std::string> referencesOf(const std::vector<analysis::Segment>& segments) {
    std::set<std::string> out;
    for (const auto& s : segments) out.insert(s.reference);
    return out;
}

GeneratedContent answer(const std::string& prompt, const GenerationSchema& schema) {
    const GeneratedContent content = extractiveAnswer(prompt, schema);
    EXPECT_EQ(schemaViolation(schema, content), std::nullopt) << json::write(content, json::KeyOrder::insertion);
    // The same prompt always gives the same answer.
    EXPECT_EQ(extractiveAnswer(prompt, schema), content);
    return content;
}

TEST(SimExtractiveModel, PassagesAndContextAreReadOutOfThePrompt) {
    const PromptReading reading = readPrompt(
        "CONTEXT_ONLY (not new input; no selectable references):\n"
        "{\"previousHeading\":\"Dock [x]\",\"text\":\"a\\nb\"}\n"
        "NEW_PASSAGES (the only selectable references):\n"
        "[{\"reference\":\"a\",\"text\":\"line\\none [x]\"},{\"reference\":\"b\",\"text\":\"{}\"}]");
    ASSERT_EQ(reading.passages.size(), 2u);
    EXPECT_EQ(reading.passages[0].text, "line\none [x]");
    EXPECT_EQ(reading.passages[1].reference, "b");
    ASSERT_TRUE(reading.context.has_value());
    EXPECT_EQ(reading.context->previousHeading, "Dock [x]");
    EXPECT_EQ(reading.context->text, "a\nb");
    EXPECT_FALSE(readPrompt("no passages here").context.has_value());
    EXPECT_TRUE(readPrompt("no passages here").passages.empty());
}

TEST(SimExtractiveModel, ChaptersStartAtTheFirstReferenceAndFollowTheSubjects) {
    const json::Value content = answer(analysis::passagesPrompt("Analyze:\n", work()),
                                       analysis::chapters::chaptersSchema());
    EXPECT_EQ(content.find("type")->asString(), "substantiveChapters");
    const json::Array& chapters = content.find("value")->find("chapters")->asArray();
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[0].find("startReference")->asString(), "s1");
    EXPECT_EQ(chapters[1].find("startReference")->asString(), "s4");
    EXPECT_EQ(chapters[0].find("heading")->asString(), "Loading dock access");
    EXPECT_EQ(chapters[1].find("heading")->asString(), "Volunteer training program");
}

TEST(SimExtractiveModel, ChaptersContinueThePreviousHeadingWhenItsSubjectGoesOn) {
    analysis::chapters::ChaptersRequest request;
    request.request.schemaVersion = 2;
    request.request.segments = {{"n1", "More about the volunteer training rota."}, {"n2", "The rota is final."}};
    request.context = analysis::chapters::PriorContext{"We began on training.", "  Volunteer training  "};
    json::Value content = answer(analysis::chapters::chaptersPrompt(request),
                                 analysis::chapters::contextualChaptersSchema());
    EXPECT_TRUE(content.find("value")->find("continuesPrevious")->asBool());
    EXPECT_EQ(content.find("value")->find("chapters")->asArray()[0].find("heading")->asString(),
              "Volunteer training");

    request.context->previousHeading = std::nullopt;
    content = answer(analysis::chapters::chaptersPrompt(request), analysis::chapters::contextualChaptersSchema());
    EXPECT_FALSE(content.find("value")->find("continuesPrevious")->asBool());

    request.context = std::nullopt;
    content = answer(analysis::chapters::chaptersPrompt(request), analysis::chapters::contextualChaptersSchema());
    EXPECT_FALSE(content.find("value")->find("continuesPrevious")->asBool());
    EXPECT_EQ(content.find("value")->find("chapters")->asArray()[0].find("startReference")->asString(), "n1");
}

TEST(SimExtractiveModel, FillerAloneGivesTheEmptyCaseOfEveryAnswer) {
    const std::string prompt = analysis::passagesPrompt("Header:\n", filler());
    EXPECT_EQ(answer(prompt, analysis::chapters::chaptersSchema()).find("type")->asString(), "noSubstantiveChapters");
    EXPECT_EQ(answer(prompt, analysis::chapters::contextualChaptersSchema()).find("type")->asString(),
              "noSubstantiveChapters");
    EXPECT_EQ(answer(prompt, analysis::titles::titleSuggestionSchema()).find("type")->asString(),
              "insufficientEvidence");
    EXPECT_EQ(answer(prompt, analysis::topics::topicsSchema()).find("type")->asString(), "noSubstantiveTopics");
    EXPECT_EQ(json::write(answer(prompt, analysis::categories::categorySuggestionSchema()), json::KeyOrder::sorted),
              R"({"category":"unclear","evidenceReferences":[]})");
    EXPECT_EQ(json::write(answer(analysis::passagesPrompt("Header:\n", {}),
                                 analysis::categories::categorySuggestionSchema()),
                          json::KeyOrder::sorted),
              R"({"category":"unclear","evidenceReferences":[]})");
}

TEST(SimExtractiveModel, ATitleIsMadeOfThePassagesWordsAndPassesTheTitleChecks) {
    const json::Value content = answer(analysis::passagesPrompt("Read:\n", work()),
                                       analysis::titles::titleSuggestionSchema());
    const analysis::Outcome outcome =
        analysis::titles::titleOutcome(analysis::titles::decodeTitleSuggestion(content), work());
    EXPECT_EQ(outcome.status, "complete");
    EXPECT_EQ(content.find("value")->find("title")->asString(), "Loading Dock Access");
    for (const json::Value& r : content.find("value")->find("evidenceReferences")->asArray()) {
        EXPECT_EQ(referencesOf(work()).count(r.asString()), 1u);
    }
}

TEST(SimExtractiveModel, TopicsAreLowerCaseLabelsCitingTheirPassages) {
    const json::Value content = answer(analysis::passagesPrompt("Analyze:\n", work()), analysis::topics::topicsSchema());
    EXPECT_EQ(json::write(*content.find("value"), json::KeyOrder::sorted),
              R"({"tags":[{"label":"loading dock","references":["s2","s3"]},)"
              R"({"label":"volunteer training","references":["s4","s5"]}]})");
}

TEST(SimExtractiveModel, ACategoryIsChosenFromKeywordEvidence) {
    const std::vector<std::tuple<const char*, std::vector<analysis::Segment>, std::string>> cases = {
        {"planning", work(), R"({"category":"planning","evidenceReferences":["s2","s3"]})"},
        {"status",
         {{"a", "Hi all."}, {"b", "The migration is completed and merged."}, {"c", "One blocker remains on search."}},
         R"({"category":"status_update","evidenceReferences":["b","c"]})"},
        {"interview",
         {{"a", "Thanks for coming to the interview."}, {"b", "Tell me about your experience with databases."}},
         R"({"category":"interview","evidenceReferences":["a","b"]})"},
        {"no keyword at all", {{"a", "The weather in Lisbon is lovely."}},
         R"({"category":"unclear","evidenceReferences":[]})"},
        {"two purposes alike",
         {{"a", "What if we tried a new logo?"}, {"b", "Another idea is a mascot."},
          {"c", "Our customer wants pricing for the renewal."}, {"d", "The client asked about the contract."}},
         R"({"category":"mixed","evidenceReferences":["a","b","c","d"]})"},
    };
    for (const auto& [name, segments, expected] : cases) {
        SCOPED_TRACE(name);
        const json::Value content =
            answer(analysis::passagesPrompt("Classify:\n", segments), analysis::categories::categorySuggestionSchema());
        EXPECT_EQ(json::write(content, json::KeyOrder::sorted), expected);
        // The helper's own checks accept what the stand-in answers.
        EXPECT_EQ(analysis::categories::categoryOutcome(analysis::categories::decodeCategorySuggestion(content),
                                                        segments)
                      .status,
                  "complete");
    }
}

}  // namespace
}  // namespace quorvantel::sim
