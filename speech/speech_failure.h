// The speech helper's own failure: one complete user-facing sentence.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvantel::speech {

class SpeechFailure : public std::runtime_error {
public:
    explicit SpeechFailure(const std::string& message) : std::runtime_error(message) {}
    const char* message() const { return what(); }
};

}  // namespace quorvantel::speech
