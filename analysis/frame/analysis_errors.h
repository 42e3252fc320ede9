// The errors the four analysis helpers tell apart when they turn a failure into a
// code. None of their texts ever reaches the user.
#pragma once

#include <stdexcept>

namespace quorvantel::analysis {

// The request broke one of the reading rules. It says nothing about which one: the
// host only learns that the request was invalid.
class InputError : public std::runtime_error {
public:
    InputError() : std::runtime_error("invalid request") {}
};

// The typed reading of the request met a member of the wrong type.
class RequestDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Standard input could not be read; carries the reader's own description.
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The model's generated content does not fit the helper's answer type (another
// case constant, a missing member, a member of another type).
class AnswerDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvantel::analysis
