#include "analysis/chapters/chapters_answer.h"

#include "analysis/chapters/chapters_schema.h"
#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/answer_decoding.h"

namespace quorvantel::analysis::chapters {

namespace {

std::vector<ChapterBoundary> decodeBoundaries(const json::Value& value) {
    std::vector<ChapterBoundary> out;
    for (const json::Value& entry : answerArray(value, "chapters")) {
        out.push_back({answerString(entry, "heading"), answerString(entry, "startReference")});
    }
    return out;
}

json::Array boundaries(const std::vector<ChapterBoundary>& chapters) {
    json::Array out;
    for (const ChapterBoundary& c : chapters) {
        out.push_back(json::Object{{"heading", c.heading}, {"startReference", c.startReference}});
    }
    return out;
}

}  // namespace

Chapters decodeChapters(const GeneratedContent& content) {
    Chapters answer;
    if (answerCase(content, {kNoSubstantiveChapters, kSubstantiveChapters}) == kNoSubstantiveChapters) return answer;
    const json::Value& value = answerMember(content, "value");
    answer.isSubstantive = true;
    answer.chapters = decodeBoundaries(value);
    return answer;
}

ContextualChapters decodeContextualChapters(const GeneratedContent& content) {
    ContextualChapters answer;
    if (answerCase(content, {kNoSubstantiveChapters, kSubstantiveChapters}) == kNoSubstantiveChapters) return answer;
    const json::Value& value = answerMember(content, "value");
    answer.isSubstantive = true;
    answer.continuesPrevious = answerBool(value, "continuesPrevious");
    answer.chapters = decodeBoundaries(value);
    return answer;
}

json::Object chapterFields(const Chapters& answer) {
    return json::Object{{"isSubstantive", answer.isSubstantive}, {"chapters", boundaries(answer.chapters)}};
}

json::Object contextualFields(const ContextualChapters& answer) {
    return json::Object{{"isSubstantive", answer.isSubstantive},
                        {"continuesPrevious", answer.continuesPrevious},
                        {"chapters", boundaries(answer.chapters)}};
}

}  // namespace quorvantel::analysis::chapters
