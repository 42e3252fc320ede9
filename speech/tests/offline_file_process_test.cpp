// The file command over pipes: WAV files of each accepted shape and each failure.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

using quorvantel::testing::ChildOptions;
using quorvantel::testing::helperPath;
using quorvantel::testing::runChild;
using quorvantel::testing::writeTemporaryFile;

namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& out, std::uint16_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8);
}

// A 16-bit PCM WAV file: a 440 Hz tone at a quarter of full scale where loud(t).
std::string wav(int rate, int channels, int frames, const std::function<bool(double)>& loud) {
    std::string data;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const auto v = static_cast<std::int16_t>(loud(t) ? std::lround(8192 * std::sin(2 * M_PI * 440 * t)) : 0);
        for (int c = 0; c < channels; ++c) put16(data, static_cast<std::uint16_t>(v));
    }
    std::string file = "RIFF";
    put32(file, 36 + std::uint32_t(data.size()));
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, 1);
    put16(file, std::uint16_t(channels));
    put32(file, std::uint32_t(rate));
    put32(file, std::uint32_t(rate * channels * 2));
    put16(file, std::uint16_t(channels * 2));
    put16(file, 16);
    file += "data";
    put32(file, std::uint32_t(data.size()));
    return file + data;
}

std::vector<std::string> runFile(const std::string& path, int& exitStatus) {
    ChildOptions options;
    options.arguments = {"file", "--path", path};
    // Standard input is never read in this mode: garbage there changes nothing.
    auto run = runChild(helperPath("quorvantel-speech"), options, "this is not a packet\n\n");
    exitStatus = run.exit.exitStatus;
    return run.lines();
}

std::string errorLine(const std::string& message) {
    using namespace quorvantel::json;
    return write(Value(Object{{"type", "error"}, {"message", message}}), KeyOrder::sorted);
}

}  // namespace

TEST(SpeechFile, TranscribesTheFileAsSystemAudioOnItsOwnTimeline) {
    struct Case {
        int rate, channels, frames;
        std::string finalLine;
    };
    // 1 s at 16 kHz mono, speech at 0.2-0.7 s; 48 kHz stereo of 3.3 s whose last packet
    // is short, speech in that last packet.
    const std::vector<Case> cases = {
        {16000, 1, 16000,
         "{\"endMs\":700,\"id\":\"system-audio-0\",\"isFinal\":true,\"source\":\"system-audio\",\"startMs\":200,"
         "\"text\":\"speech speech\",\"timingSource\":\"speech-audio-range\",\"type\":\"segment\"}"},
        {48000, 2, 4800 * 33 + 1234,
         "{\"endMs\":3320,\"id\":\"system-audio-0\",\"isFinal\":true,\"source\":\"system-audio\",\"startMs\":3200,"
         "\"text\":\"speech\",\"timingSource\":\"speech-audio-range\",\"type\":\"segment\"}"},
    };
    for (const Case& c : cases) {
        const std::string path = writeTemporaryFile(
            wav(c.rate, c.channels, c.frames,
                [&](double t) { return c.rate == 16000 ? (t >= 0.2 && t < 0.7) : (t >= 3.2 && t < 3.32); }),
            ".wav");
        int status = -1;
        const auto lines = runFile(path, status);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines.front(), "{\"type\":\"ready\"}");
        EXPECT_EQ(lines[lines.size() - 2], c.finalLine);
        EXPECT_EQ(lines.back(), "{\"type\":\"stopped\"}");
        EXPECT_EQ(status, 0);
        std::remove(path.c_str());
    }
}

TEST(SpeechFile, EmptyUnsupportedAndMissingFiles) {
    int status = -1;
    const std::string empty = writeTemporaryFile(wav(16000, 1, 0, [](double) { return false; }), ".wav");
    EXPECT_EQ(runFile(empty, status), (std::vector<std::string>{"{\"type\":\"ready\"}", "{\"type\":\"stopped\"}"}));
    EXPECT_EQ(status, 0);

    const std::string cd = writeTemporaryFile(wav(44100, 2, 4410, [](double) { return false; }), ".wav");
    EXPECT_EQ(runFile(cd, status),
              (std::vector<std::string>{"{\"type\":\"ready\"}",
                                        errorLine("Offline validation expects a 16 or 48 kHz mono/stereo audio file.")}));
    EXPECT_EQ(status, 1);

    const auto missing = runFile("/nonexistent/quorvantel/audio.wav", status);
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0], "{\"type\":\"ready\"}");
    EXPECT_EQ(missing[1].rfind("{\"message\":", 0), 0u);
    EXPECT_EQ(status, 1);
    std::remove(empty.c_str());
    std::remove(cd.c_str());
}
