// The speech framework on pocketsphinx: US English when Debian's model is installed,
// no other language, nothing to download, and 16 kHz mono analyzers.
#pragma once

#include "platform/linux/pocketsphinx/model_files.h"
#include "platform/linux/pocketsphinx/pocketsphinx_analyzer.h"
#include "platform/speech/speech_framework.h"

namespace quorvantel::pocketsphinx {

// The one locale the model speaks, as the platform spells it.
inline constexpr const char* kModelLocale = "en_US";
inline constexpr const char* kNoTranscriberModuleMessage =
    "The speech analyzer needs a pocketsphinx transcriber module.";
inline constexpr const char* kMissingModelMessage =
    "The US English speech model of pocketsphinx is not installed. Install the package pocketsphinx-en-us.";

class PocketsphinxFramework final : public SpeechFramework {
public:
    // Analyzers load the model's files with the real decoder.
    explicit PocketsphinxFramework(ModelFiles model);
    // Analyzers get their decoder from `makeDecoder`.
    using ModelDecoderFactory = std::function<std::unique_ptr<SpeechDecoder>(const ModelFiles&)>;
    PocketsphinxFramework(ModelFiles model, ModelDecoderFactory makeDecoder);

    bool isAvailable() const override { return true; }
    // en-US in any spelling ("en_US", "en-us"); nothing for any other locale.
    std::optional<Locale> supportedLocale(const Locale& equivalentTo) const override;
    std::shared_ptr<SpeechTranscriber> makeTranscriber(const Locale& locale, TranscriberPreset preset) override;
    // Installed when the model's files are there, supported when they are not.
    AssetInventoryStatus status(const TranscriberModules& modules) const override;
    void reserve(const Locale& locale) override;
    // A missing model can only be installed by the user: the request fails with the
    // package to install.
    std::unique_ptr<AssetInstallationRequest> assetInstallationRequest(const TranscriberModules& modules) override;
    std::optional<AVAudioFormat> bestAvailableAudioFormat(const TranscriberModules& modules) const override;
    std::unique_ptr<SpeechAnalyzer> makeAnalyzer(const TranscriberModules& modules,
                                                 SpeechAnalyzerOptions options) override;

private:
    ModelFiles model_;
    ModelDecoderFactory makeDecoder_;
};

}  // namespace quorvantel::pocketsphinx
