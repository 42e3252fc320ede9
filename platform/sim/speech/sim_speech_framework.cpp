#include "platform/sim/speech/sim_speech_framework.h"

#include "platform/sim/speech/sim_speech_analyzer.h"
#include "platform/sim/speech/sim_speech_transcriber.h"

namespace quorvantel::sim {
namespace {

// Installs the locale's assets when asked to download them.
class SimInstallationRequest final : public AssetInstallationRequest {
public:
    SimInstallationRequest(SimSpeechFramework& owner, std::string identifier)
        : owner_(owner), identifier_(std::move(identifier)) {}
    void downloadAndInstall() override { owner_.install(identifier_); }

private:
    SimSpeechFramework& owner_;
    std::string identifier_;
};

}  // namespace

SimSpeechFramework::SimSpeechFramework(SimSpeechScenario scenario) : scenario_(std::move(scenario)) {}

std::optional<Locale> SimSpeechFramework::supportedLocale(const Locale& equivalentTo) const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::string wanted = localeComparisonKey(equivalentTo.identifier);
    for (const auto& [identifier, status] : scenario_.locales) {
        if (localeComparisonKey(identifier) == wanted) return Locale{identifier};
    }
    return std::nullopt;
}

std::shared_ptr<SpeechTranscriber> SimSpeechFramework::makeTranscriber(const Locale& locale, TranscriberPreset) {
    return std::make_shared<SimSpeechTranscriber>(locale);
}

std::string SimSpeechFramework::statusText(const std::string& identifier) const {
    for (const auto& [candidate, status] : scenario_.locales) {
        if (candidate == identifier) return status;
    }
    return "unsupported";
}

AssetInventoryStatus SimSpeechFramework::status(const TranscriberModules& modules) const {
    std::lock_guard<std::mutex> guard(lock_);
    // The modules' least ready locale decides, as a download covers them all.
    AssetInventoryStatus result = AssetInventoryStatus::installed;
    for (const auto& module : modules) {
        const std::string text = statusText(module->locale().identifier);
        AssetInventoryStatus status;
        if (text == "installed") status = AssetInventoryStatus::installed;
        else if (text == "supported") status = AssetInventoryStatus::supported;
        else if (text == "downloading") status = AssetInventoryStatus::downloading;
        else if (text == "unsupported") status = AssetInventoryStatus::unsupported;
        else status = AssetInventoryStatus::other;
        if (status != AssetInventoryStatus::installed) result = status;
    }
    return result;
}

void SimSpeechFramework::reserve(const Locale&) {}

std::unique_ptr<AssetInstallationRequest> SimSpeechFramework::assetInstallationRequest(
    const TranscriberModules& modules) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& module : modules) {
        const std::string text = statusText(module->locale().identifier);
        if (text == "supported" || text == "downloading") {
            return std::make_unique<SimInstallationRequest>(*this, module->locale().identifier);
        }
    }
    return nullptr;
}

std::optional<AVAudioFormat> SimSpeechFramework::bestAvailableAudioFormat(const TranscriberModules&) const {
    if (!scenario_.format) return std::nullopt;
    return AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, scenario_.format->sampleRate,
                               scenario_.format->channels, false);
}

std::unique_ptr<SpeechAnalyzer> SimSpeechFramework::makeAnalyzer(const TranscriberModules& modules,
                                                                  SpeechAnalyzerOptions) {
    auto transcriber = modules.empty() ? nullptr : std::dynamic_pointer_cast<SimSpeechTranscriber>(modules.front());
    if (!transcriber) throw SpeechPlatformError("The speech analyzer needs a transcriber module.");
    return std::make_unique<SimSpeechAnalyzer>(std::move(transcriber), scenario_.recognizer);
}

void SimSpeechFramework::install(const std::string& identifier) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& [candidate, status] : scenario_.locales) {
        if (candidate == identifier) status = "installed";
    }
}

}  // namespace quorvantel::sim
