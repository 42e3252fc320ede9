// Generation schemas as data: their JSON Schema form and the conformance check, on
// the helpers' own answer types.
#include <gtest/gtest.h>

#include "analysis/categories/categories_schema.h"
#include "analysis/chapters/chapters_schema.h"
#include "analysis/titles/titles_schema.h"
#include "analysis/topics/topics_schema.h"
#include "platform/foundation-models/generation_schema.h"

namespace quorvantel {
namespace {

const json::Value& at(const json::Value& value, std::initializer_list<const char*> path) {
    const json::Value* current = &value;
    for (const char* key : path) {
        current = current->find(key);
        if (current == nullptr) throw std::runtime_error(std::string("no ") + key);
    }
    return *current;
}

std::string text(const json::Value& value) { return json::write(value, json::KeyOrder::insertion); }

TEST(GenerationSchema, ATwoCaseChoiceIsTwoObjectsWithAConstantType) {
    const json::Value schema = toJSONSchema(analysis::titles::titleSuggestionSchema());
    EXPECT_EQ(at(schema, {"title"}).asString(), "TitleSuggestion");
    const std::string description =
        "Choose insufficientEvidence when the input is only greetings, filler, garbled text or unrelated fragments. "
        "Otherwise propose one grounded title.";
    EXPECT_EQ(at(schema, {"description"}).asString(), description);
    const json::Array& cases = at(schema, {"anyOf"}).asArray();
    ASSERT_EQ(cases.size(), 2u);
    EXPECT_EQ(text(cases[0]),
              R"({"title":"insufficientEvidence","description":")" + description +
                  R"(","type":"object","properties":{"type":{"type":"string","const":"insufficientEvidence"}},)"
                  R"("required":["type"],"x-order":["type"],"additionalProperties":false})");
    EXPECT_EQ(at(cases[1], {"description"}).asString(), description);
    EXPECT_EQ(text(at(cases[1], {"x-order"})), R"(["type","value"])");
    EXPECT_EQ(text(at(cases[1], {"properties", "type"})), R"({"type":"string","const":"proposed"})");
    EXPECT_EQ(text(at(cases[1], {"properties", "value", "properties", "evidenceReferences"})),
              R"({"description":"One to four exact input reference IDs supporting the title. Never copy passage text.",)"
              R"("type":"array","items":{"type":"string"},"minItems":1,"maxItems":4})");
}

TEST(GenerationSchema, PropertiesKeepTheOrderTheModelWritesThem) {
    const json::Value schema = toJSONSchema(analysis::chapters::contextualChaptersSchema());
    const json::Value& value = at(at(schema, {"anyOf"}).asArray().at(1), {"properties", "value"});
    EXPECT_EQ(at(value, {"title"}).asString(), "ContextualSubstantiveChapters");
    EXPECT_EQ(text(at(value, {"x-order"})), R"(["continuesPrevious","chapters"])");
    const json::Value& chapters = at(value, {"properties", "chapters"});
    EXPECT_EQ(at(chapters, {"minItems"}).asInt(), 1);
    EXPECT_EQ(at(chapters, {"maxItems"}).asInt(), 4);
    EXPECT_EQ(text(at(chapters, {"items", "x-order"})), R"(["heading","startReference"])");
    EXPECT_EQ(at(chapters, {"items", "title"}).asString(), "ChapterBoundary");
}

TEST(GenerationSchema, AnAnyOfGuideListsItsValuesInOrder) {
    const json::Value schema = toJSONSchema(analysis::categories::categorySuggestionSchema());
    EXPECT_EQ(text(at(schema, {"properties", "category", "enum"})),
              R"(["planning","status_update","customer_discussion","retrospective","brainstorming","interview",)"
              R"("mixed","unclear"])");
    const json::Value& evidence = at(schema, {"properties", "evidenceReferences"});
    EXPECT_EQ(evidence.find("minItems"), nullptr);
    EXPECT_EQ(at(evidence, {"maxItems"}).asInt(), 4);
}

TEST(GenerationSchema, ConformanceFollowsShapesAndGuides) {
    const GenerationSchema& topics = analysis::topics::topicsSchema();
    const auto topic = [](json::Array references) {
        return json::Object{{"label", "dock"}, {"references", std::move(references)}};
    };
    const auto substantive = [](json::Array tags) {
        return json::Object{{"type", "substantiveTopics"}, {"value", json::Object{{"tags", std::move(tags)}}}};
    };
    const std::vector<std::tuple<const char*, json::Value, std::optional<std::string>>> cases = {
        {"the empty case", json::Object{{"type", "noSubstantiveTopics"}}, std::nullopt},
        {"one tag", substantive({topic({"a"})}), std::nullopt},
        {"three tags of three references",
         substantive({topic({"a", "b", "c"}), topic({"a"}), topic({"b"})}), std::nullopt},
        {"no tag", substantive({}), "(answer)"},
        {"four tags", substantive({topic({"a"}), topic({"a"}), topic({"a"}), topic({"a"})}), "(answer)"},
        {"another type", json::Object{{"type", "topics"}}, "(answer)"},
        {"an extra member", json::Object{{"type", "noSubstantiveTopics"}, {"x", 1}}, "(answer)"},
    };
    for (const auto& [name, value, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(schemaViolation(topics, value), expected);
    }
    // Inside an object the path names the member that does not fit.
    const GenerationSchema& categories = analysis::categories::categorySuggestionSchema();
    EXPECT_EQ(schemaViolation(categories, json::Object{{"category", "party"}, {"evidenceReferences", json::Array{}}}),
              "category");
    EXPECT_EQ(schemaViolation(categories, json::Object{{"category", "mixed"}, {"evidenceReferences", json::Array{1}}}),
              "evidenceReferences[0]");
    EXPECT_EQ(schemaViolation(categories, json::Object{{"category", "unclear"}, {"evidenceReferences", json::Array{}}}),
              std::nullopt);
}

}  // namespace
}  // namespace quorvantel
