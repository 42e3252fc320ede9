#include "analysis/frame/availability.h"

#include "analysis/frame/request.h"

namespace quorvantel::analysis {

std::optional<Failure> unavailability(const SystemLanguageModel& model, const AvailabilityMessages& messages) {
    const LanguageModelAvailability availability = model.availability();
    if (availability.available) {
        if (model.supportsLocale(kRequestLocale)) return std::nullopt;
        return Failure{"unsupported_language", messages.unsupportedLanguage};
    }
    using Reason = LanguageModelAvailability::Reason;
    switch (availability.reason) {
        case Reason::deviceNotEligible:
            return Failure{"device_not_eligible", "This Mac does not support the Apple on-device model."};
        case Reason::appleIntelligenceNotEnabled:
            return Failure{"apple_intelligence_not_enabled", messages.appleIntelligenceNotEnabled};
        case Reason::modelNotReady:
            return Failure{"model_not_ready",
                           "The Apple on-device model is not ready. Check Apple Intelligence in System Settings, "
                           "then retry."};
        case Reason::other: break;
    }
    return Failure{"unknown_unavailability", messages.unknownUnavailability};
}

}  // namespace quorvantel::analysis
