#include "analysis/categories/meeting_categories_helper.h"

#include "analysis/categories/categories_answer.h"
#include "analysis/categories/categories_instructions.h"
#include "analysis/categories/categories_schema.h"
#include "analysis/frame/prompt.h"

namespace quorvantel::analysis::categories {

const HelperConstants& categoriesConstants() {
    static const HelperConstants constants = [] {
        HelperConstants c;
        c.actionFlag = "--classify";
        c.usageMessage = "Use --doctor or --classify.";
        c.oldSystemMessage = "Apple meeting categories require macOS 26 or newer.";
        c.promptVersion = kPromptVersion;
        c.maximumResponseTokens = kMaximumResponseTokens;
        c.availabilityMessages = {
            "Apple Intelligence is not enabled. Recording and existing brief providers remain available.",
            "The installed Apple model does not support English.",
            "The Apple on-device model is unavailable. Retry later."};
        c.generationFailureMessage =
            "Apple could not classify this transcript. No category was accepted. Retry with a supported, bounded "
            "English transcript.";
        return c;
    }();
    return constants;
}

const RequestRules& categoriesRequestRules() {
    static const RequestRules rules = [] {
        RequestRules r;
        r.keySets = {{1, {"schemaVersion", "locale", "segments"}}};
        r.minimumSegments = 0;
        r.maximumSegments = 128;
        r.textRule = TextRule::any;
        r.referenceRule = ReferenceRule::alphanumeric;
        return r;
    }();
    return rules;
}

json::Object MeetingCategoriesHelper::baseKeys() const {
    json::Object keys = commonBaseKeys(1);
    for (auto& [key, value] : keys) {
        if (key == "providerId") value = kProviderID;
    }
    return keys;
}

void MeetingCategoriesHelper::readRequest(ByteSource& input) {
    request_ = analysis::readRequest(input, categoriesRequestRules());
}

Failure MeetingCategoriesHelper::invalidRequest(const std::exception&) const {
    return {"invalid_request", categoriesConstants().generationFailureMessage};
}

Outcome MeetingCategoriesHelper::analyze(SystemLanguageModel& model) {
    const GeneratedContent content = generate(model, instructions(), passagesPrompt(kPromptHeader, request_->segments),
                                              categorySuggestionSchema(), kMaximumResponseTokens);
    return categoryOutcome(decodeCategorySuggestion(content), request_->segments);
}

std::string MeetingCategoriesHelper::generationFailureCode(const std::exception& error,
                                                           const ProcessInfo& processInfo) const {
    return categories::generationFailureCode(error, processInfo);
}

}  // namespace quorvantel::analysis::categories
