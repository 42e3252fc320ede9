#include "analysis/topics/topics_answer.h"

#include "analysis/frame/answer_decoding.h"
#include "analysis/topics/topics_schema.h"

namespace quorvantel::analysis::topics {

Topics decodeTopics(const GeneratedContent& content) {
    Topics answer;
    if (answerCase(content, {kNoSubstantiveTopics, kSubstantiveTopics}) == kNoSubstantiveTopics) return answer;
    const json::Value& value = answerMember(content, "value");
    answer.isSubstantive = true;
    for (const json::Value& entry : answerArray(value, "tags")) {
        answer.tags.push_back({answerString(entry, "label"), answerStrings(entry, "references")});
    }
    return answer;
}

json::Object topicFields(const Topics& answer) {
    json::Array tags;
    for (const Topic& topic : answer.tags) {
        tags.push_back(json::Object{{"label", topic.label},
                                    {"references", json::Array(topic.references.begin(), topic.references.end())}});
    }
    return json::Object{{"isSubstantive", answer.isSubstantive}, {"tags", std::move(tags)}};
}

}  // namespace quorvantel::analysis::topics
