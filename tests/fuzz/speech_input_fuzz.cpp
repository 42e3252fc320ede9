// The speech helper's input lines. The byte stream is fed to the line decoder in
// chunks of sizes the input chooses and must give what a byte-at-a-time framer gives:
// the same lines, the same failure. Every line is parsed; an accepted packet lies
// within its bounds and its bytes encode back to the very "data" text of the line.
//
// Input: four bytes that seed the chunk sizes, then the stream.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "speech/input_protocol.h"
#include "speech/speech_failure.h"
#include "tests/fuzz/fuzz_check.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

constexpr std::size_t kChunkSeedBytes = 4;

struct Framing {
    std::vector<std::string> lines;
    std::optional<std::string> failure;
};

// The framing rules one byte at a time, as plainly as they can be written.
Framing frameByteAtATime(std::string_view stream) {
    Framing framing;
    std::string pending;
    for (const char byte : stream) {
        if (byte == '\n') {
            if (pending.empty()) {
                framing.failure = kEmptyLineMessage;
                return framing;
            }
            framing.lines.push_back(pending);
            pending.clear();
        } else {
            if (pending.size() == kMaximumInputLineBytes) {
                framing.failure = kLineTooLargeMessage;
                return framing;
            }
            pending += byte;
        }
    }
    if (!pending.empty()) framing.failure = kPartialLineMessage;
    return framing;
}

// Chunk sizes from a small generator: mostly short, sometimes empty or long.
class ChunkSizes {
public:
    explicit ChunkSizes(std::uint32_t seed) : state_(seed | 1u) {}
    std::size_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        switch (state_ % 8) {
            case 0: return 0;
            case 1: return 1 + (state_ >> 8) % 4096;
            default: return 1 + (state_ >> 8) % 24;
        }
    }

private:
    std::uint32_t state_;
};

Framing frameInChunks(std::string_view stream, std::uint32_t seed) {
    Framing framing;
    LineDecoder decoder;
    ChunkSizes sizes(seed);
    std::size_t at = 0;
    try {
        while (at < stream.size()) {
            const std::size_t n = std::min(sizes.next(), stream.size() - at);
            for (std::string& line : decoder.append(stream.substr(at, n))) framing.lines.push_back(std::move(line));
            at += n;
        }
        decoder.finish();
    } catch (const SpeechFailure& failure) {
        framing.failure = failure.what();
    }
    return framing;
}

void checkPacket(const std::string& line, const AudioPacket& packet) {
    fuzzCheck(packet.sampleRate == 16000 || packet.sampleRate == 48000, "a packet with another sample rate", line);
    fuzzCheck(packet.channels == 1 || packet.channels == 2, "a packet with another channel count", line);
    fuzzCheck(packet.startMs >= 0 && packet.startMs <= kMaximumRecordingMs, "a packet outside the recording", line);
    const std::size_t frameBytes = std::size_t(packet.channels) * 2;
    fuzzCheck(!packet.data.empty() && packet.data.size() % frameBytes == 0 &&
                  packet.data.size() <= kMaximumPacketBytesPerRateUnit * std::size_t(packet.sampleRate),
              "a packet with a byte count out of bounds", line);
    // The line's own "data" text, the last one when the key repeats, as for the packet.
    const json::Value object = json::parse(line);
    const json::Value* data = object.find("data");
    fuzzCheck(data && data->isString() && base64::encode(packet.data) == data->asString(),
              "a packet's bytes do not encode back to its data text", line);
}

void parseLine(const std::string& line) {
    try {
        const InputMessage message = parseMessage(line);
        if (const auto* packet = std::get_if<AudioPacket>(&message)) checkPacket(line, *packet);
    } catch (const InputParseError&) {
        // Not JSON: the parser's own words, whatever they are.
    } catch (const SpeechFailure& failure) {
        const std::string message = failure.what();
        fuzzCheck(message == kInvalidMessageMessage || message == kInvalidPacketMessage,
                  "a line fails with a message of no input rule", message + " for " + line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kChunkSeedBytes) return 0;
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < kChunkSeedBytes; ++i) seed = (seed << 8) | data[i];
    const std::string_view stream(reinterpret_cast<const char*>(data) + kChunkSeedBytes, size - kChunkSeedBytes);

    const Framing expected = frameByteAtATime(stream);
    const Framing framed = frameInChunks(stream, seed);
    fuzzCheck(framed.failure == expected.failure, "chunked framing fails differently",
              framed.failure.value_or("no failure") + " instead of " + expected.failure.value_or("no failure"));
    // A failing chunk keeps the lines it completed: only those before it are known.
    fuzzCheck(expected.failure ? framed.lines.size() <= expected.lines.size() : framed.lines == expected.lines,
              "chunked framing gives other lines", std::string(stream));
    for (std::size_t i = 0; i < framed.lines.size(); ++i) {
        fuzzCheck(framed.lines[i] == expected.lines[i], "chunked framing gives another line", framed.lines[i]);
    }
    for (const std::string& line : expected.lines) parseLine(line);
    return 0;
}
