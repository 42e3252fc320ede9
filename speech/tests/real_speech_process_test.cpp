// The helper on this machine's own recogniser, without a scenario: Debian's
// pocketsphinx-testdata recordings, with their reference transcripts, through "file"
// and through "run" as microphone and as system-audio packets.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "tests/support/child_process.h"
#include "tests/support/speech_recordings.h"

using quorvantel::testing::ChildOptions;
using quorvantel::testing::helperPath;
using quorvantel::testing::audioPacketLine;
using quorvantel::testing::readMonoWav16;
using quorvantel::testing::referenceWords;
using quorvantel::testing::runChild;
using quorvantel::testing::splitWords;

namespace {

namespace json = quorvantel::json;

const std::string kTestData = quorvantel::testing::kPocketsphinxTestData;

struct Recording {
    std::string path;
    // Where its reference transcript is, and the line's utterance id.
    std::string transcription;
    std::string utterance;
    // Words of the reference, in order, that the US English model hears in it.
    std::vector<std::string> heard;
};

const Recording kLibrivox{kTestData + "librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
                          kTestData + "librivox/transcription",
                          "sense_and_sensibility_01_austen_64kb-0880",
                          {"he", "was", "not", "an", "young", "man"}};
const Recording kCards{kTestData + "cards/005.wav", kTestData + "cards/cards.transcription", "005",
                       {"eight", "of", "spades", "seven", "of", "hearts"}};
const Recording kShortCards{kTestData + "cards/004.wav", kTestData + "cards/cards.transcription", "004",
                            {"five", "five"}};

// Time that words may reach beyond the loud part of a recording: the decoder's frames
// and its voice detection take a little of the quiet around speech.
constexpr double kTimeToleranceMs = 100;
// A 10 ms window is loud when its RMS reaches this share of the loudest window's.
constexpr double kLoudShare = 0.05;

std::vector<std::string> reference(const Recording& recording) {
    return referenceWords(recording.transcription, recording.utterance);
}

bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    auto at = whole.begin();
    for (const std::string& w : part) {
        at = std::find(at, whole.end(), w);
        if (at == whole.end()) return false;
        ++at;
    }
    return true;
}

// The loud part of a recording in milliseconds from its start.
std::pair<double, double> loudSpan(const std::vector<std::int16_t>& samples) {
    std::vector<double> rms;
    for (std::size_t i = 0; i + 160 <= samples.size(); i += 160) {
        double sum = 0;
        for (std::size_t k = i; k < i + 160; ++k) sum += double(samples[k]) * samples[k];
        rms.push_back(std::sqrt(sum / 160));
    }
    const double loudest = *std::max_element(rms.begin(), rms.end());
    std::size_t first = 0, last = 0;
    bool seen = false;
    for (std::size_t w = 0; w < rms.size(); ++w) {
        if (rms[w] < kLoudShare * loudest) continue;
        if (!seen) first = w;
        seen = true;
        last = w;
    }
    return {double(first) * 10, double(last + 1) * 10};
}

struct Segment {
    std::string source, id, text;
    std::int64_t startMs = 0, endMs = 0;
    bool isFinal = false;
};

// The run's segment lines, after checking that it ended well.
std::vector<Segment> segmentsOf(const quorvantel::testing::ChildRun& run) {
    EXPECT_TRUE(run.exit.exited);
    EXPECT_EQ(run.exit.exitStatus, 0) << run.output;
    const std::vector<std::string> lines = run.lines();
    EXPECT_GE(lines.size(), 2u);
    if (lines.size() < 2) return {};
    EXPECT_EQ(lines.front(), R"({"type":"ready"})");
    EXPECT_EQ(lines.back(), R"({"type":"stopped"})");
    std::vector<Segment> segments;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const json::Value line = json::parse(lines[i]);
        EXPECT_EQ(line.find("type")->asString(), "segment") << lines[i];
        EXPECT_EQ(line.find("timingSource")->asString(), "speech-audio-range") << lines[i];
        segments.push_back(Segment{line.find("source")->asString(), line.find("id")->asString(),
                                   line.find("text")->asString(), line.find("startMs")->asInt(),
                                   line.find("endMs")->asInt(), line.find("isFinal")->asBool()});
    }
    return segments;
}

std::vector<Segment> finals(const std::vector<Segment>& segments) {
    std::vector<Segment> result;
    std::copy_if(segments.begin(), segments.end(), std::back_inserter(result), [](const Segment& s) { return s.isFinal; });
    return result;
}

