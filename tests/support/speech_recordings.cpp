#include "tests/support/speech_recordings.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/foundation/base64.h"

namespace quorvantel::testing {
namespace {

std::uint32_t little32(const std::vector<char>& bytes, std::size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}

std::uint16_t little16(const std::vector<char>& bytes, std::size_t at) {
    return std::uint16_t(std::uint8_t(bytes[at]) | std::uint8_t(bytes[at + 1]) << 8);
}

}  // namespace

std::vector<std::int16_t> readMonoWav16(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::string(bytes.data(), 4) != "RIFF" || std::string(bytes.data() + 8, 4) != "WAVE") {
        throw std::runtime_error(path + " is not a WAV file");
    }
    bool mono16 = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.data() + at, 4);
        const std::size_t size = little32(bytes, at + 4);
        if (at + 8 + size > bytes.size()) break;
        if (id == "fmt " && size >= 16) {
            mono16 = little16(bytes, at + 8) == 1 && little16(bytes, at + 10) == 1 && little16(bytes, at + 22) == 16;
        } else if (id == "data") {
            if (!mono16) break;
            std::vector<std::int16_t> samples(size / 2);
            for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::int16_t(little16(bytes, at + 8 + 2 * i));
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    throw std::runtime_error(path + " is not 16-bit mono PCM");
}

std::vector<std::string> splitWords(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::vector<std::string> referenceWords(const std::string& transcriptionPath, const std::string& utterance) {
    std::ifstream in(transcriptionPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("(" + utterance + ")") == std::string::npos) continue;
        std::vector<std::string> words;
        for (const std::string& word : splitWords(line)) {
            if (word != "<s>" && word != "</s>" && word.front() != '(') words.push_back(word);
        }
        return words;
    }
    throw std::runtime_error("no reference transcript for " + utterance);
}

std::string audioPacketLine(const std::string& source, int rate, int channels, double startMs,
                            const std::int16_t* samples, std::size_t count) {
    std::vector<std::uint8_t> pcm(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        pcm[2 * i] = std::uint8_t(std::uint16_t(samples[i]) & 0xFF);
        pcm[2 * i + 1] = std::uint8_t(std::uint16_t(samples[i]) >> 8);
    }
    char start[64];
    std::snprintf(start, sizeof start, "%.17g", startMs);
    return "{\"type\":\"audio\",\"source\":\"" + source + "\",\"sampleRate\":" + std::to_string(rate) +
           ",\"channels\":" + std::to_string(channels) + ",\"startMs\":" + start + ",\"data\":\"" +
           base64::encode(pcm) + "\"}\n";
}

}  // namespace quorvantel::testing
