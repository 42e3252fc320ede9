#include "speech/availability.h"

#include <algorithm>

namespace quorvantel::speech {

std::optional<SupportedTranscriber> supportedTranscriber(SpeechFramework& speech, const std::string& locale) {
    if (!speech.isAvailable()) return std::nullopt;
    auto supported = speech.supportedLocale(Locale{locale});
    if (!supported) return std::nullopt;
    return SupportedTranscriber{*supported,
                                speech.makeTranscriber(*supported, TranscriberPreset::timeIndexedProgressiveTranscription)};
}

void availability(ProtocolOutput& out, const std::string& status, const std::string& locale,
                  const std::optional<std::string>& message) {
    std::string hyphenated = locale;
    std::replace(hyphenated.begin(), hyphenated.end(), '_', '-');
    json::Object line{{"type", "availability"},
                      {"providerId", "apple-speech"},
                      {"status", status},
                      {"locale", hyphenated},
                      {"local", true}};
    if (message) line.emplace_back("message", *message);
    out.emit(line);
}

void checkAvailability(SpeechFramework& speech, const RecognizerWording& wording, ProtocolOutput& out,
                       const std::string& locale, bool prepare) {
    auto supported = supportedTranscriber(speech, locale);
    if (!supported) {
        availability(out, "unsupported", locale, std::string(wording.unavailable));
        return;
    }
    const TranscriberModules modules{supported->transcriber};
    if (prepare) {
        speech.reserve(supported->locale);
        if (auto request = speech.assetInstallationRequest(modules)) request->downloadAndInstall();
    }
    const std::string& identifier = supported->locale.identifier;
    switch (speech.status(modules)) {
        case AssetInventoryStatus::unsupported:
            availability(out, "unsupported", identifier, std::string(wording.assetsUnsupported));
            return;
        case AssetInventoryStatus::downloading:
            availability(out, "download-required", identifier, std::string(wording.assetsDownloading));
            return;
        case AssetInventoryStatus::supported:
            availability(out, "download-required", identifier, std::string(wording.assetsToInstall));
            return;
        case AssetInventoryStatus::installed: availability(out, "ready", identifier, std::nullopt); return;
        case AssetInventoryStatus::other:
            availability(out, "unsupported", identifier, std::string(wording.unknownAssetState));
            return;
    }
}

}  // namespace quorvantel::speech
