// A decoder that plays a script instead of listening: each step of audio it is given
// moves it to the next scripted state.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/pocketsphinx/speech_decoder.h"

namespace quorvantel::pocketsphinx::testing {

struct ScriptedStep {
    ScriptedStep() = default;
    ScriptedStep(bool speech, std::vector<DecodedToken> words,
                 std::optional<std::vector<DecodedToken>> finalWords = std::nullopt)
        : inSpeech(speech), hypothesis(std::move(words)), final(std::move(finalWords)) {}

    bool inSpeech = false;
    // The hypothesis after this step.
    std::vector<DecodedToken> hypothesis;
    // The hypothesis once the utterance is ended after this step; the step's own when
    // absent.
    std::optional<std::vector<DecodedToken>> final;
};

class ScriptedDecoder final : public SpeechDecoder {
public:
    explicit ScriptedDecoder(std::vector<ScriptedStep> steps) : steps_(std::move(steps)) {}

    void startUtterance() override { calls.push_back("start"); }
    void process(const std::int16_t* samples, std::size_t count) override {
        calls.push_back("process " + std::to_string(count));
        received.insert(received.end(), samples, samples + count);
        if (next_ < steps_.size()) current_ = steps_[next_++];
    }
    bool inSpeech() override { return current_.inSpeech; }
    void endUtterance() override {
        calls.push_back("end");
        ended_ = true;
    }
    std::vector<DecodedToken> tokens() override {
        if (ended_) {
            ended_ = false;
            const auto final = current_.final ? *current_.final : current_.hypothesis;
            current_ = ScriptedStep{};
            return final;
        }
        return current_.hypothesis;
    }

    std::vector<std::string> calls;
    std::vector<std::int16_t> received;

private:
    std::vector<ScriptedStep> steps_;
    std::size_t next_ = 0;
    ScriptedStep current_;
    bool ended_ = false;
};

}  // namespace quorvantel::pocketsphinx::testing
