#include "analysis/titles/titles_schema.h"

namespace quorvantel::analysis::titles {

const GenerationSchema& titleSuggestionSchema() {
    static const GenerationSchema schema = [] {
        const char* description =
            "Choose insufficientEvidence when the input is only greetings, filler, garbled text or unrelated "
            "fragments. Otherwise propose one grounded title.";
        const GenerationSchema proposed = GenerationSchema::object(
            "ProposedTitle", "",
            {{"title",
              "A concise, specific plain-text title for the supplied conversation. At most 120 UTF-8 bytes. Do not "
              "invent names, dates or decisions.",
              GenerationSchema::string()},
             {"evidenceReferences",
              "One to four exact input reference IDs supporting the title. Never copy passage text.",
              GenerationSchema::array(GenerationSchema::string(), kMinimumEvidenceReferences,
                                      kMaximumEvidenceReferences)}});
        return GenerationSchema::choice("TitleSuggestion", description,
                                        {GenerationSchema::choiceCase(kInsufficientEvidence, description, nullptr),
                                         GenerationSchema::choiceCase(kProposed, description, &proposed)});
    }();
    return schema;
}

}  // namespace quorvantel::analysis::titles
