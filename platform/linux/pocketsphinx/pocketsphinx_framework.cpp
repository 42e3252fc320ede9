#include "platform/linux/pocketsphinx/pocketsphinx_framework.h"

#include "platform/linux/pocketsphinx/pocketsphinx_decoder.h"

namespace quorvantel::pocketsphinx {
namespace {

class MissingModelRequest final : public AssetInstallationRequest {
public:
    void downloadAndInstall() override { throw SpeechPlatformError(kMissingModelMessage); }
};

}  // namespace

PocketsphinxFramework::PocketsphinxFramework(ModelFiles model)
    : PocketsphinxFramework(std::move(model),
                            [](const ModelFiles& files) { return std::make_unique<PocketsphinxDecoder>(files); }) {}

PocketsphinxFramework::PocketsphinxFramework(ModelFiles model, ModelDecoderFactory makeDecoder)
    : model_(std::move(model)), makeDecoder_(std::move(makeDecoder)) {}

std::optional<Locale> PocketsphinxFramework::supportedLocale(const Locale& equivalentTo) const {
    if (localeComparisonKey(equivalentTo.identifier) != localeComparisonKey(kModelLocale)) return std::nullopt;
    return Locale{kModelLocale};
}

std::shared_ptr<SpeechTranscriber> PocketsphinxFramework::makeTranscriber(const Locale& locale, TranscriberPreset) {
    return std::make_shared<PocketsphinxTranscriber>(locale);
}

AssetInventoryStatus PocketsphinxFramework::status(const TranscriberModules& modules) const {
    for (const auto& module : modules) {
        if (!supportedLocale(module->locale())) return AssetInventoryStatus::unsupported;
    }
    return model_.present() ? AssetInventoryStatus::installed : AssetInventoryStatus::supported;
}

void PocketsphinxFramework::reserve(const Locale&) {}

std::unique_ptr<AssetInstallationRequest> PocketsphinxFramework::assetInstallationRequest(
    const TranscriberModules& modules) {
    if (status(modules) != AssetInventoryStatus::supported) return nullptr;
    return std::make_unique<MissingModelRequest>();
}

std::optional<AVAudioFormat> PocketsphinxFramework::bestAvailableAudioFormat(const TranscriberModules&) const {
    return AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, kDecoderSampleRate, 1, false);
}

std::unique_ptr<SpeechAnalyzer> PocketsphinxFramework::makeAnalyzer(const TranscriberModules& modules,
                                                                     SpeechAnalyzerOptions) {
    auto transcriber =
        modules.empty() ? nullptr : std::dynamic_pointer_cast<PocketsphinxTranscriber>(modules.front());
    if (!transcriber) throw SpeechPlatformError(kNoTranscriberModuleMessage);
    const ModelFiles model = model_;
    auto makeDecoder = makeDecoder_;
    return std::make_unique<PocketsphinxAnalyzer>(std::move(transcriber), [model, makeDecoder] {
        if (!model.present()) throw SpeechPlatformError(kMissingModelMessage);
        return makeDecoder(model);
    });
}

}  // namespace quorvantel::pocketsphinx
