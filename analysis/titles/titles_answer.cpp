#include "analysis/titles/titles_answer.h"

#include <set>

#include "analysis/frame/answer_decoding.h"
#include "analysis/frame/text_rules.h"
#include "analysis/titles/titles_schema.h"

namespace quorvantel::analysis::titles {

TitleSuggestion decodeTitleSuggestion(const GeneratedContent& content) {
    TitleSuggestion answer;
    if (answerCase(content, {kInsufficientEvidence, kProposed}) == kInsufficientEvidence) return answer;
    const json::Value& value = answerMember(content, "value");
    answer.proposed = true;
    answer.title = answerString(value, "title");
    answer.evidenceReferences = answerStrings(value, "evidenceReferences");
    return answer;
}

Outcome titleOutcome(const TitleSuggestion& answer, const std::vector<Segment>& segments) {
    if (!answer.proposed) {
        return {"abstained", json::Object{{"code", "insufficient_evidence"},
                                          {"message", "The conversation did not provide enough information for a title."},
                                          {"evidenceReferences", json::Array{}}}};
    }
    const std::string title = trimWhiteSpace(answer.title);
    if (title.empty() || title.size() > kMaximumTitleBytes) throw OutputError();
    if (hasControlOrFormatCharacter(title) || hasLineBreak(title)) throw OutputError();
    const std::size_t count = answer.evidenceReferences.size();
    if (count < static_cast<std::size_t>(kMinimumEvidenceReferences) ||
        count > static_cast<std::size_t>(kMaximumEvidenceReferences)) {
        throw OutputError();
    }
    const std::set<std::string> distinct(answer.evidenceReferences.begin(), answer.evidenceReferences.end());
    if (distinct.size() != count) throw OutputError();
    std::set<std::string> known;
    for (const Segment& segment : segments) known.insert(segment.reference);
    for (const std::string& reference : answer.evidenceReferences) {
        if (known.count(reference) == 0) throw OutputError();
    }
    return {"complete",
            json::Object{{"title", title},
                         {"evidenceReferences",
                          json::Array(answer.evidenceReferences.begin(), answer.evidenceReferences.end())}}};
}

}  // namespace quorvantel::analysis::titles
