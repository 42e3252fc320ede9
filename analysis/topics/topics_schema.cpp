#include "analysis/topics/topics_schema.h"

namespace quorvantel::analysis::topics {

const GenerationSchema& topicsSchema() {
    static const GenerationSchema schema = [] {
        const char* description =
            "Choose noSubstantiveTopics for only greetings, hesitation, audio checks or unrelated filler. Otherwise "
            "choose substantiveTopics and identify the work subjects.";
        const GenerationSchema topic = GenerationSchema::object(
            "Topic", "",
            {{"label", "A distinct, broad work subject in one to five lowercase words, at most 64 UTF-8 bytes.",
              GenerationSchema::string()},
             {"references",
              "One to three exact input passage reference IDs that together support the whole subject. Select IDs "
              "only; never copy or rewrite the passage.",
              GenerationSchema::array(GenerationSchema::string(), kMinimumTagReferences, kMaximumTagReferences)}});
        const GenerationSchema substantive = GenerationSchema::object(
            "SubstantiveTopics", "",
            {{"tags",
              "Usually one or two broad distinct work subjects; one to three. Combine closely related details "
              "without losing a separate important subject.",
              GenerationSchema::array(topic, kMinimumTags, kMaximumTags)}});
        return GenerationSchema::choice("Topics", description,
                                        {GenerationSchema::choiceCase(kNoSubstantiveTopics, description, nullptr),
                                         GenerationSchema::choiceCase(kSubstantiveTopics, description, &substantive)});
    }();
    return schema;
}

}  // namespace quorvantel::analysis::topics
