// The lines the host writes during a run: framing of the byte stream, and the
// validation of each audio packet against fixed bounds before anything else sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "speech/source.h"

namespace quorvantel::speech {

inline constexpr std::size_t kMaximumInputLineBytes = 393'216;
inline constexpr std::size_t kMaximumPacketDataTextBytes = 262'144;
// Decoded PCM bytes per packet are bounded by this many bytes per frame-second.
inline constexpr std::size_t kMaximumPacketBytesPerRateUnit = 4;
inline constexpr double kMaximumRecordingMs = 604'800'000.0;

inline constexpr const char* kEmptyLineMessage = "Empty transcription input line.";
inline constexpr const char* kLineTooLargeMessage = "Transcription input line is too large.";
inline constexpr const char* kPartialLineMessage = "Transcription input ended in a partial JSON line.";
inline constexpr const char* kInvalidMessageMessage = "Invalid transcription input message.";
inline constexpr const char* kInvalidPacketMessage =
    "Expected bounded 16 or 48 kHz mono/stereo PCM16LE with a valid recording timestamp.";

struct AudioPacket {
    Source source = Source::microphone;
    int sampleRate = 0;
    int channels = 0;
    double startMs = 0;
    // Interleaved signed 16-bit little-endian samples, channel 0 first.
    std::vector<std::uint8_t> data;

    std::size_t frames() const { return data.size() / (static_cast<std::size_t>(channels) * 2); }
};

struct StopMessage {};
using InputMessage = std::variant<AudioPacket, StopMessage>;

// Splits the input into lines (without their line feeds), holding at most one
// unfinished line.
class LineDecoder {
public:
    // The complete lines in the chunk, in order; the unfinished rest stays pending.
    std::vector<std::string> append(std::string_view bytes);
    // Fails when an unfinished line is pending at the end of input.
    void finish() const;

private:
    std::string pending_;
};

// Raised with the JSON parser's own description of a line that is not JSON.
class InputParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

InputMessage parseMessage(std::string_view line);

}  // namespace quorvantel::speech
