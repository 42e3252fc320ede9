#include "analysis/chapters/chapters_schema.h"

namespace quorvantel::analysis::chapters {

namespace {

GenerationSchema chapterBoundary() {
    return GenerationSchema::object(
        "ChapterBoundary", "",
        {{"heading", "A short specific heading, one to eight words and at most 96 UTF-8 bytes.",
          GenerationSchema::string()},
         {"startReference",
          "The exact reference ID where this chapter starts. The FIRST chapter MUST start at the FIRST input "
          "reference. Later starts must follow input order without duplicates.",
          GenerationSchema::string()}});
}

GenerationSchema twoCases(const char* name, const char* description, const GenerationSchema& payload) {
    return GenerationSchema::choice(name, description,
                                    {GenerationSchema::choiceCase(kNoSubstantiveChapters, description, nullptr),
                                     GenerationSchema::choiceCase(kSubstantiveChapters, description, &payload)});
}

}  // namespace

const GenerationSchema& chaptersSchema() {
    static const GenerationSchema schema = [] {
        const GenerationSchema substantive = GenerationSchema::object(
            "SubstantiveChapters", "",
            {{"chapters",
              "One to four chronological chapters. Usually one or two. Retain a return to a previous subject as a "
              "separate later chapter, not a duplicate to remove.",
              GenerationSchema::array(chapterBoundary(), kMinimumChapters, kMaximumChapters)}});
        return twoCases("Chapters",
                        "Choose noSubstantiveChapters only for greetings, hesitation, audio checks or unrelated "
                        "filler alone. Otherwise choose substantiveChapters.",
                        substantive);
    }();
    return schema;
}

const GenerationSchema& contextualChaptersSchema() {
    static const GenerationSchema schema = [] {
        const GenerationSchema substantive = GenerationSchema::object(
            "ContextualSubstantiveChapters", "",
            {{"continuesPrevious",
              "True only if the first NEW passage continues the immediately previous chapter's specific subject "
              "shown in CONTEXT_ONLY. False when there is no previousHeading, when the subject changes, or when a "
              "previous subject returns after another subject. A file/chunk boundary alone is not a subject change.",
              GenerationSchema::boolean()},
             {"chapters",
              "One to four chronological chapters for NEW_PASSAGES only. Start the first at the first NEW "
              "reference. Add a chapter for each material change of subject, including returns to an earlier "
              "subject. Keep details, examples, dates and decisions about one subject together.",
              GenerationSchema::array(chapterBoundary(), kMinimumChapters, kMaximumChapters)}});
        return twoCases("ContextualChapters",
                        "Judge only NEW_PASSAGES. Choose noSubstantiveChapters for greetings, hesitation, audio "
                        "checks or unrelated filler alone, even when CONTEXT_ONLY discusses work. Otherwise choose "
                        "substantiveChapters.",
                        substantive);
    }();
    return schema;
}

}  // namespace quorvantel::analysis::chapters
