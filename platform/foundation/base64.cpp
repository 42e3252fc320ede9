#include "platform/foundation/base64.h"

#include <array>

namespace quorvantel::base64 {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t invalid = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = invalid;
    for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
    return table;
}
constexpr auto decodeTable = makeDecodeTable();

}  // namespace

std::string encode(const std::uint8_t* bytes, std::size_t count) {
    std::string out;
    out.resize((count + 2) / 3 * 4);
    std::size_t o = 0;
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const std::uint32_t v = (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8) |
                                bytes[i + 2];
        out[o++] = alphabet[(v >> 18) & 63];
        out[o++] = alphabet[(v >> 12) & 63];
        out[o++] = alphabet[(v >> 6) & 63];
        out[o++] = alphabet[v & 63];
    }
    if (count - i == 1) {
        const std::uint32_t v = std::uint32_t(bytes[i]) << 16;
        out[o++] = alphabet[(v >> 18) & 63];
        out[o++] = alphabet[(v >> 12) & 63];
        out[o++] = '=';
        out[o++] = '=';
    } else if (count - i == 2) {
        const std::uint32_t v = (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8);
        out[o++] = alphabet[(v >> 18) & 63];
        out[o++] = alphabet[(v >> 12) & 63];
        out[o++] = alphabet[(v >> 6) & 63];
        out[o++] = '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> decodeCanonical(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = (text[text.size() - 2] == '=') ? 2 : 1;
    std::vector<std::uint8_t> out;
    out.resize(text.size() / 4 * 3 - padding);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t fullQuads = text.size() / 4 - (padding ? 1 : 0);
    std::size_t o = 0;
    for (std::size_t q = 0; q < fullQuads; ++q) {
        const std::uint8_t a = decodeTable[in[4 * q]], b = decodeTable[in[4 * q + 1]],
                           c = decodeTable[in[4 * q + 2]], d = decodeTable[in[4 * q + 3]];
        if ((a | b | c | d) == invalid || ((a | b | c | d) & 0xC0)) return std::nullopt;
        const std::uint32_t v = (std::uint32_t(a) << 18) | (std::uint32_t(b) << 12) |
                                (std::uint32_t(c) << 6) | d;
        out[o++] = std::uint8_t(v >> 16);
        out[o++] = std::uint8_t(v >> 8);
        out[o++] = std::uint8_t(v);
    }
    if (padding) {
        const unsigned char* last = in + 4 * fullQuads;
        const std::uint8_t a = decodeTable[last[0]], b = decodeTable[last[1]];
        if (a == invalid || b == invalid) return std::nullopt;
        if (padding == 2) {
            // The unused low four bits must be zero for the text to be canonical.
            if (b & 0x0F) return std::nullopt;
            out[o++] = std::uint8_t((a << 2) | (b >> 4));
        } else {
            const std::uint8_t c = decodeTable[last[2]];
            if (c == invalid || (c & 0x03)) return std::nullopt;
            out[o++] = std::uint8_t((a << 2) | (b >> 4));
            out[o++] = std::uint8_t((b << 4) | (c >> 2));
        }
    }
    return out;
}

}  // namespace quorvantel::base64
