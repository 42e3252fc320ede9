// The streaming decoder of libpocketsphinx with the US English model.
#pragma once

#include "platform/linux/pocketsphinx/model_files.h"
#include "platform/linux/pocketsphinx/speech_decoder.h"

struct cmd_ln_s;
struct ps_decoder_s;

namespace quorvantel::pocketsphinx {

class PocketsphinxDecoder final : public SpeechDecoder {
public:
    // Loads the model; raises SpeechPlatformError naming the package when it cannot.
    explicit PocketsphinxDecoder(const ModelFiles& model);
    ~PocketsphinxDecoder() override;
    PocketsphinxDecoder(const PocketsphinxDecoder&) = delete;
    PocketsphinxDecoder& operator=(const PocketsphinxDecoder&) = delete;

    void startUtterance() override;
    void process(const std::int16_t* samples, std::size_t count) override;
    bool inSpeech() override;
    void endUtterance() override;
    std::vector<DecodedToken> tokens() override;

private:
    cmd_ln_s* config_ = nullptr;
    ps_decoder_s* decoder_ = nullptr;
};

}  // namespace quorvantel::pocketsphinx
