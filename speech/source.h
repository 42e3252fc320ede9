// The two audio sources of one transcription.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quorvantel::speech {

enum class Source { microphone, systemAudio };

// Microphone first: sessions are created, flushed and stopped in this order.
inline constexpr std::array<Source, 2> kAllSources = {Source::microphone, Source::systemAudio};

constexpr std::string_view rawValue(Source source) {
    return source == Source::microphone ? "microphone" : "system-audio";
}

// Exact, case-sensitive match of the wire value.
constexpr std::optional<Source> sourceFromRawValue(std::string_view text) {
    if (text == "microphone") return Source::microphone;
    if (text == "system-audio") return Source::systemAudio;
    return std::nullopt;
}

constexpr std::size_t indexOf(Source source) { return source == Source::microphone ? 0 : 1; }

}  // namespace quorvantel::speech
