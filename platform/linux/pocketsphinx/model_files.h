// The files of the US English model that the decoder loads.
#pragma once

#include <string>

namespace quorvantel::pocketsphinx {

inline constexpr const char* kModelPackage = "pocketsphinx-en-us";

struct ModelFiles {
    std::string acousticModel;  // a folder
    std::string languageModel;
    std::string dictionary;

    // The model as Debian's package lays it out under pocketsphinx's model folder.
    static ModelFiles inModelDirectory(const std::string& directory);
    // The model where this build's pocketsphinx looks for it.
    static ModelFiles installed();
    // Whether every file is there to be loaded.
    bool present() const;
};

}  // namespace quorvantel::pocketsphinx
