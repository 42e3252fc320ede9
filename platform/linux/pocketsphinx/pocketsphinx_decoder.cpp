#include "platform/linux/pocketsphinx/pocketsphinx_decoder.h"

#include <err.h>
#include <mutex>
#include <pocketsphinx.h>

#include "platform/speech/speech_transcriber.h"

namespace quorvantel::pocketsphinx {
namespace {

constexpr const char* kModelUnusableMessage =
    "pocketsphinx could not load its US English speech model. Reinstall the package pocketsphinx-en-us.";
constexpr const char* kDecoderFailedMessage = "pocketsphinx failed while recognising speech.";

void check(int status) {
    if (status < 0) throw SpeechPlatformError(kDecoderFailedMessage);
}

}  // namespace

PocketsphinxDecoder::PocketsphinxDecoder(const ModelFiles& model) {
    // The library logs to standard error by default; the helper's only voice is its
    // protocol, so its log is turned off once, before any decoder exists.
    static std::once_flag quiet;
    std::call_once(quiet, [] { err_set_logfp(nullptr); });
    config_ = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", model.acousticModel.c_str(), "-lm",
                          model.languageModel.c_str(), "-dict", model.dictionary.c_str(), nullptr);
    if (config_ != nullptr) decoder_ = ps_init(config_);
    if (decoder_ == nullptr) {
        if (config_ != nullptr) cmd_ln_free_r(config_);
        throw SpeechPlatformError(kModelUnusableMessage);
    }
}

PocketsphinxDecoder::~PocketsphinxDecoder() {
    ps_free(decoder_);
    cmd_ln_free_r(config_);
}

void PocketsphinxDecoder::startUtterance() { check(ps_start_utt(decoder_)); }

void PocketsphinxDecoder::process(const std::int16_t* samples, std::size_t count) {
    check(ps_process_raw(decoder_, samples, count, FALSE, FALSE));
}

bool PocketsphinxDecoder::inSpeech() { return ps_get_in_speech(decoder_) != 0; }

void PocketsphinxDecoder::endUtterance() { check(ps_end_utt(decoder_)); }

std::vector<DecodedToken> PocketsphinxDecoder::tokens() {
    std::vector<DecodedToken> tokens;
    for (ps_seg_t* segment = ps_seg_iter(decoder_); segment != nullptr; segment = ps_seg_next(segment)) {
        int first = 0;
        int last = 0;
        ps_seg_frames(segment, &first, &last);
        const char* word = ps_seg_word(segment);
        tokens.push_back(DecodedToken{word != nullptr ? word : "", first, last});
    }
    return tokens;
}

}  // namespace quorvantel::pocketsphinx
