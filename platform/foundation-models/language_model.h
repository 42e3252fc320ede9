// The on-device language model as the analysis helpers call it: a model handle with
// its availability and locale support, sessions created with instructions, and one
// schema-guided generation per session.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/foundation-models/generation_schema.h"
#include "platform/foundation/json.h"

namespace quorvantel {

enum class LanguageModelUseCase { general };
enum class LanguageModelGuardrails { standard };

struct LanguageModelAvailability {
    enum class Reason { deviceNotEligible, appleIntelligenceNotEnabled, modelNotReady, other };

    bool available = true;
    // Only when not available.
    Reason reason = Reason::other;
    // The platform's own name of a reason that is none of the listed ones.
    std::string otherReason;

    static LanguageModelAvailability availableNow() { return {}; }
    static LanguageModelAvailability unavailable(Reason reason, std::string otherReason = "") {
        return {false, reason, std::move(otherReason)};
    }
};

enum class SamplingMode { greedy };

struct GenerationOptions {
    SamplingMode sampling = SamplingMode::greedy;
    // Unset leaves the model's own temperature.
    std::optional<double> temperature;
    std::optional<int> maximumResponseTokens;
};

// The content the model generated, in the schema's own form: an object of the
// schema's members, and a two-case choice as an object with its constant "type"
// member and, for the case with a payload, "value".
using GeneratedContent = json::Value;

// An error raised by a generation. The helpers tell errors apart by their type and
// case only, never by their text.
class LanguageModelPlatformError : public std::runtime_error {
public:
    enum class Type {
        // The current error types (system version 27 and later).
        languageModelError,            // LanguageModelError
        systemLanguageModelError,      // SystemLanguageModel.Error
        languageModelSessionError,     // LanguageModelSession.Error
        generatedContentParsingError,  // GeneratedContent.ParsingError (no cases)
        // The older error type (earlier systems).
        generationError,  // LanguageModelSession.GenerationError
        // An error of no listed type.
        other,
    };

    LanguageModelPlatformError(Type type, std::string caseName);

    Type type() const { return type_; }
    // The case's name as the platform spells it ("refusal"); empty for a type without
    // cases.
    const std::string& caseName() const { return caseName_; }

private:
    Type type_;
    std::string caseName_;
};

// The type's name as the platform spells it ("LanguageModelSession.GenerationError").
std::string_view errorTypeName(LanguageModelPlatformError::Type type);

class LanguageModelSession {
public:
    virtual ~LanguageModelSession() = default;
    // Generates one answer of the schema for the prompt; raises
    // LanguageModelPlatformError.
    virtual GeneratedContent respond(const std::string& prompt, const GenerationSchema& schema,
                                     bool includeSchemaInPrompt, const GenerationOptions& options) = 0;
};

class SystemLanguageModel {
public:
    virtual ~SystemLanguageModel() = default;
    virtual LanguageModelAvailability availability() const = 0;
    // The locale as a BCP 47 identifier ("en-US").
    virtual bool supportsLocale(const std::string& identifier) const = 0;
    // A fresh session without tools, guided by the instructions.
    virtual std::unique_ptr<LanguageModelSession> makeSession(const std::string& instructions) = 0;
};

// Creates the handle on the device's model for a use case and guardrails.
class LanguageModelProvider {
public:
    virtual ~LanguageModelProvider() = default;
    virtual std::unique_ptr<SystemLanguageModel> makeModel(LanguageModelUseCase useCase,
                                                           LanguageModelGuardrails guardrails) = 0;
};

}  // namespace quorvantel
