// The addon's own failure: one user-facing sentence and whether JavaScript receives
// it as a TypeError (argument and handle problems) or as a plain Error.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvantel::window_appearance {

enum class FailureKind {
    error,
    typeError,
};

class GlassFailure : public std::runtime_error {
public:
    GlassFailure(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    FailureKind kind() const { return kind_; }
    const char* message() const { return what(); }

private:
    FailureKind kind_;
};

}  // namespace quorvantel::window_appearance
