#include "platform/sim/speech/sim_speech_scenario.h"

namespace quorvantel::sim {

namespace {
// Channel counts beyond this are not an audio format any recogniser offers.
constexpr std::int64_t kMaximumFormatChannels = 8;
}  // namespace

SimSpeechScenario parseSpeechScenario(const Section& speech) {
    SimSpeechScenario scenario;
    if (auto available = speech.boolean("available")) scenario.available = *available;
    if (const json::Value* locales = speech.member("locales")) {
        if (!locales->isObject()) speech.wrongType("locales", "an object");
        scenario.locales.clear();
        for (const auto& [identifier, status] : locales->asObject()) {
            if (!status.isString()) throw ScenarioError(speech.pathOf("locales") + "." + identifier + " must be a string");
            scenario.locales.emplace_back(identifier, status.asString());
        }
    }
    if (speech.isNull("format")) {
        scenario.format.reset();
    } else if (speech.has("format")) {
        const Section format = speech.section("format");
        if (auto rate = format.number("sampleRate")) {
            if (!(*rate > 0)) throw ScenarioError(format.pathOf("sampleRate") + " must be positive");
            scenario.format->sampleRate = *rate;
        }
        if (auto channels = format.integer("channels")) {
            if (*channels < 1 || *channels > kMaximumFormatChannels) {
                throw ScenarioError(format.pathOf("channels") + " must be 1 to 8");
            }
            scenario.format->channels = static_cast<std::uint32_t>(*channels);
        }
    }
    const Section recognizer = speech.section("recognizer");
    scenario.recognizer.stallAfterInputs = recognizer.integer("stallAfterInputs");
    scenario.recognizer.failAfterInputs = recognizer.integer("failAfterInputs");
    if (auto message = recognizer.string("failureMessage")) scenario.recognizer.failureMessage = *message;
    scenario.recognizer.resultText = recognizer.string("resultText");
    return scenario;
}

}  // namespace quorvantel::sim
