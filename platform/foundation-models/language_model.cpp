#include "platform/foundation-models/language_model.h"

namespace quorvantel {

std::string_view errorTypeName(LanguageModelPlatformError::Type type) {
    using Type = LanguageModelPlatformError::Type;
    switch (type) {
        case Type::languageModelError: return "LanguageModelError";
        case Type::systemLanguageModelError: return "SystemLanguageModel.Error";
        case Type::languageModelSessionError: return "LanguageModelSession.Error";
        case Type::generatedContentParsingError: return "GeneratedContent.ParsingError";
        case Type::generationError: return "LanguageModelSession.GenerationError";
        case Type::other: return "other";
    }
    return "other";
}

namespace {

std::string describe(LanguageModelPlatformError::Type type, const std::string& caseName) {
    std::string text = "The language model failed: ";
    text.append(errorTypeName(type));
    if (!caseName.empty()) text += "." + caseName;
    return text;
}

}  // namespace

LanguageModelPlatformError::LanguageModelPlatformError(Type type, std::string caseName)
    : std::runtime_error(describe(type, caseName)), type_(type), caseName_(std::move(caseName)) {}

}  // namespace quorvantel
