// The seam between the recogniser's own logic and the pocketsphinx decoder: what the
// logic asks of a streaming decoder, so that a scripted decoder can stand in for it
// in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvantel::pocketsphinx {

// The decoder hears 16 kHz mono 16-bit audio and counts 10 ms frames.
inline constexpr int kDecoderSampleRate = 16'000;
inline constexpr int kSamplesPerFrame = 160;

// One token of a hypothesis as the decoder spells it ("word", "word(2)", "<sil>"),
// with its frames: counted from the decoder's start across utterances, both ends
// included.
struct DecodedToken {
    std::string token;
    std::int64_t firstFrame = 0;
    std::int64_t lastFrame = 0;
};

class SpeechDecoder {
public:
    virtual ~SpeechDecoder() = default;
    // Each raises SpeechPlatformError when the decoder fails.
    virtual void startUtterance() = 0;
    virtual void process(const std::int16_t* samples, std::size_t count) = 0;
    // Whether the decoder hears speech in the audio processed so far.
    virtual bool inSpeech() = 0;
    virtual void endUtterance() = 0;
    // The best hypothesis of the utterance in progress, or of the one just ended.
    virtual std::vector<DecodedToken> tokens() = 0;
};

}  // namespace quorvantel::pocketsphinx
