// The speech framework's class members: the recogniser's availability and locales,
// the asset inventory, and the analyzer's format and construction.
#pragma once

#include <cctype>
#include <memory>
#include <optional>
#include <string>

#include "platform/avfaudio/av_audio_format.h"
#include "platform/speech/speech_analyzer.h"
#include "platform/speech/speech_transcriber.h"

namespace quorvantel {

// Locale identifiers name the same locale when they are equal after "-" becomes "_",
// ignoring letter case ("en-US", "en_us"): the form both are compared in.
inline std::string localeComparisonKey(const std::string& identifier) {
    std::string key;
    key.reserve(identifier.size());
    for (const char c : identifier) {
        key += c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

enum class AssetInventoryStatus { unsupported, supported, downloading, installed, other };

class AssetInstallationRequest {
public:
    virtual ~AssetInstallationRequest() = default;
    // Returns once the assets are installed; raises SpeechPlatformError.
    virtual void downloadAndInstall() = 0;
};

// SpeechTranscriber's class members and the asset inventory.
class SpeechFramework {
public:
    virtual ~SpeechFramework() = default;
    virtual bool isAvailable() const = 0;
    virtual std::optional<Locale> supportedLocale(const Locale& equivalentTo) const = 0;
    virtual std::shared_ptr<SpeechTranscriber> makeTranscriber(const Locale& locale, TranscriberPreset preset) = 0;

    virtual AssetInventoryStatus status(const TranscriberModules& modules) const = 0;
    // Raises SpeechPlatformError.
    virtual void reserve(const Locale& locale) = 0;
    // Nothing when nothing is missing; raises SpeechPlatformError.
    virtual std::unique_ptr<AssetInstallationRequest> assetInstallationRequest(const TranscriberModules& modules) = 0;

    // The format every input buffer must have, or nothing.
    virtual std::optional<AVAudioFormat> bestAvailableAudioFormat(const TranscriberModules& modules) const = 0;
    // A recogniser bound to the modules.
    virtual std::unique_ptr<SpeechAnalyzer> makeAnalyzer(const TranscriberModules& modules,
                                                         SpeechAnalyzerOptions options) = 0;
};

}  // namespace quorvantel
