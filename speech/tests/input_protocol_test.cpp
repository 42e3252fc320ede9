#include "speech/input_protocol.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/foundation/base64.h"
#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::speech;

namespace {

std::string zeros(std::size_t bytes) { return base64::encode(std::vector<std::uint8_t>(bytes, 0)); }

std::string packetLine(const std::string& fields, const std::string& data) {
    return "{\"type\":\"audio\"," + fields + ",\"data\":\"" + data + "\"}";
}

std::string failureOf(const std::string& line) {
    try {
        parseMessage(line);
    } catch (const SpeechFailure& failure) {
        return failure.what();
    } catch (const InputParseError& failure) {
        return std::string("parser: ") + failure.what();
    }
    return "";
}

}  // namespace

TEST(LineDecoder, FramesLinesAcrossChunks) {
    const std::string line = packetLine(R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0)", zeros(4));
    LineDecoder decoder;
    EXPECT_TRUE(decoder.append(line.substr(0, 17)).empty());
    auto lines = decoder.append(line.substr(17) + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], line);
    decoder.finish();

    auto many = decoder.append("a\nbc\r\nd");
    EXPECT_EQ(many, (std::vector<std::string>{"a", "bc\r"}));
    EXPECT_THROW(decoder.finish(), SpeechFailure);
}

TEST(LineDecoder, BoundsAndEmptyLines) {
    {
        LineDecoder decoder;
        const std::string exact(kMaximumInputLineBytes, 'x');
        EXPECT_EQ(decoder.append(exact + "\n").size(), 1u);
    }
    {
        // The failure comes with the 393,217th byte, without waiting for the line feed.
        LineDecoder decoder;
        EXPECT_TRUE(decoder.append(std::string(kMaximumInputLineBytes, 'x')).empty());
        try {
            decoder.append("x");
            FAIL();
        } catch (const SpeechFailure& failure) {
            EXPECT_STREQ(failure.what(), "Transcription input line is too large.");
        }
    }
    {
        LineDecoder decoder;
        try {
            decoder.append("{}\n\n");
            FAIL();
        } catch (const SpeechFailure& failure) {
            EXPECT_STREQ(failure.what(), "Empty transcription input line.");
        }
    }
    {
        LineDecoder decoder;
        decoder.append("{");
        try {
            decoder.finish();
            FAIL();
        } catch (const SpeechFailure& failure) {
            EXPECT_STREQ(failure.what(), "Transcription input ended in a partial JSON line.");
        }
    }
}

TEST(ParseMessage, AcceptsBoundedPackets) {
    const InputMessage message = parseMessage(
        packetLine(R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":12.5)", zeros(9600)));
    const auto& packet = std::get<AudioPacket>(message);
    EXPECT_EQ(packet.source, Source::microphone);
    EXPECT_EQ(packet.sampleRate, 48000);
    EXPECT_EQ(packet.channels, 1);
    EXPECT_EQ(packet.startMs, 12.5);
    EXPECT_EQ(packet.frames(), 4800u);

    struct Accepted {
        std::string fields;
        std::size_t bytes;
        std::size_t frames;
    };
    const std::vector<Accepted> accepted = {
        {R"("source":"system-audio","sampleRate":16000,"channels":1,"startMs":0)", 64000, 32000},
        {R"("source":"system-audio","sampleRate":48000,"channels":2,"startMs":604800000)", 192000, 48000},
        {R"("source":"microphone","sampleRate":16000.0,"channels":2e0,"startMs":1e3)", 4, 1},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0,"extra":[1,{}])", 2, 1},
    };
    for (const Accepted& c : accepted) {
        const auto parsed = std::get<AudioPacket>(parseMessage(packetLine(c.fields, zeros(c.bytes))));
        EXPECT_EQ(parsed.frames(), c.frames) << c.fields;
    }
}

TEST(ParseMessage, RejectsEveryFieldOutOfBounds) {
    const std::string bounded = kInvalidPacketMessage;
    struct Rejected {
        std::string fields;
        std::string data;
    };
    const std::string ok = zeros(4);
    const std::vector<Rejected> rejected = {
        {R"("source":"Microphone","sampleRate":48000,"channels":1,"startMs":0)", ok},
        {R"("source":null,"sampleRate":48000,"channels":1,"startMs":0)", ok},
        {R"("sampleRate":48000,"channels":1,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":8000,"channels":1,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":44100,"channels":1,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":true,"channels":1,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":"16000","channels":1,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":"1","startMs":0)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":3,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":true,"startMs":0)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":null)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":1)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":-0.001)", ok},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":604800000.001)", ok},
        {R"("source":"microphone","sampleRate":16000,"channels":1,"startMs":0)", zeros(64002)},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0)", zeros(192002)},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", zeros(6)},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0)", zeros(3)},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", "AA"},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", "!!!!"},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", "AAA="},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", "AAAA\\nAAAA"},
        {R"("source":"microphone","sampleRate":48000,"channels":2,"startMs":0)", ""},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0)", "AAB="},
        {R"("source":"microphone","sampleRate":48000,"channels":1,"startMs":0)", std::string(262148, 'A')},
    };
    for (const Rejected& c : rejected) {
        EXPECT_EQ(failureOf(packetLine(c.fields, c.data)), bounded) << c.fields << " " << c.data.substr(0, 16);
    }
    EXPECT_EQ(failureOf(R"({"type":"audio","source":"microphone","sampleRate":48000,"channels":1,"startMs":0,"data":7})"),
              bounded);
    EXPECT_EQ(failureOf(R"({"type":"pause"})"), bounded);
}

TEST(ParseMessage, MessageShapes) {
    EXPECT_TRUE(std::holds_alternative<StopMessage>(parseMessage(R"({"type":"stop","data":42})")));
    EXPECT_TRUE(std::holds_alternative<StopMessage>(parseMessage(R"({"type":"audio","type":"stop"})")));
    const std::string invalid = kInvalidMessageMessage;
    for (const char* line : {R"({"kind":"stop"})", R"(["stop"])", R"({"type":1})", R"({"type":null})"}) {
        EXPECT_EQ(failureOf(line), invalid) << line;
    }
    EXPECT_EQ(failureOf(std::string(kMaximumInputLineBytes + 1, ' ')), invalid);
    for (const char* line : {R"({"type":"audio")", "\r", "stop", "42", "{\"type\":\"stop\"} x"}) {
        EXPECT_EQ(failureOf(line).rfind("parser: ", 0), 0u) << line;
    }
}
