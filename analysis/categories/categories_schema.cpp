#include "analysis/categories/categories_schema.h"

namespace quorvantel::analysis::categories {

const std::vector<std::string>& categoryValues() {
    static const std::vector<std::string> values = {"planning",      "status_update", "customer_discussion",
                                                    "retrospective", "brainstorming", "interview",
                                                    "mixed",         "unclear"};
    return values;
}

const GenerationSchema& categorySuggestionSchema() {
    static const GenerationSchema schema = GenerationSchema::object(
        "CategorySuggestion", "",
        {{"category", "The purpose of the conversation, not its industry or the identity of its participants.",
          GenerationSchema::stringAnyOf(categoryValues())},
         {"evidenceReferences",
          "Up to four exact reference IDs from the input that support the category. Empty for unclear.",
          GenerationSchema::array(GenerationSchema::string(), std::nullopt, kMaximumEvidenceReferences)}});
    return schema;
}

}  // namespace quorvantel::analysis::categories
