// What a harness does when its oracle sees a fault: say which and with what, then
// abort, so that libFuzzer keeps the input as a crash artifact.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void fuzzFailure(const char* what, const std::string& detail) {
    // Long inputs are shown by their start; the artifact holds them whole.
    constexpr std::size_t kShownDetailBytes = 2048;
    std::fprintf(stderr, "fuzz oracle: %s\n  %s\n", what, detail.substr(0, kShownDetailBytes).c_str());
    std::abort();
}

inline void fuzzCheck(bool holds, const char* what, const std::string& detail) {
    if (!holds) fuzzFailure(what, detail);
}
