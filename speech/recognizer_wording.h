// How the helper's messages name the recogniser it runs on. The same situations read
// the same way on every platform; only the name of the service, and what the user
// can do about it, differ.
#pragma once

namespace quorvantel::speech {

struct RecognizerWording {
    // probe and prepare: no recogniser here, or no equivalent of the locale.
    const char* unavailable;
    // probe and prepare, by asset status.
    const char* assetsUnsupported;
    const char* assetsDownloading;
    const char* assetsToInstall;
    const char* unknownAssetState;
    // run and file set-up.
    const char* noTranscriber;
    const char* assetsNotInstalled;
    const char* noFormat;
    // A result whose text is longer than the bound.
    const char* invalidResult;
};

// Apple Speech, and the stand-in that plays it.
extern const RecognizerWording kAppleSpeechWording;
// pocketsphinx with Debian's US English model.
extern const RecognizerWording kPocketsphinxWording;

}  // namespace quorvantel::speech
