// Speech recognition on this machine's own recogniser (no scenario), side by side:
//
//  - accuracy: the word error rate of the helper's streamed transcript ("file --path")
//    of every pocketsphinx-testdata recording against its reference transcript, next
//    to pocketsphinx's own whole-file decode of the same recording with the same model;
//  - speed: the recordings of each set, joined and played three times over, as
//    microphone packets through "run" as fast as the helper takes them (one source:
//    one recogniser thread), against real time; and the whole-file decode's CPU time
//    against real time;
//  - latency: the librivox recordings fed through "run" at real-time pace; for every
//    segment line that shows a word for the first time, the time from the end of its
//    last word in the audio (the line's endMs) to the line's arrival.
//
//   build/bin/speech_recognition_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/json.h"
#include "platform/linux/pocketsphinx/pocketsphinx_decoder.h"
#include "platform/linux/pocketsphinx/token_filter.h"
#include "tests/support/child_process.h"
#include "tests/support/speech_recordings.h"

namespace {

using namespace quorvantel;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 16000;
// Silence between joined recordings, so that each is an utterance of its own.
constexpr std::size_t kPauseSamples = kRate;
// The speed run plays each set this many times over, so that loading the model and
// the first touches of its pages weigh as little as in a meeting.
constexpr int kSpeedRepeats = 3;

struct Recording {
    std::string set, path, transcription, utterance;
};

std::vector<Recording> recordings() {
    const std::string data = testing::kPocketsphinxTestData;
    std::vector<Recording> all;
    for (const char* id : {"0870", "0880", "0890", "0920", "0930"}) {
        all.push_back({"librivox", data + "librivox/sense_and_sensibility_01_austen_64kb-" + id + ".wav",
                       data + "librivox/transcription", std::string("sense_and_sensibility_01_austen_64kb-") + id});
    }
    for (const char* id : {"001", "002", "003", "004", "005"}) {
        all.push_back({"cards", data + "cards/" + id + ".wav", data + "cards/cards.transcription", id});
    }
    return all;
}

// Word-level edit distance: substitutions, insertions and deletions.
std::size_t wordErrors(const std::vector<std::string>& reference, const std::vector<std::string>& hypothesis) {
    std::vector<std::size_t> row(hypothesis.size() + 1);
    for (std::size_t j = 0; j <= hypothesis.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= reference.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= hypothesis.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[hypothesis.size()];
}

// The words of the helper's final segments for one file.
std::vector<std::string> helperTranscript(const std::string& path) {
    testing::ChildOptions options;
    options.arguments = {"file", "--path", path};
    options.standIn = false;
    const testing::ChildRun run = testing::runChild(testing::helperPath("quorvantel-speech"), options);
    std::vector<std::string> words;
    for (const std::string& line : run.lines()) {
        const json::Value value = json::parse(line);
        const json::Value* type = value.find("type");
        if (type->asString() == "error") std::printf("helper failed on %s: %s\n", path.c_str(), line.c_str());
        if (type->asString() != "segment" || !value.find("isFinal")->asBool()) continue;
        for (std::string& word : testing::splitWords(value.find("text")->asString())) words.push_back(std::move(word));
    }
    return words;
}

// pocketsphinx's own decode of the whole file as one utterance, with its CPU seconds.
std::vector<std::string> wholeFileDecode(const std::vector<std::int16_t>& samples, double& cpuSeconds) {
    pocketsphinx::PocketsphinxDecoder decoder(pocketsphinx::ModelFiles::installed());
    const std::clock_t start = std::clock();
    decoder.startUtterance();
    decoder.process(samples.data(), samples.size());
    decoder.endUtterance();
    std::vector<std::string> words;
    for (const pocketsphinx::DecodedToken& token : decoder.tokens()) {
        if (auto word = pocketsphinx::spokenWord(token.token)) words.push_back(*word);
    }
    cpuSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    return words;
}

std::string microphoneStream(const std::vector<std::int16_t>& samples) {
    std::string input;
    for (std::size_t first = 0; first < samples.size(); first += kRate / 10) {
        const std::size_t count = std::min<std::size_t>(kRate / 10, samples.size() - first);
        input += testing::audioPacketLine("microphone", kRate, 1, double(first) * 1000 / kRate, samples.data() + first,
                                          count);
    }
    return input;
}

// Seconds from the "ready" line to the "stopped" line with the stream written at once.
double streamedSeconds(const std::vector<std::int16_t>& samples) {
    testing::ChildOptions options;
    options.arguments = {"run"};
    options.standIn = false;
    testing::Child child(testing::helperPath("quorvantel-speech"), options);
    if (child.readLine(std::chrono::seconds(30)) != "{\"type\":\"ready\"}") return -1;
    const std::string input = microphoneStream(samples) + "{\"type\":\"stop\"}\n";
    const Clock::time_point start = Clock::now();
    std::thread writer([&] { child.write(input); });
    double seconds = -1;
    while (auto line = child.readLine(std::chrono::seconds(120))) {
        if (*line == "{\"type\":\"stopped\"}") {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
    }
    writer.join();
    child.wait();
    return seconds;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(share * double(values.size())));
    return values[index];
}

void latency(const std::vector<std::int16_t>& samples) {
    testing::ChildOptions options;
    options.arguments = {"run"};
    options.standIn = false;
    testing::Child child(testing::helperPath("quorvantel-speech"), options);
    if (child.readLine(std::chrono::seconds(30)) != "{\"type\":\"ready\"}") return;
    std::vector<std::string> packets;
    for (std::size_t first = 0; first < samples.size(); first += kRate / 10) {
        const std::size_t count = std::min<std::size_t>(kRate / 10, samples.size() - first);
        packets.push_back(testing::audioPacketLine("microphone", kRate, 1, double(first) * 1000 / kRate,
                                                   samples.data() + first, count));
    }
    const Clock::time_point start = Clock::now();
    std::thread writer([&] {
        // Packet k holds the audio up to (k + 1) × 100 ms: it is sent when that audio
        // has been "heard".
        for (std::size_t k = 0; k < packets.size(); ++k) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(100 * (k + 1)));
            child.write(packets[k]);
        }
        child.write("{\"type\":\"stop\"}\n");
    });
    std::map<std::string, std::size_t> wordsShown;
    std::vector<double> delays;
    while (auto line = child.readLine(std::chrono::seconds(120))) {
        const double arrivedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const json::Value value = json::parse(*line);
        if (value.find("type")->asString() != "segment") break;
        const std::size_t words = testing::splitWords(value.find("text")->asString()).size();
        std::size_t& shown = wordsShown[value.find("id")->asString()];
        if (words > shown) delays.push_back(arrivedMs - double(value.find("endMs")->asInt()));
        shown = std::max(shown, words);
    }
    writer.join();
    child.wait();
    std::printf("latency at real-time pace (%.1f s of audio, %zu lines with a new word): median %.0f ms, "
                "95th percentile %.0f ms\n",
                double(samples.size()) / kRate, delays.size(), percentile(delays, 0.5), percentile(delays, 0.95));
}

}  // namespace

