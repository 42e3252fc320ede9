#include "speech/input_protocol.h"

#include <cmath>
#include <simdjson.h>

#include "platform/foundation/base64.h"
#include "speech/speech_failure.h"

namespace quorvantel::speech {

std::vector<std::string> LineDecoder::append(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t newline = bytes.find('\n', i);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline;
        // The failure must come as soon as the first byte past the bound arrives.
        if (pending_.size() + (end - i) > kMaximumInputLineBytes) throw SpeechFailure(kLineTooLargeMessage);
        pending_.append(bytes.substr(i, end - i));
        if (newline == std::string_view::npos) break;
        if (pending_.empty()) throw SpeechFailure(kEmptyLineMessage);
        lines.push_back(std::move(pending_));
        pending_.clear();
        i = newline + 1;
    }
    return lines;
}

void LineDecoder::finish() const {
    if (!pending_.empty()) throw SpeechFailure(kPartialLineMessage);
}

namespace {

using Field = std::optional<simdjson::dom::element>;

// A JSON number with a finite value; booleans, strings, null and containers are not.
std::optional<double> strictNumber(const Field& value) {
    if (!value) return std::nullopt;
    double number;
    switch (value->type()) {
        case simdjson::dom::element_type::INT64:
            number = static_cast<double>(value->get_int64().value_unsafe());
            break;
        case simdjson::dom::element_type::UINT64:
            number = static_cast<double>(value->get_uint64().value_unsafe());
            break;
        case simdjson::dom::element_type::DOUBLE: number = value->get_double().value_unsafe(); break;
        default: return std::nullopt;
    }
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<std::string_view> text(const Field& value) {
    if (!value || !value->is_string()) return std::nullopt;
    return value->get_string().value_unsafe();
}

[[noreturn]] void invalidPacket() { throw SpeechFailure(kInvalidPacketMessage); }

}  // namespace

InputMessage parseMessage(std::string_view line) {
    if (line.size() > kMaximumInputLineBytes) throw SpeechFailure(kInvalidMessageMessage);

    // One parser per thread keeps its buffers between lines: the driver parses lines
    // of up to 384 KiB one after another.
    thread_local simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (auto error = parser.parse(line.data(), line.size(), true).get(root)) {
        throw InputParseError(simdjson::error_message(error));
    }
    if (!root.is_object() && !root.is_array()) {
        throw InputParseError("JSON text did not start with array or object.");
    }
    if (!root.is_object()) throw SpeechFailure(kInvalidMessageMessage);

    // One pass over the members; a repeated key takes its last value.
    Field type, source, sampleRate, channels, startMs, data;
    simdjson::dom::object members;
    if (root.get_object().get(members) != simdjson::SUCCESS) throw SpeechFailure(kInvalidMessageMessage);
    for (simdjson::dom::key_value_pair member : members) {
        if (member.key == "type") type = member.value;
        else if (member.key == "source") source = member.value;
        else if (member.key == "sampleRate") sampleRate = member.value;
        else if (member.key == "channels") channels = member.value;
        else if (member.key == "startMs") startMs = member.value;
        else if (member.key == "data") data = member.value;
    }

    const auto typeText = text(type);
    if (!typeText) throw SpeechFailure(kInvalidMessageMessage);
    if (*typeText == "stop") return StopMessage{};
    if (*typeText != "audio") invalidPacket();

    AudioPacket packet;
    const auto sourceText = text(source);
    if (!sourceText) invalidPacket();
    const auto parsedSource = sourceFromRawValue(*sourceText);
    if (!parsedSource) invalidPacket();
    packet.source = *parsedSource;

    const auto rate = strictNumber(sampleRate);
    if (!rate || (*rate != 16000 && *rate != 48000)) invalidPacket();
    packet.sampleRate = static_cast<int>(*rate);

    const auto channelCount = strictNumber(channels);
    if (!channelCount || (*channelCount != 1 && *channelCount != 2)) invalidPacket();
    packet.channels = static_cast<int>(*channelCount);

    const auto start = strictNumber(startMs);
    if (!start || *start < 0 || *start > kMaximumRecordingMs) invalidPacket();
    packet.startMs = *start;

    const auto dataText = text(data);
    if (!dataText || dataText->empty() || dataText->size() > kMaximumPacketDataTextBytes) invalidPacket();
    // Only the canonical encoding decodes: what re-encoding the bytes would give.
    auto bytes = base64::decodeCanonical(*dataText);
    if (!bytes) invalidPacket();
    const std::size_t frameBytes = static_cast<std::size_t>(packet.channels) * 2;
    if (bytes->empty() ||
        bytes->size() > kMaximumPacketBytesPerRateUnit * static_cast<std::size_t>(packet.sampleRate) ||
        bytes->size() % frameBytes != 0) {
        invalidPacket();
    }
    packet.data = std::move(*bytes);
    return packet;
}

}  // namespace quorvantel::speech
