// A service of the machine that is missing, not running or refusing, raised by a
// platform implementation. Its message is one sentence that names the service and
// what the user can do; a helper's failure boundary reports it as it stands.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvantel {

class ServiceFailure : public std::runtime_error {
public:
    explicit ServiceFailure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvantel
