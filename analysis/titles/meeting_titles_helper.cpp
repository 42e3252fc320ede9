#include "analysis/titles/meeting_titles_helper.h"

#include "analysis/frame/prompt.h"
#include "analysis/titles/titles_answer.h"
#include "analysis/titles/titles_instructions.h"
#include "analysis/titles/titles_schema.h"

namespace quorvantel::analysis::titles {

const HelperConstants& titlesConstants() {
    static const HelperConstants constants = [] {
        HelperConstants c;
        c.actionFlag = "--suggest";
        c.usageMessage = "Use --doctor or --suggest.";
        c.oldSystemMessage = "Apple meeting titles require macOS 26 or newer.";
        c.promptVersion = kPromptVersion;
        c.maximumResponseTokens = kMaximumResponseTokens;
        c.availabilityMessages = {"Apple Intelligence is not enabled.",
                                  "The installed Apple model does not support English titles.",
                                  "The Apple on-device model is unavailable. Retry later."};
        c.generationFailureMessage = "Apple could not suggest a meeting title. The saved title is unchanged.";
        return c;
    }();
    return constants;
}

json::Object MeetingTitlesHelper::baseKeys() const {
    json::Object keys = commonBaseKeys(1);
    keys.emplace_back("task", "meeting-titles");
    return keys;
}

void MeetingTitlesHelper::readRequest(ByteSource& input) { request_ = readTitlesRequest(input); }

Failure MeetingTitlesHelper::invalidRequest(const std::exception&) const {
    return {"invalid_input", "The meeting title input was invalid. The saved title is unchanged."};
}

Outcome MeetingTitlesHelper::analyze(SystemLanguageModel& model) {
    const TitlesRequest& request = *request_;
    const std::string& text = request.phase == Phase::extract ? extractInstructions() : synthesizeInstructions();
    const GeneratedContent content = generate(model, text, passagesPrompt(kPromptHeader, request.request.segments),
                                              titleSuggestionSchema(), kMaximumResponseTokens);
    return titleOutcome(decodeTitleSuggestion(content), request.request.segments);
}

std::string MeetingTitlesHelper::generationFailureCode(const std::exception& error, const ProcessInfo&) const {
    return dynamic_cast<const OutputError*>(&error) ? "invalid_output" : "generation_failed";
}

}  // namespace quorvantel::analysis::titles
