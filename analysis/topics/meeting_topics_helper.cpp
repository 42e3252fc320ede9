#include "analysis/topics/meeting_topics_helper.h"

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/prompt.h"
#include "analysis/topics/topics_answer.h"
#include "analysis/topics/topics_instructions.h"
#include "analysis/topics/topics_schema.h"

namespace quorvantel::analysis::topics {

const HelperConstants& topicsConstants() {
    static const HelperConstants constants = [] {
        HelperConstants c;
        c.actionFlag = "--analyze";
        c.usageMessage = "Use --doctor or --analyze.";
        c.oldSystemMessage = "Apple meeting topics require macOS 26 or newer.";
        c.promptVersion = kPromptVersion;
        c.maximumResponseTokens = kMaximumResponseTokens;
        c.availabilityMessages = {"Enable Apple Intelligence in System Settings to analyze topics.",
                                  "The installed Apple model does not support English topics.",
                                  "Apple topic analysis is unavailable. Retry later."};
        c.generationFailureMessage =
            "Apple could not analyze this transcript. Your transcript and previous topics are unchanged. Try again.";
        return c;
    }();
    return constants;
}

const RequestRules& topicsRequestRules() {
    static const RequestRules rules = [] {
        RequestRules r;
        r.keySets = {{1, {"schemaVersion", "locale", "segments"}}};
        r.minimumSegments = 1;
        r.maximumSegments = 128;
        r.textRule = TextRule::nonEmpty;
        r.referenceRule = ReferenceRule::identifier;
        return r;
    }();
    return rules;
}

std::string topicsFailureCode(const std::exception& error) {
    if (dynamic_cast<const InputError*>(&error) || dynamic_cast<const RequestDecodingError*>(&error)) {
        return "invalid_input";
    }
    return "generation_failed";
}

json::Object MeetingTopicsHelper::baseKeys() const {
    json::Object keys = commonBaseKeys(kResultSchemaVersion);
    keys.emplace_back("useCase", "general");
    keys.emplace_back("grounding", "source-passages");
    return keys;
}

void MeetingTopicsHelper::readRequest(ByteSource& input) {
    request_ = analysis::readRequest(input, topicsRequestRules());
}

Failure MeetingTopicsHelper::invalidRequest(const std::exception& error) const {
    // An invalid request reads like any other failure of the analysis to the user.
    return {topicsFailureCode(error), topicsConstants().generationFailureMessage};
}

Outcome MeetingTopicsHelper::analyze(SystemLanguageModel& model) {
    const GeneratedContent content = generate(model, instructions(), passagesPrompt(kPromptHeader, request_->segments),
                                              topicsSchema(), kMaximumResponseTokens);
    return {"complete", topicFields(decodeTopics(content))};
}

std::string MeetingTopicsHelper::generationFailureCode(const std::exception& error, const ProcessInfo&) const {
    return topicsFailureCode(error);
}

}  // namespace quorvantel::analysis::topics
