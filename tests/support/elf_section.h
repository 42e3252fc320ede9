// Reads one named section out of an ELF executable, for the tests of the embedded
// property lists.
#pragma once

#include <optional>
#include <string>

namespace quorvantel::testing {

std::optional<std::string> readElfSection(const std::string& path, const std::string& sectionName);

}  // namespace quorvantel::testing
