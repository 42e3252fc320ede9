// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvantel::base64 {

std::string encode(const std::uint8_t* bytes, std::size_t count);
inline std::string encode(const std::vector<std::uint8_t>& bytes) {
    return encode(bytes.data(), bytes.size());
}

// Decodes only the canonical encoding: the text that encode() would produce for the
// decoded bytes. Characters outside the alphabet, white space, missing or misplaced
// padding and non-zero bits in the last character all give nothing.
std::optional<std::vector<std::uint8_t>> decodeCanonical(std::string_view text);

}  // namespace quorvantel::base64
