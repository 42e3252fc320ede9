#include "platform/sim/foundation-models/sim_language_model.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/sim/foundation-models/sim_extractive_model.h"

namespace quorvantel::sim {

namespace {

using ErrorType = LanguageModelPlatformError::Type;

// The types a scripted error may name; the longest spelling is tried first so that
// "LanguageModelSession.GenerationError.x" is not read as a LanguageModelSession
// case.
struct KnownErrorType {
    const char* name;
    ErrorType type;
};
constexpr KnownErrorType kErrorTypes[] = {
    {"LanguageModelSession.GenerationError", ErrorType::generationError},
    {"LanguageModelSession.Error", ErrorType::languageModelSessionError},
    {"SystemLanguageModel.Error", ErrorType::systemLanguageModelError},
    {"LanguageModelError", ErrorType::languageModelError},
};

LanguageModelAvailability readAvailability(const std::string& text) {
    using Reason = LanguageModelAvailability::Reason;
    if (text == "available") return LanguageModelAvailability::availableNow();
    if (text == "deviceNotEligible") return LanguageModelAvailability::unavailable(Reason::deviceNotEligible);
    if (text == "appleIntelligenceNotEnabled") {
        return LanguageModelAvailability::unavailable(Reason::appleIntelligenceNotEnabled);
    }
    if (text == "modelNotReady") return LanguageModelAvailability::unavailable(Reason::modelNotReady);
    return LanguageModelAvailability::unavailable(Reason::other, text);
}

class SimSession final : public LanguageModelSession {
public:
    SimSession(std::shared_ptr<const SimModelScript> script, std::shared_ptr<SimTranscript> transcript,
               std::string instructions)
        : script_(std::move(script)), transcript_(std::move(transcript)), instructions_(std::move(instructions)) {}

    GeneratedContent respond(const std::string& prompt, const GenerationSchema& schema,
                             bool includeSchemaInPrompt, const GenerationOptions& options) override {
        if (transcript_) {
            transcript_->append(generationRecord(instructions_, prompt, schema, includeSchemaInPrompt, options));
        }
        // One request per session, as on the device: a second one while this session
        // exists is refused.
        if (responded_) {
            throw LanguageModelPlatformError(ErrorType::languageModelSessionError, "concurrentRequests");
        }
        responded_ = true;
        if (script_->error) throw *script_->error;
        if (script_->response) return *script_->response;
        return extractiveAnswer(prompt, schema);
    }

private:
    std::shared_ptr<const SimModelScript> script_;
    std::shared_ptr<SimTranscript> transcript_;
    std::string instructions_;
    bool responded_ = false;
};

class SimModel final : public SystemLanguageModel {
public:
    SimModel(std::shared_ptr<const SimModelScript> script, std::shared_ptr<SimTranscript> transcript)
        : script_(std::move(script)), transcript_(std::move(transcript)) {}

    LanguageModelAvailability availability() const override { return script_->availability; }
    bool supportsLocale(const std::string& identifier) const override {
        // The stand-in plays a model whose one language is US English; the scenario
        // decides whether that one is installed.
        return identifier == "en-US" && script_->supportsLocale;
    }
    std::unique_ptr<LanguageModelSession> makeSession(const std::string& instructions) override {
        return std::make_unique<SimSession>(script_, transcript_, instructions);
    }

private:
    std::shared_ptr<const SimModelScript> script_;
    std::shared_ptr<SimTranscript> transcript_;
};

}  // namespace

std::optional<LanguageModelPlatformError> parseErrorKind(const std::string& kind) {
    if (kind == "other") return LanguageModelPlatformError(ErrorType::other, "");
    if (kind == "GeneratedContent.ParsingError") {
        return LanguageModelPlatformError(ErrorType::generatedContentParsingError, "");
    }
    for (const KnownErrorType& known : kErrorTypes) {
        const std::string prefix = std::string(known.name) + ".";
        if (kind.size() > prefix.size() && kind.compare(0, prefix.size(), prefix) == 0) {
            const std::string caseName = kind.substr(prefix.size());
            if (caseName.find('.') != std::string::npos) return std::nullopt;
            return LanguageModelPlatformError(known.type, caseName);
        }
    }
    return std::nullopt;
}

SimModelScript readModelScript(const Section& model) {
    SimModelScript script;
    if (auto text = model.string("availability")) script.availability = readAvailability(*text);
    if (auto supports = model.boolean("supportsLocale")) script.supportsLocale = *supports;
    if (const json::Value* response = model.member("response")) script.response = *response;
    if (auto kind = model.string("error")) {
        script.error = parseErrorKind(*kind);
        if (!script.error) {
            throw ScenarioError(model.pathOf("error") +
                                " must be an error kind such as LanguageModelError.refusal, or other");
        }
    }
    if (auto path = model.string("transcriptPath")) script.transcriptPath = *path;
    return script;
}

SimTranscript::SimTranscript(std::string path) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) throw ScenarioError("cannot open " + path_ + ": " + std::strerror(errno));
}

SimTranscript::~SimTranscript() {
    if (fd_ >= 0) ::close(fd_);
}

void SimTranscript::append(const json::Value& record) {
    std::string line = json::write(record, json::KeyOrder::insertion);
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) exitWithScenarioError("cannot write " + path_ + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

SimLanguageModelProvider::SimLanguageModelProvider(SimModelScript script)
    : script_(std::make_shared<const SimModelScript>(std::move(script))) {
    if (script_->transcriptPath) transcript_ = std::make_shared<SimTranscript>(*script_->transcriptPath);
}

std::unique_ptr<SystemLanguageModel> SimLanguageModelProvider::makeModel(LanguageModelUseCase,
                                                                        LanguageModelGuardrails) {
    return std::make_unique<SimModel>(script_, transcript_);
}

json::Value generationRecord(const std::string& instructions, const std::string& prompt,
                             const GenerationSchema& schema, bool includeSchemaInPrompt,
                             const GenerationOptions& options) {
    json::Object record;
    record.emplace_back("instructions", instructions);
    record.emplace_back("prompt", prompt);
    record.emplace_back("schema", toJSONSchema(schema));
    record.emplace_back("sampling", "greedy");
    if (options.temperature) record.emplace_back("temperature", *options.temperature);
    record.emplace_back("maximumResponseTokens",
                        options.maximumResponseTokens ? json::Value(*options.maximumResponseTokens)
                                                      : json::Value(nullptr));
    record.emplace_back("includeSchemaInPrompt", includeSchemaInPrompt);
    return json::Value(std::move(record));
}

}  // namespace quorvantel::sim