std::vector<std::string> transcriptWords(const std::vector<Segment>& finalSegments) {
    std::vector<std::string> all;
    for (const Segment& s : finalSegments) {
        for (std::string& w : splitWords(s.text)) all.push_back(std::move(w));
    }
    return all;
}

ChildOptions onThisMachine(std::vector<std::string> arguments) {
    ChildOptions options;
    options.arguments = std::move(arguments);
    options.standIn = false;
    return options;
}

// 100 ms microphone packets of a 16 kHz recording from startMs.
std::string microphonePackets(const std::vector<std::int16_t>& samples, double startMs) {
    std::string input;
    for (std::size_t first = 0; first < samples.size(); first += 1600) {
        const std::size_t end = std::min(samples.size(), first + 1600);
        input += audioPacketLine("microphone", 16000, 1, startMs + double(first) / 16, samples.data() + first,
                                 end - first);
    }
    return input;
}

// The recording as 48 kHz stereo, interpolated between its 16 kHz samples.
std::vector<std::int16_t> systemAudio(const std::vector<std::int16_t>& samples) {
    std::vector<std::int16_t> stereo;
    stereo.reserve(samples.size() * 6);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double here = samples[i];
        const double next = i + 1 < samples.size() ? samples[i + 1] : 0;
        for (int k = 0; k < 3; ++k) {
            const auto v = std::int16_t(std::lround(here + (next - here) * k / 3.0));
            stereo.push_back(v);
            stereo.push_back(v);
        }
    }
    return stereo;
}

// 100 ms system-audio packets of 48 kHz stereo audio from the 48 kHz frame `startFrame`.
std::string systemPackets(const std::vector<std::int16_t>& stereo, std::int64_t startFrame) {
    std::string input;
    const std::size_t frames = stereo.size() / 2;
    for (std::size_t first = 0; first < frames; first += 4800) {
        const std::size_t end = std::min(frames, first + 4800);
        input += audioPacketLine("system-audio", 48000, 2, double(startFrame + std::int64_t(first)) / 48,
                                 stereo.data() + 2 * first, 2 * (end - first));
    }
    return input;
}

const std::string kStop = "{\"type\":\"stop\"}\n";

// The segments of a recording through "file", transcribed once for all tests.
const std::vector<Segment>& fileSegments(const Recording& recording) {
    static std::map<std::string, std::vector<Segment>> done;
    auto found = done.find(recording.path);
    if (found == done.end()) {
        found = done.emplace(recording.path, segmentsOf(runChild(helperPath("quorvantel-speech"),
                                                                 onThisMachine({"file", "--path", recording.path}))))
                    .first;
    }
    return found->second;
}

}  // namespace

TEST(RealSpeech, ReferenceWordsTheModelHearsAreTheOnesListed) {
    for (const Recording* recording : {&kLibrivox, &kCards, &kShortCards}) {
        EXPECT_TRUE(isSubsequence(recording->heard, reference(*recording))) << recording->utterance;
    }
}

TEST(RealSpeech, AFileIsTranscribedInOrderWithinItsSpokenAudio) {
    for (const Recording* recording : {&kLibrivox, &kCards}) {
        SCOPED_TRACE(recording->utterance);
        const std::vector<Segment>& segments = fileSegments(*recording);
        ASSERT_FALSE(finals(segments).empty());
        EXPECT_TRUE(isSubsequence(recording->heard, transcriptWords(finals(segments))))
            << finals(segments).front().text;
        const auto [loudStart, loudEnd] = loudSpan(readMonoWav16(recording->path));
        std::int64_t previousStart = 0;
        for (const Segment& s : segments) {
            EXPECT_EQ(s.source, "system-audio");
            EXPECT_GE(double(s.startMs), loudStart - kTimeToleranceMs) << s.text;
            EXPECT_LE(double(s.endMs), loudEnd + kTimeToleranceMs) << s.text;
            EXPECT_LT(s.startMs, s.endMs) << s.text;
            // Partial results revise their words; final ones follow each other.
            if (s.isFinal) {
                EXPECT_GE(s.startMs, previousStart) << s.text;
                previousStart = s.endMs;
            }
            // No silence or noise marks, no pronunciation numbers, single spaces.
            EXPECT_EQ(s.text.find_first_of("<>[]()+"), std::string::npos) << s.text;
            EXPECT_EQ(s.text.find("  "), std::string::npos) << s.text;
        }
    }
}

