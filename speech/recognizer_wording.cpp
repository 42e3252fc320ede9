#include "speech/recognizer_wording.h"

namespace quorvantel::speech {

const RecognizerWording kAppleSpeechWording{
    "Apple SpeechTranscriber is unavailable for this device or language.",
    "Apple's speech assets are unavailable for this configuration.",
    "Apple's speech language assets are still downloading.",
    "Download Apple's speech language assets to enable local transcription.",
    "Apple returned an unknown speech availability state.",
    "Apple SpeechTranscriber requires a supported language and an Apple silicon Mac with macOS 26 or later.",
    "Apple's speech language assets are not installed. Use the explicit model download action first.",
    "Apple did not provide an installed speech audio format.",
    "Apple returned an invalid transcription result.",
};

// Nothing is ever downloaded here: the model is a Debian package, so every sentence
// about missing assets names the package to install.
const RecognizerWording kPocketsphinxWording{
    "pocketsphinx is unavailable for this device or language.",
    "The pocketsphinx speech model is unavailable for this configuration.",
    "The pocketsphinx speech model is still being installed.",
    "Install the package pocketsphinx-en-us to enable local transcription.",
    "pocketsphinx returned an unknown speech availability state.",
    "pocketsphinx requires a supported language: US English (en-US).",
    "The pocketsphinx speech model is not installed. Install the package pocketsphinx-en-us first.",
    "pocketsphinx did not provide a speech audio format.",
    "pocketsphinx returned an invalid transcription result.",
};

}  // namespace quorvantel::speech
