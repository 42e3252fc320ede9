// The titles helper: the phase, the instruction text per phase, and the checks a
// proposed title must pass before it is accepted.
#include <gtest/gtest.h>

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"
#include "analysis/titles/meeting_titles_helper.h"
#include "analysis/titles/titles_answer.h"
#include "analysis/titles/titles_instructions.h"

namespace quorvantel::analysis::titles {
namespace {

using testing::segment;

std::string withPhase(const json::Value* phase) {
    json::Object object{{"schemaVersion", 1}, {"locale", "en-US"}};
    if (phase != nullptr) object.emplace_back("phase", *phase);
    object.emplace_back("segments", json::Array{segment("a", "Budget")});
    return testing::requestText(object);
}

TEST(TitlesRequest, ThePhaseIsOneOfItsTwoValues) {
    const std::vector<std::tuple<const char*, json::Value, std::optional<Phase>>> cases = {
        {"extract", "extract", Phase::extract},
        {"synthesize", "synthesize", Phase::synthesize},
        {"a capital first letter", "Extract", std::nullopt},
        {"another word", "summarize", std::nullopt},
        {"empty", "", std::nullopt},
        {"surrounded by spaces", " extract", std::nullopt},
        {"a number", 1, std::nullopt},
        {"null", nullptr, std::nullopt},
    };
    for (const auto& [name, phase, expected] : cases) {
        SCOPED_TRACE(name);
        if (expected) {
            EXPECT_EQ(validateTitlesRequest(withPhase(&phase)).phase, *expected);
        } else {
            EXPECT_ANY_THROW(validateTitlesRequest(withPhase(&phase)));
        }
    }
    EXPECT_THROW(validateTitlesRequest(withPhase(nullptr)), InputError);
    const json::Value unknown = "Extract";
    EXPECT_THROW(validateTitlesRequest(withPhase(&unknown)), RequestDecodingError);
}

TEST(TitlesInstructions, EachPhaseHasTheCommonLinesAndItsOwn) {
    EXPECT_EQ(commonInstructions().size(), 676u);
    EXPECT_EQ(extractInstructions().size(), 833u);
    EXPECT_EQ(synthesizeInstructions().size(), 914u);
    EXPECT_EQ(extractInstructions().rfind(commonInstructions() + "\n", 0), 0u);
    EXPECT_EQ(synthesizeInstructions().rfind(commonInstructions() + "\n", 0), 0u);
    EXPECT_NE(extractInstructions().back(), '\n');
    EXPECT_NE(synthesizeInstructions().back(), '\n');
}

const std::vector<Segment> kSegments = {{"a", "x"}, {"b", "y"}, {"c", "z"}, {"d", "w"}, {"e", "v"}};

TitleSuggestion proposed(std::string title, std::vector<std::string> references = {"a"}) {
    return {true, std::move(title), std::move(references)};
}

struct CheckCase {
    const char* name;
    TitleSuggestion answer;
    // The accepted title, or nothing when the answer is rejected.
    std::optional<std::string> title;
};

TEST(TitlesAnswer, AProposedTitleIsTrimmedAndCheckedAgainstTheRequest) {
    const std::vector<CheckCase> cases = {
        {"a plain title", proposed("Loading dock access"), "Loading dock access"},
        {"120 bytes", proposed(std::string(120, 't')), std::string(120, 't')},
        {"121 bytes", proposed(std::string(121, 't')), std::nullopt},
        {"121 bytes only with surrounding spaces", proposed(" " + std::string(119, 't') + " "), std::string(119, 't')},
        {"a trailing line feed", proposed("Dock access\n"), "Dock access"},
        {"surrounding no-break spaces", proposed("\u00a0Dock access\u3000"), "Dock access"},
        {"only spaces", proposed("     "), std::nullopt},
        {"empty", proposed(""), std::nullopt},
        {"a tab inside", proposed("Dock\taccess"), std::nullopt},
        {"a line feed inside", proposed("Dock\naccess"), std::nullopt},
        {"a line separator inside", proposed("Dock\u2028access"), std::nullopt},
        {"a paragraph separator inside", proposed("Dock\u2029access"), std::nullopt},
        {"a next line inside", proposed("Dock\u0085access"), std::nullopt},
        {"a zero-width joiner inside", proposed("Dock\u200daccess"), std::nullopt},
        {"four distinct known references", proposed("Dock", {"d", "a", "c", "b"}), "Dock"},
        {"no reference", proposed("Dock", {}), std::nullopt},
        {"five references", proposed("Dock", {"a", "b", "c", "d", "e"}), std::nullopt},
        {"a repeated reference", proposed("Dock", {"a", "a"}), std::nullopt},
        {"a reference not in the request", proposed("Dock", {"a", "zz"}), std::nullopt},
        {"a reference differing in case", proposed("Dock", {"A"}), std::nullopt},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.title) {
            EXPECT_THROW(titleOutcome(c.answer, kSegments), OutputError);
            continue;
        }
        const Outcome outcome = titleOutcome(c.answer, kSegments);
        EXPECT_EQ(outcome.status, "complete");
        json::Array references(c.answer.evidenceReferences.begin(), c.answer.evidenceReferences.end());
        EXPECT_EQ(json::write(json::Value(outcome.keys), json::KeyOrder::sorted),
                  json::write(json::Object{{"evidenceReferences", references}, {"title", *c.title}},
                              json::KeyOrder::sorted));
    }
}

TEST(TitlesAnswer, InsufficientEvidenceAbstains) {
    const Outcome outcome = titleOutcome(decodeTitleSuggestion(json::Object{{"type", "insufficientEvidence"}}), kSegments);
    EXPECT_EQ(outcome.status, "abstained");
    EXPECT_EQ(json::write(json::Value(outcome.keys), json::KeyOrder::sorted),
              R"({"code":"insufficient_evidence","evidenceReferences":[],)"
              R"("message":"The conversation did not provide enough information for a title."})");
}

TEST(TitlesAnswer, ContentOfAnotherShapeIsADecodingError) {
    const std::vector<json::Value> unreadable = {
        json::Object{{"type", "proposedTitle"}},
        json::Object{{"type", "proposed"}},
        json::Object{{"type", "proposed"}, {"value", json::Object{{"title", "Dock"}}}},
        json::Object{{"type", "proposed"},
                     {"value", json::Object{{"title", "Dock"}, {"evidenceReferences", json::Array{1}}}}},
        json::Object{{"type", "proposed"},
                     {"value", json::Object{{"title", 3}, {"evidenceReferences", json::Array{"a"}}}}},
        json::Value("Dock"),
    };
    for (const json::Value& content : unreadable) {
        SCOPED_TRACE(json::write(content, json::KeyOrder::sorted));
        EXPECT_THROW(decodeTitleSuggestion(content), AnswerDecodingError);
    }
}

TEST(TitlesFailure, OnlyARejectedAnswerIsInvalidOutput) {
    MeetingTitlesHelper helper;
    testing::FakeProcessInfo info;
    EXPECT_EQ(helper.generationFailureCode(OutputError(), info), "invalid_output");
    EXPECT_EQ(helper.generationFailureCode(AnswerDecodingError("x"), info), "generation_failed");
    EXPECT_EQ(helper.generationFailureCode(
                  LanguageModelPlatformError(LanguageModelPlatformError::Type::generationError, "refusal"), info),
              "generation_failed");
}

testing::ModelScript runPhase(const char* phase, const json::Value& answer, std::string* line = nullptr) {
    testing::ModelScript script;
    script.answer = answer;
    testing::FakeProvider provider(script);
    testing::FakeProcessInfo info;
    const json::Value phaseValue = phase;
    testing::StringSource source(withPhase(&phaseValue));
    testing::StringSink sink;
    testing::SteppingClock clock;
    HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
    MeetingTitlesHelper helper;
    runHelper(helper, {"--suggest"}, platform);
    if (line) *line = sink.text;
    return script;
}

TEST(TitlesRun, ThePhasesDifferOnlyInTheInstructions) {
    const json::Value answer = json::Object{{"type", "insufficientEvidence"}};
    const testing::ModelScript extract = runPhase("extract", answer);
    const testing::ModelScript synthesize = runPhase("synthesize", answer);
    ASSERT_EQ(extract.generations.size(), 1u);
    ASSERT_EQ(synthesize.generations.size(), 1u);
    EXPECT_EQ(extract.generations[0].instructions, extractInstructions());
    EXPECT_EQ(synthesize.generations[0].instructions, synthesizeInstructions());
    EXPECT_EQ(extract.generations[0].prompt, synthesize.generations[0].prompt);
    EXPECT_EQ(extract.generations[0].prompt,
              "Read this quoted JSON input and cite its reference IDs:\n[{\"reference\":\"a\",\"text\":\"Budget\"}]");
}

TEST(TitlesRun, ARejectedAnswerCarriesNoTitle) {
    std::string line;
    runPhase("extract",
             json::Object{{"type", "proposed"},
                          {"value", json::Object{{"title", "Budget"}, {"evidenceReferences", json::Array{"zz"}}}}},
             &line);
    EXPECT_EQ(line,
              R"({"code":"invalid_output","durationMs":1.5,)"
              R"("message":"Apple could not suggest a meeting title. The saved title is unchanged.",)"
              R"("processingLocation":"on-device","providerId":"apple-foundation-models","schemaVersion":1,)"
              R"("status":"failed","task":"meeting-titles"})"
              "\n");
}

}  // namespace
}  // namespace quorvantel::analysis::titles
