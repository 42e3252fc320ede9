// The stand-in on-device model, driven by the scenario's "model" section:
// availability and locale support, a scripted answer or error for every generation,
// a record of every generation, and otherwise the built-in extractive model.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation-models/language_model.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

struct SimModelScript {
    LanguageModelAvailability availability;
    bool supportsLocale = true;
    // Returned as is for every generation.
    std::optional<json::Value> response;
    // Raised instead of answering; wins over response.
    std::optional<LanguageModelPlatformError> error;
    // Every generation appends one JSON line here.
    std::optional<std::string> transcriptPath;
};

// Reads "model.availability", "model.supportsLocale", "model.response",
// "model.error" and "model.transcriptPath"; raises ScenarioError.
SimModelScript readModelScript(const Section& model);

// An error kind written "<Type>.<case>" ("LanguageModelError.refusal"),
// "GeneratedContent.ParsingError" or "other"; nothing when it names no known type.
std::optional<LanguageModelPlatformError> parseErrorKind(const std::string& kind);

// Appends the generation records to the transcript file; opened when the provider is
// built so that a path that cannot be written ends the process before any work.
class SimTranscript {
public:
    explicit SimTranscript(std::string path);
    ~SimTranscript();
    SimTranscript(const SimTranscript&) = delete;
    SimTranscript& operator=(const SimTranscript&) = delete;
    // Writes the record as one line; a failed write ends the process like a bad
    // scenario, because the test that asked for the record cannot go on without it.
    void append(const json::Value& record);

private:
    std::string path_;
    int fd_ = -1;
};

class SimLanguageModelProvider final : public LanguageModelProvider {
public:
    explicit SimLanguageModelProvider(SimModelScript script);
    std::unique_ptr<SystemLanguageModel> makeModel(LanguageModelUseCase useCase,
                                                   LanguageModelGuardrails guardrails) override;

private:
    std::shared_ptr<const SimModelScript> script_;
    std::shared_ptr<SimTranscript> transcript_;
};

// The record of one generation, as written to the transcript file.
json::Value generationRecord(const std::string& instructions, const std::string& prompt,
                             const GenerationSchema& schema, bool includeSchemaInPrompt,
                             const GenerationOptions& options);

}  // namespace quorvantel::sim
