// A throw-away folder for one test's servers and files, removed with everything in it.
#pragma once

#include <functional>
#include <string>

namespace quorvantel::testing {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    // Writes a file below the folder (creating its folders) and returns its path.
    std::string write(const std::string& relative, const std::string& contents) const;

private:
    std::string path_;
};

// Polls `ready` every few milliseconds until it holds or `timeoutMs` passed.
bool waitUntil(const std::function<bool()>& ready, int timeoutMs);

}  // namespace quorvantel::testing
