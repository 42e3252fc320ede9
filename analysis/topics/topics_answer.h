// The topics answer as the model writes it, and the result keys made from it; the
// labels and references are passed through as written.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation-models/language_model.h"
#include "platform/foundation/json.h"

namespace quorvantel::analysis::topics {

struct Topic {
    std::string label;
    std::vector<std::string> references;
};

struct Topics {
    bool isSubstantive = false;
    std::vector<Topic> tags;
};

// Raises AnswerDecodingError for content that does not fit the type.
Topics decodeTopics(const GeneratedContent& content);

// isSubstantive and tags.
json::Object topicFields(const Topics& answer);

}  // namespace quorvantel::analysis::topics
