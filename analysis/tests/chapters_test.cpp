// The chapters helper: request schemas 1 and 2, the prior context and its heading
// rules, both prompt forms, the instruction texts, and the answer passed through.
#include <gtest/gtest.h>

#include "analysis/chapters/chapters_answer.h"
#include "analysis/chapters/chapters_instructions.h"
#include "analysis/chapters/chapters_request.h"
#include "analysis/chapters/meeting_chapters_helper.h"
#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"

namespace quorvantel::analysis::chapters {
namespace {

using testing::segment;

std::string schema2(const json::Value& context, json::Array segments = {segment("a", "Budget")}) {
    return testing::requestText(json::Object{
        {"schemaVersion", 2}, {"locale", "en-US"}, {"segments", std::move(segments)}, {"context", context}});
}

json::Value context(json::Value text, json::Value previousHeading) {
    return json::Object{{"text", std::move(text)}, {"previousHeading", std::move(previousHeading)}};
}

bool accepted(const std::string& bytes) {
    try {
        validateChaptersRequest(bytes);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(ChaptersRequest, TheSchemaNumberChoosesTheKeySet) {
    const json::Array segments{segment("a", "Budget")};
    const std::vector<std::pair<std::string, bool>> cases = {
        {testing::requestText(json::Object{{"schemaVersion", 1}, {"locale", "en-US"}, {"segments", segments}}), true},
        {testing::requestText(json::Object{
             {"schemaVersion", 1}, {"locale", "en-US"}, {"segments", segments}, {"context", nullptr}}),
         false},
        {testing::requestText(json::Object{{"schemaVersion", 2}, {"locale", "en-US"}, {"segments", segments}}), false},
        {schema2(nullptr), true},
        {testing::requestText(json::Object{
             {"schemaVersion", 3}, {"locale", "en-US"}, {"segments", segments}, {"context", nullptr}}),
         false},
        {testing::requestText(json::Object{
             {"schemaVersion", "2"}, {"locale", "en-US"}, {"segments", segments}, {"context", nullptr}}),
         false},
    };
    for (const auto& [bytes, valid] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(accepted(bytes), valid);
    }
}

TEST(ChaptersRequest, ThePriorContextMustHaveExactlyItsTwoMembersAndABoundedExcerpt) {
    const std::vector<std::tuple<const char*, json::Value, bool>> cases = {
        {"null", nullptr, true},
        {"an excerpt and no heading", context("We covered the budget.", nullptr), true},
        {"an excerpt of 480 bytes", context(std::string(480, 'x'), nullptr), true},
        {"an excerpt of 480 bytes in three-byte characters", context(repeat("\u20ac", 160), nullptr), true},
        {"an excerpt of 481 bytes", context(std::string(481, 'x'), nullptr), false},
        {"an excerpt of 481 bytes ending in a two-byte character", context(std::string(479, 'x') + "\u00e9", nullptr),
         false},
        {"an empty excerpt", context("", nullptr), false},
        {"an excerpt of spaces", context("   ", nullptr), true},
        {"an excerpt that is a number", context(5, nullptr), false},
        {"a heading that is a number", context("text", 5), false},
        {"a third member",
         json::Object{{"text", "text"}, {"previousHeading", nullptr}, {"speaker", "x"}}, false},
        {"no previousHeading", json::Object{{"text", "text"}}, false},
        {"no text", json::Object{{"previousHeading", "Budget"}}, false},
        {"a string", "We covered the budget.", false},
        {"an array", json::Array{}, false},
    };
    for (const auto& [name, value, valid] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(accepted(schema2(value)), valid);
    }
}

TEST(ChaptersRequest, APreviousHeadingMustPassTheHeadingRules) {
    const std::vector<std::tuple<const char*, std::string, bool>> cases = {
        {"a plain heading", "Loading dock access", true},
        {"eight words", "one two three four five six seven eight", true},
        {"nine words", "one two three four five six seven eight nine", false},
        {"nine words joined by no-break spaces", "one\u00a0two three four five six seven eight nine", false},
        {"96 bytes", std::string(96, 'h'), true},
        {"97 bytes", std::string(97, 'h'), false},
        {"surrounding spaces", "  Loading dock access  ", true},
        {"only spaces", "    ", false},
        {"only line breaks", "\n\r\n", false},
        {"empty", "", false},
        {"a zero-width joiner (Cf)", "Loading\u200ddock", false},
        {"a soft hyphen (Cf)", "Loading\u00addock", false},
        {"a tab (Cc)", "Loading\tdock", false},
        {"a line feed inside (Cc)", "Loading\ndock", false},
        {"a square bracket", "Dock [draft]", false},
        {"a closing square bracket", "Dock ]", false},
        {"a curly brace", "Dock {x}", false},
        {"a grave accent", "Dock `x`", false},
        {"angle brackets", "<b>Dock</b>", false},
        {"a scheme separator", "See https://example", false},
        {"a colon and one slash", "Dock: a/b", true},
        {"accented letters", "Caf\u00e9 planning", true},
        {"parentheses and quotes", "Dock (phase \"two\")", true},
    };
    for (const auto& [name, heading, valid] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(isValidHeading(heading), valid);
        EXPECT_EQ(accepted(schema2(context("Earlier we spoke.", heading))), valid);
    }
}

TEST(ChaptersRequest, TheContextIsKeptAsSent) {
    const ChaptersRequest withContext = validateChaptersRequest(schema2(context(" excerpt ", "  Dock access ")));
    ASSERT_TRUE(withContext.context.has_value());
    EXPECT_EQ(withContext.context->text, " excerpt ");
    EXPECT_EQ(withContext.context->previousHeading, "  Dock access ");
    EXPECT_FALSE(validateChaptersRequest(schema2(nullptr)).context.has_value());
    EXPECT_FALSE(validateChaptersRequest(schema2(context("x", nullptr))).context->previousHeading.has_value());
}

TEST(ChaptersPrompt, SchemaOneIsTheHeaderAndThePassages) {
    const ChaptersRequest request = validateChaptersRequest(testing::requestText(json::Object{
        {"schemaVersion", 1},
        {"locale", "en-US"},
        {"segments", json::Array{json::Object{{"text", "Dock/gate \"A\""}, {"reference", "s-1"}},
                                 segment("s_2", "caf\u00e9\n")}}}));
    EXPECT_EQ(chaptersPrompt(request),
              "Analyze these quoted JSON transcript passages and select their reference IDs:\n"
              "[{\"reference\":\"s-1\",\"text\":\"Dock\\/gate \\\"A\\\"\"},{\"reference\":\"s_2\",\"text\":\"caf\u00e9\\n\"}]");
}

TEST(ChaptersPrompt, SchemaTwoQuotesTheContextBeforeTheNewPassages) {
    EXPECT_EQ(chaptersPrompt(validateChaptersRequest(schema2(nullptr))),
              "CONTEXT_ONLY (not new input; no selectable references):\n"
              "null\n"
              "NEW_PASSAGES (the only selectable references):\n"
              "[{\"reference\":\"a\",\"text\":\"Budget\"}]");
    EXPECT_EQ(chaptersPrompt(validateChaptersRequest(schema2(context("We set the budget.", "  Budget  ")))),
              "CONTEXT_ONLY (not new input; no selectable references):\n"
              "{\"previousHeading\":\"  Budget  \",\"text\":\"We set the budget.\"}\n"
              "NEW_PASSAGES (the only selectable references):\n"
              "[{\"reference\":\"a\",\"text\":\"Budget\"}]");
    EXPECT_EQ(chaptersPrompt(validateChaptersRequest(schema2(context("a/b", nullptr)))),
              "CONTEXT_ONLY (not new input; no selectable references):\n"
              "{\"previousHeading\":null,\"text\":\"a\\/b\"}\n"
              "NEW_PASSAGES (the only selectable references):\n"
              "[{\"reference\":\"a\",\"text\":\"Budget\"}]");
}

TEST(ChaptersInstructions, BothTextsHaveTheirExactLength) {
    EXPECT_EQ(instructions().size(), 1472u);
    EXPECT_EQ(contextualInstructions().size(), 2500u);
    EXPECT_EQ(std::count(instructions().begin(), instructions().end(), '\n'), 18);
    EXPECT_EQ(std::count(contextualInstructions().begin(), contextualInstructions().end(), '\n'), 36);
    EXPECT_NE(instructions().back(), '\n');
    EXPECT_NE(contextualInstructions().back(), '\n');
    EXPECT_NE(contextualInstructions().find("such as\n\"Loading dock access\" or \"Volunteer training\", over"),
              std::string::npos);
}

struct AnswerCase {
    const char* name;
    json::Value content;
    // The fields for schema 1 and for schema 2; empty when the content does not fit.
    std::string schema1;
    std::string schema2;
};

TEST(ChaptersAnswer, TheAnswerIsPassedThroughUnchecked) {
    const json::Value boundaries = json::Array{
        json::Object{{"heading", "  Dock  "}, {"startReference", "zz"}},
        json::Object{{"heading", "Dock"}, {"startReference", "zz"}},
    };
    const std::vector<AnswerCase> cases = {
        {"no substance", json::Object{{"type", "noSubstantiveChapters"}}, R"({"chapters":[],"isSubstantive":false})",
         R"({"chapters":[],"continuesPrevious":false,"isSubstantive":false})"},
        {"chapters with unknown, repeated references and untrimmed headings",
         json::Object{{"type", "substantiveChapters"},
                      {"value", json::Object{{"continuesPrevious", true}, {"chapters", boundaries}}}},
         R"({"chapters":[{"heading":"  Dock  ","startReference":"zz"},{"heading":"Dock","startReference":"zz"}],"isSubstantive":true})",
         R"({"chapters":[{"heading":"  Dock  ","startReference":"zz"},{"heading":"Dock","startReference":"zz"}],"continuesPrevious":true,"isSubstantive":true})"},
        {"another type constant", json::Object{{"type", "chapters"}}, "", ""},
        {"no type", json::Object{{"value", json::Object{}}}, "", ""},
        {"not an object", json::Array{}, "", ""},
        {"substance without a value", json::Object{{"type", "substantiveChapters"}}, "", ""},
        {"a heading that is not a string",
         json::Object{{"type", "substantiveChapters"},
                      {"value", json::Object{{"continuesPrevious", false},
                                             {"chapters", json::Array{json::Object{{"heading", 1},
                                                                                   {"startReference", "a"}}}}}}},
         "", ""},
        {"a boundary without a start",
         json::Object{{"type", "substantiveChapters"},
                      {"value", json::Object{{"continuesPrevious", false},
                                             {"chapters", json::Array{json::Object{{"heading", "Dock"}}}}}}},
         "", ""},
    };
    const auto written = [](const json::Object& fields) {
        return json::write(json::Value(fields), json::KeyOrder::sorted);
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.schema1.empty()) {
            EXPECT_THROW(decodeChapters(c.content), AnswerDecodingError);
        } else {
            EXPECT_EQ(written(chapterFields(decodeChapters(c.content))), c.schema1);
        }
        if (c.schema2.empty()) {
            EXPECT_THROW(decodeContextualChapters(c.content), AnswerDecodingError);
        } else {
            EXPECT_EQ(written(contextualFields(decodeContextualChapters(c.content))), c.schema2);
        }
    }
    // Under schema 2 the model's continuity is required of a substantive answer.
    EXPECT_THROW(decodeContextualChapters(json::Object{
                     {"type", "substantiveChapters"}, {"value", json::Object{{"chapters", json::Array{}}}}}),
                 AnswerDecodingError);
}

TEST(ChaptersFailure, OnlyRequestErrorsAreInvalidInput) {
    MeetingChaptersHelper helper;
    testing::FakeProcessInfo info;
    EXPECT_EQ(helper.generationFailureCode(InputError(), info), "invalid_input");
    EXPECT_EQ(helper.generationFailureCode(RequestDecodingError("x"), info), "invalid_input");
    EXPECT_EQ(helper.generationFailureCode(AnswerDecodingError("x"), info), "generation_failed");
    EXPECT_EQ(helper.generationFailureCode(
                  LanguageModelPlatformError(LanguageModelPlatformError::Type::languageModelError, "refusal"), info),
              "generation_failed");
    EXPECT_EQ(helper.generationFailureCode(json::ParseError("x"), info), "generation_failed");
}

struct RunResult {
    json::Value line;
    testing::ModelScript script;
};

RunResult analyzeWith(const std::string& request, const json::Value& answer) {
    RunResult out;
    out.script.answer = answer;
    testing::FakeProvider provider(out.script);
    testing::FakeProcessInfo info;
    testing::StringSource source(request);
    testing::StringSink sink;
    testing::SteppingClock clock;
    HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
    MeetingChaptersHelper helper;
    EXPECT_EQ(runHelper(helper, {"--analyze"}, platform), 0);
    out.line = json::parse(std::string_view(sink.text).substr(0, sink.text.size() - 1));
    return out;
}

TEST(ChaptersRun, SchemaTwoUsesTheContextualInstructionsAndReportsSchemaTwo) {
    const json::Value answer = json::Object{
        {"type", "substantiveChapters"},
        {"value", json::Object{{"continuesPrevious", true},
                               {"chapters", json::Array{json::Object{{"heading", "Budget"}, {"startReference", "a"}}}}}}};
    const RunResult run = analyzeWith(schema2(nullptr), answer);
    EXPECT_EQ(json::write(run.line, json::KeyOrder::sorted),
              R"({"chapters":[{"heading":"Budget","startReference":"a"}],"continuesPrevious":true,"durationMs":1.5,)"
              R"("grounding":"source-boundaries","isSubstantive":true,"processingLocation":"on-device",)"
              R"("providerId":"apple-foundation-models","schemaVersion":2,"status":"complete",)"
              R"("task":"meeting-chapters","useCase":"general"})");
    ASSERT_EQ(run.script.generations.size(), 1u);
    EXPECT_EQ(run.script.generations[0].instructions, contextualInstructions());
    EXPECT_EQ(run.script.generations[0].schemaName, "ContextualChapters");
}

TEST(ChaptersRun, SchemaOneUsesThePlainInstructions) {
    const RunResult run = analyzeWith(testing::requestText(testing::allHelpers()[testing::kChapters],
                                                           {segment("a", "Budget")}),
                                      json::Object{{"type", "noSubstantiveChapters"}});
    EXPECT_EQ(run.line.find("schemaVersion")->asInt(), 1);
    EXPECT_EQ(run.line.find("continuesPrevious"), nullptr);
    EXPECT_EQ(run.script.generations.at(0).instructions, instructions());
    EXPECT_EQ(run.script.generations.at(0).schemaName, "Chapters");
}

TEST(ChaptersRun, AnUnreadableAnswerFailsWithTheRequestsSchema) {
    const RunResult run = analyzeWith(schema2(nullptr), json::Object{{"type", "somethingElse"}});
    EXPECT_EQ(run.line.find("status")->asString(), "failed");
    EXPECT_EQ(run.line.find("code")->asString(), "generation_failed");
    EXPECT_EQ(run.line.find("schemaVersion")->asInt(), 2);
    EXPECT_DOUBLE_EQ(run.line.find("durationMs")->asDouble(), 1.5);
    EXPECT_EQ(run.line.find("chapters"), nullptr);
}

}  // namespace
}  // namespace quorvantel::analysis::chapters
