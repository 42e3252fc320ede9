#include "analysis/chapters/meeting_chapters_helper.h"

#include "analysis/chapters/chapters_answer.h"
#include "analysis/chapters/chapters_instructions.h"
#include "analysis/chapters/chapters_schema.h"
#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/prompt.h"

namespace quorvantel::analysis::chapters {

const HelperConstants& chaptersConstants() {
    static const HelperConstants constants = [] {
        HelperConstants c;
        c.actionFlag = "--analyze";
        c.usageMessage = "Use --doctor or --analyze.";
        c.oldSystemMessage = "Apple meeting chapters require macOS 26 or newer.";
        c.promptVersion = kPromptVersion;
        c.maximumResponseTokens = kMaximumResponseTokens;
        c.availabilityMessages = {"Enable Apple Intelligence in System Settings to analyze chapters.",
                                  "The installed Apple model does not support English chapters.",
                                  "Apple chapter analysis is unavailable. Retry later."};
        c.generationFailureMessage =
            "Apple could not analyze this transcript. Your transcript and previous chapters are unchanged. Try again.";
        c.readsRequestBeforeAvailability = true;
        c.supportedRequestSchemas = json::Array{1, 2};
        return c;
    }();
    return constants;
}

std::string chaptersPrompt(const ChaptersRequest& request) {
    if (request.request.schemaVersion != 2) return passagesPrompt(kSchema1Header, request.request.segments);
    json::Value context(nullptr);
    if (request.context) {
        context = json::Object{{"previousHeading", request.context->previousHeading
                                                       ? json::Value(*request.context->previousHeading)
                                                       : json::Value(nullptr)},
                               {"text", request.context->text}};
    }
    std::string prompt = kContextHeader;
    prompt += json::write(context, json::KeyOrder::sorted);
    prompt += kNewPassagesHeader;
    prompt += passagesJSON(request.request.segments);
    return prompt;
}

json::Object MeetingChaptersHelper::baseKeys() const {
    json::Object keys = commonBaseKeys(request_ ? request_->request.schemaVersion : 1);
    keys.emplace_back("task", "meeting-chapters");
    keys.emplace_back("useCase", "general");
    keys.emplace_back("grounding", "source-boundaries");
    return keys;
}

void MeetingChaptersHelper::readRequest(ByteSource& input) { request_ = readChaptersRequest(input); }

Failure MeetingChaptersHelper::invalidRequest(const std::exception&) const {
    return {"invalid_input", "The chapter request is invalid. No text was analyzed."};
}

Outcome MeetingChaptersHelper::analyze(SystemLanguageModel& model) {
    const ChaptersRequest& request = *request_;
    const std::string prompt = chaptersPrompt(request);
    if (request.request.schemaVersion == 2) {
        const GeneratedContent content =
            generate(model, contextualInstructions(), prompt, contextualChaptersSchema(), kMaximumResponseTokens);
        return {"complete", contextualFields(decodeContextualChapters(content))};
    }
    const GeneratedContent content = generate(model, instructions(), prompt, chaptersSchema(), kMaximumResponseTokens);
    return {"complete", chapterFields(decodeChapters(content))};
}

std::string MeetingChaptersHelper::generationFailureCode(const std::exception& error, const ProcessInfo&) const {
    if (dynamic_cast<const InputError*>(&error) || dynamic_cast<const RequestDecodingError*>(&error)) {
        return "invalid_input";
    }
    return "generation_failed";
}

}  // namespace quorvantel::analysis::chapters
