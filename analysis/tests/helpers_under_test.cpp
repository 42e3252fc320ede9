#include "analysis/tests/helpers_under_test.h"

#include "analysis/categories/meeting_categories_helper.h"
#include "analysis/chapters/meeting_chapters_helper.h"
#include "analysis/tests/fakes.h"
#include "analysis/titles/meeting_titles_helper.h"
#include "analysis/topics/meeting_topics_helper.h"

namespace quorvantel::analysis::testing {

const std::vector<HelperUnderTest>& allHelpers() {
    static const std::vector<HelperUnderTest> helpers = {
        {kChapters, "chapters", "quorvantel-meeting-chapters",
         [] { return std::make_unique<chapters::MeetingChaptersHelper>(); }, json::Object{}, "invalid_input",
         "The chapter request is invalid. No text was analyzed."},
        {kTitles, "titles", "quorvantel-meeting-titles", [] { return std::make_unique<titles::MeetingTitlesHelper>(); },
         json::Object{{"phase", "extract"}}, "invalid_input",
         "The meeting title input was invalid. The saved title is unchanged."},
        {kTopics, "topics", "quorvantel-meeting-topics", [] { return std::make_unique<topics::MeetingTopicsHelper>(); },
         json::Object{}, "invalid_input",
         "Apple could not analyze this transcript. Your transcript and previous topics are unchanged. Try again."},
        {kCategories, "categories", "quorvantel-meeting-categories",
         [] { return std::make_unique<categories::MeetingCategoriesHelper>(); }, json::Object{}, "invalid_request",
         "Apple could not classify this transcript. No category was accepted. Retry with a supported, bounded "
         "English transcript."},
    };
    return helpers;
}

json::Value segment(const std::string& reference, const std::string& text) {
    return json::Object{{"reference", reference}, {"text", text}};
}

json::Array sampleSegments() {
    return {segment("a", "Good morning, can everyone hear me?"),
            segment("b", "Let us plan the loading dock access schedule for the warehouse."),
            segment("c", "The loading dock access badges are due by Friday."),
            segment("d", "Next, the volunteer training program starts in March."),
            segment("e", "Volunteer training covers safety and first aid.")};
}

json::Object requestObject(const HelperUnderTest& helper, json::Array segments) {
    json::Object object{{"schemaVersion", 1}, {"locale", "en-US"}};
    for (const auto& member : helper.extras) object.push_back(member);
    object.emplace_back("segments", std::move(segments));
    return object;
}

std::string requestText(const json::Object& object) { return json::write(json::Value(object), json::KeyOrder::insertion); }

std::string requestText(const HelperUnderTest& helper, json::Array segments) {
    return requestText(requestObject(helper, std::move(segments)));
}

std::exception_ptr readError(const HelperUnderTest& helper, const std::string& bytes) {
    std::unique_ptr<AnalysisHelper> instance = helper.make();
    StringSource source(bytes);
    try {
        instance->readRequest(source);
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

}  // namespace quorvantel::analysis::testing
