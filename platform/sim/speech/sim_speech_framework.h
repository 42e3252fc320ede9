// The stand-in recogniser's availability, locales and asset inventory.
#pragma once

#include <mutex>

#include "platform/sim/speech/sim_speech_scenario.h"
#include "platform/speech/speech_framework.h"

namespace quorvantel::sim {

class SimSpeechFramework final : public SpeechFramework {
public:
    explicit SimSpeechFramework(SimSpeechScenario scenario);

    bool isAvailable() const override { return scenario_.available; }
    // Equal after "-" becomes "_", ignoring letter case.
    std::optional<Locale> supportedLocale(const Locale& equivalentTo) const override;
    std::shared_ptr<SpeechTranscriber> makeTranscriber(const Locale& locale, TranscriberPreset preset) override;
    AssetInventoryStatus status(const TranscriberModules& modules) const override;
    void reserve(const Locale& locale) override;
    std::unique_ptr<AssetInstallationRequest> assetInstallationRequest(const TranscriberModules& modules) override;
    // 32-bit float, non-interleaved, at the scenario's rate and channel count.
    std::optional<AVAudioFormat> bestAvailableAudioFormat(const TranscriberModules& modules) const override;
    std::unique_ptr<SpeechAnalyzer> makeAnalyzer(const TranscriberModules& modules,
                                                 SpeechAnalyzerOptions options) override;

    const SimSpeechScenario& scenario() const { return scenario_; }
    // Marks a locale's assets installed for the rest of the process.
    void install(const std::string& identifier);

private:
    std::string statusText(const std::string& identifier) const;

    mutable std::mutex lock_;
    SimSpeechScenario scenario_;
};

}  // namespace quorvantel::sim
