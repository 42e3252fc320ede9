// An exception AppKit raises (NSException), caught at the addon's call boundary.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace quorvantel::appkit {

class NSException : public std::exception {
public:
    // An object raised without a name (not an NSException proper) has none.
    NSException(std::optional<std::string> name, std::string reason)
        : name_(std::move(name)), reason_(std::move(reason)) {}

    const std::optional<std::string>& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const char* what() const noexcept override { return name_ ? name_->c_str() : "unknown exception"; }

private:
    std::optional<std::string> name_;
    std::string reason_;
};

}  // namespace quorvantel::appkit
