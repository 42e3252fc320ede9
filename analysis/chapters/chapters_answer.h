// The chapters answer as the model writes it, and the result keys made from it. The
// answer is passed through as written: headings and start references are neither
// trimmed nor checked against the request.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation-models/language_model.h"
#include "platform/foundation/json.h"

namespace quorvantel::analysis::chapters {

struct ChapterBoundary {
    std::string heading;
    std::string startReference;
};

// noSubstantiveChapters, or substantiveChapters with its chapters.
struct Chapters {
    bool isSubstantive = false;
    std::vector<ChapterBoundary> chapters;
};

struct ContextualChapters {
    bool isSubstantive = false;
    // The model's value; false for noSubstantiveChapters.
    bool continuesPrevious = false;
    std::vector<ChapterBoundary> chapters;
};

// Raise AnswerDecodingError for content that does not fit the type.
Chapters decodeChapters(const GeneratedContent& content);
ContextualChapters decodeContextualChapters(const GeneratedContent& content);

// The result keys: isSubstantive and chapters; contextual answers add continuesPrevious.
json::Object chapterFields(const Chapters& answer);
json::Object contextualFields(const ContextualChapters& answer);

}  // namespace quorvantel::analysis::chapters