// The same audio as microphone packets that start 5 s into the recording: the same
// words, 5,000 ms later.
TEST(RealSpeech, MicrophonePacketsKeepTheirRecordingTime) {
    const std::vector<Segment> file = finals(fileSegments(kLibrivox));
    const std::vector<std::int16_t> samples = readMonoWav16(kLibrivox.path);
    const std::vector<Segment> live =
        finals(segmentsOf(runChild(helperPath("quorvantel-speech"), onThisMachine({"run", "--locale", "en-US"}),
                                   microphonePackets(samples, 5000) + kStop)));
    ASSERT_EQ(live.size(), file.size());
    for (std::size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(live[i].source, "microphone");
        EXPECT_EQ(live[i].id, "microphone-" + std::to_string(i));
        EXPECT_EQ(live[i].text, file[i].text);
        EXPECT_EQ(live[i].startMs, file[i].startMs + 5000);
        EXPECT_EQ(live[i].endMs, file[i].endMs + 5000);
    }
}

// Two recordings as 48 kHz stereo system audio, a second of silence sent between
// them; then the same with a hole of two more seconds that the host never sent.
TEST(RealSpeech, WordsAfterASystemAudioHoleComeAsMuchLater) {
    const std::vector<std::int16_t> first = systemAudio(readMonoWav16(kShortCards.path));
    const std::vector<std::int16_t> second = systemAudio(readMonoWav16(kCards.path));
    const std::int64_t firstFrames = std::int64_t(first.size() / 2);
    const std::vector<std::int16_t> silence(48000 * 2, 0);
    auto transcribe = [&](std::int64_t holeFrames) {
        const std::string input = systemPackets(first, 0) + systemPackets(silence, firstFrames) +
                                  systemPackets(second, firstFrames + 48000 + holeFrames) + kStop;
        return finals(
            segmentsOf(runChild(helperPath("quorvantel-speech"), onThisMachine({"run", "--locale", "en-US"}), input)));
    };
    const std::vector<Segment> contiguous = transcribe(0);
    const std::vector<Segment> withHole = transcribe(2 * 48000);

    ASSERT_EQ(withHole.size(), contiguous.size());
    const double secondStartMs = double(firstFrames) / 48 + 1000;
    bool after = false;
    for (std::size_t i = 0; i < contiguous.size(); ++i) {
        SCOPED_TRACE(contiguous[i].text);
        EXPECT_EQ(withHole[i].source, "system-audio");
        EXPECT_EQ(withHole[i].text, contiguous[i].text);
        // Words before the hole stay where they were; those after it move by it.
        const std::int64_t shift = double(contiguous[i].startMs) >= secondStartMs ? 2000 : 0;
        after = after || shift != 0;
        EXPECT_EQ(withHole[i].startMs, contiguous[i].startMs + shift);
        EXPECT_EQ(withHole[i].endMs, contiguous[i].endMs + shift);
    }
    EXPECT_TRUE(after);
    const std::vector<std::string> heard = transcriptWords(contiguous);
    std::vector<std::string> both = kShortCards.heard;
    both.insert(both.end(), kCards.heard.begin(), kCards.heard.end());
    EXPECT_TRUE(isSubsequence(both, heard));
}

TEST(RealSpeech, ProbeAndPrepareAnswerForTheInstalledModel) {
    struct Case {
        std::vector<std::string> arguments;
        std::string output;
        int status;
    };
    const std::string ready =
        R"({"local":true,"locale":"en-US","providerId":"apple-speech","status":"ready","type":"availability"})"
        "\n";
    const std::vector<Case> cases = {
        {{"probe"}, ready, 0},
        {{"probe", "--locale", "en_us"}, ready, 0},
        {{"prepare", "--locale", "EN-US"}, ready, 0},
        {{"probe", "--locale", "de-DE"},
         R"({"local":true,"locale":"de-DE","message":"pocketsphinx is unavailable for this device or language.",)"
         R"("providerId":"apple-speech","status":"unsupported","type":"availability"})"
         "\n",
         0},
        {{"run", "--locale", "fr_FR"},
         R"({"message":"pocketsphinx requires a supported language: US English (en-US).","type":"error"})"
         "\n",
         1},
        {{"file", "--locale", "en-GB", "--path", kCards.path},
         R"({"message":"pocketsphinx requires a supported language: US English (en-US).","type":"error"})"
         "\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        const auto run = runChild(helperPath("quorvantel-speech"), onThisMachine(c.arguments));
        EXPECT_EQ(run.output, c.output);
        EXPECT_EQ(run.exit.exitStatus, c.status);
        EXPECT_EQ(run.error, "");
    }
}
