// Whether the on-device model can answer, and the code and message when it cannot.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation-models/language_model.h"

namespace quorvantel::analysis {

struct Failure {
    std::string code;
    std::string message;
};

// The messages that differ between the helpers.
struct AvailabilityMessages {
    std::string appleIntelligenceNotEnabled;
    std::string unsupportedLanguage;
    std::string unknownUnavailability;
};

// Nothing when the model is available and works in US English.
std::optional<Failure> unavailability(const SystemLanguageModel& model, const AvailabilityMessages& messages);

}  // namespace quorvantel::analysis
