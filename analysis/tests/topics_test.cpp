// The topics helper: its failure codes, the answer passed through, and its own
// schema number in every envelope.
#include <gtest/gtest.h>

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"
#include "analysis/topics/meeting_topics_helper.h"
#include "analysis/topics/topics_answer.h"
#include "analysis/topics/topics_instructions.h"

namespace quorvantel::analysis::topics {
namespace {

using testing::segment;

struct TopicsRun {
    std::string line;
    testing::ModelScript script;
};

TopicsRun runTopics(const std::string& request, const json::Value& answer, bool failRead = false) {
    TopicsRun run;
    run.script.answer = answer;
    testing::FakeProvider provider(run.script);
    testing::FakeProcessInfo info;
    testing::StringSource source(request, SIZE_MAX, failRead ? std::optional<std::size_t>(0) : std::nullopt);
    testing::StringSink sink;
    testing::SteppingClock clock;
    HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
    MeetingTopicsHelper helper;
    runHelper(helper, {"--analyze"}, platform);
    run.line = sink.text;
    return run;
}

const std::string kMessage =
    "Apple could not analyze this transcript. Your transcript and previous topics are unchanged. Try again.";

TEST(TopicsFailure, BytesThatAreNotJSONFailGenerationButBrokenRulesAreInvalidInput) {
    const testing::HelperUnderTest& topics = testing::allHelpers()[testing::kTopics];
    const std::vector<std::tuple<const char*, std::string, bool, const char*>> cases = {
        {"not JSON", "topics please", false, "generation_failed"},
        {"empty input", "", false, "generation_failed"},
        {"a bare number", "1", false, "generation_failed"},
        {"unreadable standard input", testing::requestText(topics, testing::sampleSegments()), true,
         "generation_failed"},
        {"a broken rule", testing::requestText(topics, {}), false, "invalid_input"},
        {"a top-level array", "[]", false, "invalid_input"},
        {"a text of the wrong type",
         testing::requestText(topics, {json::Object{{"reference", "a"}, {"text", true}}}), false, "invalid_input"},
        {"the result's schema number in the request",
         testing::requestText(json::Object{
             {"schemaVersion", 3}, {"locale", "en-US"}, {"segments", json::Array{segment("a", "Budget")}}}),
         false, "invalid_input"},
    };
    for (const auto& [name, request, failRead, code] : cases) {
        SCOPED_TRACE(name);
        const TopicsRun run = runTopics(request, nullptr, failRead);
        EXPECT_EQ(run.line, std::string(R"({"code":")") + code + R"(","durationMs":1.5,"grounding":"source-passages",)" +
                                R"("message":")" + kMessage +
                                R"(","processingLocation":"on-device","providerId":"apple-foundation-models",)"
                                R"("schemaVersion":3,"status":"failed","useCase":"general"})"
                                "\n");
        EXPECT_TRUE(run.script.generations.empty());
    }
}

TEST(TopicsFailure, ErrorsAfterTheRequestFollowTheSameRule) {
    EXPECT_EQ(topicsFailureCode(InputError()), "invalid_input");
    EXPECT_EQ(topicsFailureCode(RequestDecodingError("x")), "invalid_input");
    EXPECT_EQ(topicsFailureCode(AnswerDecodingError("x")), "generation_failed");
    EXPECT_EQ(topicsFailureCode(json::ParseError("x")), "generation_failed");
    EXPECT_EQ(topicsFailureCode(ReadError("x")), "generation_failed");
    EXPECT_EQ(topicsFailureCode(
                  LanguageModelPlatformError(LanguageModelPlatformError::Type::languageModelError, "timeout")),
              "generation_failed");
}

TEST(TopicsAnswer, LabelsAndReferencesArePassedThroughUnchanged) {
    const json::Value content = json::Object{
        {"type", "substantiveTopics"},
        {"value", json::Object{{"tags", json::Array{json::Object{{"label", "LOADING DOCK ACCESS AND GATE BADGES"},
                                                                 {"references", json::Array{"zz", "a", "a"}}}}}}}};
    const TopicsRun run = runTopics(testing::requestText(testing::allHelpers()[testing::kTopics], {segment("a", "Dock")}),
                              content);
    EXPECT_NE(run.line.find(R"("isSubstantive":true,)"), std::string::npos);
    EXPECT_NE(run.line.find(R"("status":"complete",)"), std::string::npos);
    EXPECT_NE(run.line.find(R"("tags":[{"label":"LOADING DOCK ACCESS AND GATE BADGES","references":["zz","a","a"]}])"),
              std::string::npos);
}

TEST(TopicsAnswer, NoSubstanceHasNoTags) {
    EXPECT_EQ(json::write(json::Value(topicFields(decodeTopics(json::Object{{"type", "noSubstantiveTopics"}}))),
                          json::KeyOrder::sorted),
              R"({"isSubstantive":false,"tags":[]})");
    const std::vector<json::Value> unreadable = {
        json::Object{{"type", "topics"}},
        json::Object{{"type", "substantiveTopics"}},
        json::Object{{"type", "substantiveTopics"},
                     {"value", json::Object{{"tags", json::Array{json::Object{{"label", "x"}}}}}}},
    };
    for (const json::Value& content : unreadable) {
        EXPECT_THROW(decodeTopics(content), AnswerDecodingError);
    }
}

TEST(TopicsRun, AnUnreadableAnswerFailsGeneration) {
    const TopicsRun run = runTopics(testing::requestText(testing::allHelpers()[testing::kTopics], {segment("a", "Dock")}),
                              json::Object{{"type", "substantive"}});
    EXPECT_NE(run.line.find(R"("code":"generation_failed")"), std::string::npos);
}

TEST(TopicsInstructions, TheTextHasItsExactLength) {
    EXPECT_EQ(instructions().size(), 1298u);
    EXPECT_EQ(std::count(instructions().begin(), instructions().end(), '\n'), 16);
}

}  // namespace
}  // namespace quorvantel::analysis::topics
