// The "speech" section of the scenario: the recogniser's availability, its locales
// with their asset status, the analyzer format and the recogniser's faults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/scenario.h"

namespace quorvantel::sim {

struct SimAnalyzerFormat {
    double sampleRate = 16000;
    std::uint32_t channels = 1;
};

struct SimRecognizerFaults {
    std::optional<std::int64_t> stallAfterInputs;
    std::optional<std::int64_t> failAfterInputs;
    std::string failureMessage = "The speech recognizer failed.";
    std::optional<std::string> resultText;
};

struct SimSpeechScenario {
    bool available = true;
    // Locale identifiers as the platform spells them, with their asset status text.
    std::vector<std::pair<std::string, std::string>> locales = {{"en_US", "installed"}};
    // Nothing when the platform offers no analyzer format.
    std::optional<SimAnalyzerFormat> format = SimAnalyzerFormat{};
    SimRecognizerFaults recognizer;
};

SimSpeechScenario parseSpeechScenario(const Section& speech);

}  // namespace quorvantel::sim