int main() {
    struct Totals {
        std::size_t referenceWords = 0, helperErrors = 0, decodeErrors = 0;
        double audioSeconds = 0, decodeCpuSeconds = 0;
        std::vector<std::int16_t> joined;
    };
    std::map<std::string, Totals> sets;
    for (const Recording& recording : recordings()) {
        const std::vector<std::int16_t> samples = testing::readMonoWav16(recording.path);
        const std::vector<std::string> reference =
            testing::referenceWords(recording.transcription, recording.utterance);
        Totals& totals = sets[recording.set];
        totals.referenceWords += reference.size();
        totals.helperErrors += wordErrors(reference, helperTranscript(recording.path));
        totals.decodeErrors += wordErrors(reference, wholeFileDecode(samples, totals.decodeCpuSeconds));
        totals.audioSeconds += double(samples.size()) / kRate;
        totals.joined.insert(totals.joined.end(), samples.begin(), samples.end());
        totals.joined.insert(totals.joined.end(), kPauseSamples, 0);
    }
    std::printf("%-9s %6s %7s %14s %16s %16s %16s\n", "set", "words", "audio", "helper WER", "whole-file WER",
                "helper speed", "whole-file speed");
    for (const auto& [name, totals] : sets) {
        std::vector<std::int16_t> repeated;
        for (int r = 0; r < kSpeedRepeats; ++r) {
            repeated.insert(repeated.end(), totals.joined.begin(), totals.joined.end());
        }
        const double streamed = streamedSeconds(repeated);
        std::printf("%-9s %6zu %6.1fs %13.1f%% %15.1f%% %14.1fx %15.1fx\n", name.c_str(), totals.referenceWords,
                    totals.audioSeconds, 100.0 * double(totals.helperErrors) / double(totals.referenceWords),
                    100.0 * double(totals.decodeErrors) / double(totals.referenceWords),
                    double(repeated.size()) / kRate / streamed, totals.audioSeconds / totals.decodeCpuSeconds);
    }
    latency(sets["librivox"].joined);
}
