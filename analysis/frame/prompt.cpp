#include "analysis/frame/prompt.h"

namespace quorvantel::analysis {

std::string passagesJSON(const std::vector<Segment>& segments) {
    json::Array passages;
    for (const Segment& segment : segments) {
        passages.push_back(json::Object{{"reference", segment.reference}, {"text", segment.text}});
    }
    // The request was parsed as JSON, so every text is valid UTF-8 and the writer's
    // bytes need no repair.
    return json::write(json::Value(std::move(passages)), json::KeyOrder::sorted);
}

std::string passagesPrompt(std::string_view header, const std::vector<Segment>& segments) {
    std::string prompt(header);
    prompt += passagesJSON(segments);
    return prompt;
}

GeneratedContent generate(SystemLanguageModel& model, const std::string& instructions, const std::string& prompt,
                          const GenerationSchema& schema, int maximumResponseTokens) {
    std::unique_ptr<LanguageModelSession> session = model.makeSession(instructions);
    GenerationOptions options;
    options.sampling = SamplingMode::greedy;
    options.maximumResponseTokens = maximumResponseTokens;
    return session->respond(prompt, schema, true, options);
}

}  // namespace quorvantel::analysis
