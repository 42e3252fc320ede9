#include "platform/linux/pocketsphinx/model_files.h"

#include <sys/stat.h>

namespace quorvantel::pocketsphinx {
namespace {

bool isFile(const std::string& path) {
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

ModelFiles ModelFiles::inModelDirectory(const std::string& directory) {
    const std::string root = directory + "/en-us/";
    return ModelFiles{root + "en-us", root + "en-us.lm.bin", root + "cmudict-en-us.dict"};
}

ModelFiles ModelFiles::installed() { return inModelDirectory(QUORVANTEL_POCKETSPHINX_MODEL_DIRECTORY); }

bool ModelFiles::present() const {
    // The acoustic model is usable when its model definition is there.
    return isFile(acousticModel + "/mdef") && isFile(languageModel) && isFile(dictionary);
}

}  // namespace quorvantel::pocketsphinx
