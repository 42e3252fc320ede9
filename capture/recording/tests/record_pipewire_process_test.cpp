// `quorvantel-capture record` on a real Linux desktop, without a scenario: computer
// audio through a private PipeWire (session bus, WirePlumber, pipewire-pulse and a
// null sink as the default output) that each test starts and stops. Applications are
// started with desktop entries and play through child processes; what the helper
// writes is compared with what they played, sample by sample.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>
#include <optional>
#include <string>
#include <vector>

#include "capture/tests/servers/desktop_application.h"
#include "capture/tests/servers/pipewire_server.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace quorvantel::capture {
namespace {

using testing::Child;
using testing::ChildOptions;
using testing::DesktopApplication;
using testing::PipeWireServer;
using testing::TemporaryFolder;

constexpr int kRate = 48'000;
// What may be left of a recording once every sound played is taken out of it: the
// graph passes samples through unchanged, so only rounding is left.
constexpr double kLeftOver = 1e-3;
// Tests run side by side, each with applications of its own.
const std::string kSpeakerId = "org.example.Quorvantel" + std::to_string(::getpid()) + ".Speaker";
const std::string kToneId = "org.example.Quorvantel" + std::to_string(::getpid()) + ".Tone";
constexpr const char* kClosedMessage =
    "The selected application closed or restarted. Recording stopped to preserve app-only capture. Start a new "
    "recording.";

// Mono samples (the mean of both channels), scaled to ±1.
using Signal = std::vector<double>;

void run(const std::string& program, const std::vector<std::string>& arguments) {
    ChildOptions options;
    options.standIn = false;
    options.arguments = arguments;
    const auto result = testing::runChild(program, options);
    if (!result.exit.exited || result.exit.exitStatus != 0) {
        throw std::runtime_error(program + " failed: " + result.error);
    }
}

Signal stereo16ToMono(const std::uint8_t* bytes, std::size_t size) {
    Signal mono(size / 4);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const auto left = std::int16_t(bytes[4 * i] | (bytes[4 * i + 1] << 8));
        const auto right = std::int16_t(bytes[4 * i + 2] | (bytes[4 * i + 3] << 8));
        mono[i] = (double(left) + double(right)) / 65'536.0;
    }
    return mono;
}

// The test's sounds, made by the tools a desktop has: a spoken sentence and a tone
// that glides (so that it lines up with its recording in one way only), each after
// a short lead-in, as 48 kHz stereo WAV files to play and raw samples to compare.
struct Sound {
    std::string wav;
    std::string raw;
    Signal samples;
};

Sound makeSound(const TemporaryFolder& folder, const std::string& name, const std::vector<std::string>& sourceArguments,
                const std::vector<std::string>& effects) {
    Sound sound{folder.path() + "/" + name + ".wav", folder.path() + "/" + name + ".raw", {}};
    for (const std::string& out : {sound.wav, sound.raw}) {
        std::vector<std::string> arguments = sourceArguments;
        for (const char* option : {"-r", "48000", "-c", "2", "-b", "16", "-e", "signed-integer"}) arguments.push_back(option);
        arguments.push_back(out);
        arguments.insert(arguments.end(), effects.begin(), effects.end());
        run("/usr/bin/sox", arguments);
    }
    std::ifstream file(sound.raw, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    sound.samples = stereo16ToMono(bytes.data(), bytes.size());
    return sound;
}

Sound speech(const TemporaryFolder& folder) {
    const std::string spoken = folder.path() + "/spoken.wav";
    run("/usr/bin/espeak-ng", {"-w", spoken, "The quarterly planning call starts now."});
    return makeSound(folder, "speech", {spoken}, {"gain", "-n", "-6", "pad", "0.2", "0"});
}

Sound tone(const TemporaryFolder& folder) {
    return makeSound(folder, "tone", {"-n"}, {"synth", "2.0", "sine", "300-900", "vol", "0.25", "pad", "0.2", "0"});
}

// What a desktop application's process runs: it waits for the test's go, then plays
// through a child process (on pipewire-pulse). The speaker's player is already
// connected when the recording starts, as a call's audio process is, and pauses
// between two sentences (for longer than the pipe to it holds); the tone is played
// by a player started on the go.
std::string waitFor(const std::string& go) { return "while [ ! -e '" + go + "' ]; do sleep 0.02; done\n"; }

std::string entry(const char* name) { return std::string("[Desktop Entry]\nType=Application\nName=") + name + "\n"; }

// One recording, with its host: the helper's parent is a shell of its own, as the
// host application is, so that the test's applications are not the host's.
class Recording {
public:
    // hostEntry: the host's own desktop entry, when it runs as an application.
    Recording(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
              const std::string& hostEntry = "") {
        ChildOptions options;
        options.standIn = false;
        options.environment = environment;
        std::string host = "\"$0\" \"$@\"; exit $?";
        if (!hostEntry.empty()) {
            options.environment["GIO_LAUNCHED_DESKTOP_FILE"] = hostEntry;
            host = "GIO_LAUNCHED_DESKTOP_FILE_PID=$$ exec /bin/sh -c '" + host + "' \"$0\" \"$@\"";
        }
        options.arguments = {"-c", host, testing::helperPath("quorvantel-capture")};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        host_.emplace("/bin/sh", options);
    }

    Child& host() { return *host_; }
    bool take(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto line = host_->readLine(timeout);
        if (!line) return false;
        lines.push_back(json::parse(*line));
        return true;
    }
    void finish() {
        while (take()) {}
        exit = host_->wait();
    }
    static std::string type(const json::Value& line) { return line.find("type")->asString(); }

    // The audio and silence lines tile the timeline from frame 0: each starts where
    // the one before ended. Returns the recorded audio.
    Signal tiledAudio() const {
        Signal audio;
        for (const auto& line : lines) {
            const std::string t = type(line);
            if (t != "audio" && t != "silence") continue;
            EXPECT_EQ(line.find("startFrame")->asInt(), std::int64_t(audio.size()));
            if (t == "silence") {
                EXPECT_GE(line.find("frames")->asInt(), 1);
                audio.resize(audio.size() + std::size_t(line.find("frames")->asInt()), 0.0);
            } else {
                const auto bytes = base64::decodeCanonical(line.find("data")->asString());
                if (!bytes) {
                    ADD_FAILURE() << "audio that is not base64";
                    continue;
                }
                const Signal part = stereo16ToMono(bytes->data(), bytes->size());
                audio.insert(audio.end(), part.begin(), part.end());
            }
        }
        return audio;
    }

    std::vector<json::Value> lines;
    testing::ChildExit exit;

private:
    std::optional<Child> host_;
};

double dot(const Signal& a, const Signal& b, std::int64_t lag) {
    double sum = 0;
    const std::int64_t begin = std::max<std::int64_t>(0, -lag);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t(b.size()), std::int64_t(a.size()) - lag);
    for (std::int64_t i = begin; i < end; ++i) sum += a[std::size_t(i + lag)] * b[std::size_t(i)];
    return sum;
}

// Where `reference` lies in `signal` and at what gain: the lag found on 1 ms
// envelopes, then to the sample on the signal itself.
struct Found {
    std::int64_t lag = 0;
    double gain = 0;
};

Found locate(const Signal& signal, const Signal& reference) {
    constexpr std::size_t kBlock = kRate / 1000;
    const auto envelope = [&](const Signal& s) {
        Signal e(s.size() / kBlock);
        for (std::size_t i = 0; i < e.size(); ++i) {
            for (std::size_t k = 0; k < kBlock; ++k) e[i] += std::abs(s[i * kBlock + k]);
        }
        double mean = 0;
        for (double v : e) mean += v;
        mean /= double(std::max<std::size_t>(e.size(), 1));
        for (double& v : e) v -= mean;
        return e;
    };
    const Signal se = envelope(signal), re = envelope(reference);
    std::int64_t coarse = 0;
    double best = -1e300;
    for (std::int64_t lag = -std::int64_t(re.size()) / 2; lag < std::int64_t(se.size()); ++lag) {
        const double score = dot(se, re, lag);
        if (score > best) best = score, coarse = lag;
    }
    Found found;
    best = -1e300;
    for (std::int64_t lag = coarse * std::int64_t(kBlock) - 2 * std::int64_t(kBlock);
         lag <= coarse * std::int64_t(kBlock) + 2 * std::int64_t(kBlock); ++lag) {
        const double score = dot(signal, reference, lag);
        if (score > best) best = score, found.lag = lag;
    }
    found.gain = dot(signal, reference, found.lag) / dot(reference, reference, 0);
    return found;
}

void subtract(Signal& signal, const Signal& reference, const Found& found) {
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const std::int64_t at = std::int64_t(i) + found.lag;
        if (at >= 0 && at < std::int64_t(signal.size())) signal[std::size_t(at)] -= found.gain * reference[i];
    }
}

double energy(const Signal& s) {
    double sum = 0;
    for (double v : s) sum += v * v;
    return sum;
}

struct Desktop {
    PipeWireServer server;
    TemporaryFolder folder;
    Sound speech = quorvantel::capture::speech(folder);
    Sound tone = quorvantel::capture::tone(folder);
    std::string go = folder.path() + "/go";
    std::map<std::string, std::string> environment() const { return server.environment(); }
    // Both applications play together; the speaker pauses between two sentences.
    std::optional<DesktopApplication> speaker, toner;
    void startApplications(const std::string& speakerTail, const std::string& toneId = kToneId) {
        // A buffer short enough for the pause to be a pause of the playback too.
        const std::string raw = "--raw --format=s16le --rate=48000 --channels=2 --latency-msec=200";
        speaker.emplace(folder, kSpeakerId, entry("Speaker"),
                        "{ " + waitFor(go) + "cat '" + speech.raw + "'\nsleep 1.2\ncat '" + speech.raw +
                            "'\n} | pacat " + raw + "\n" + speakerTail,
                        environment());
        toner.emplace(folder, toneId, entry("Tone"), waitFor(go) + "paplay '" + tone.wav + "'\nexec sleep 30",
                      environment());
        waitForPlayers();
    }
    // Until the speaker's player is a client of the server.
    void waitForPlayers() const {
        ChildOptions options;
        options.standIn = false;
        options.environment = environment();
        options.arguments = {"list", "short", "sink-inputs"};
        const bool connected = testing::waitUntil(
            [&] { return !testing::runChild("/usr/bin/pactl", options).output.empty(); }, 10'000);
        if (!connected) throw std::runtime_error("the speaker's player did not connect");
    }
    void letThemPlay() const { folder.write("go", ""); }
};

TEST(RecordPipeWire, OneApplicationsSpeechAndNotTheOtherOnesToneUntilItQuits) {
    Desktop desktop;
    desktop.startApplications("sleep 0.3");
    Recording recording({"record", "--bundle-id", kSpeakerId}, desktop.environment());
    ASSERT_TRUE(recording.take());
    ASSERT_EQ(Recording::type(recording.lines.front()), "started") << recording.host().standardError();
    desktop.letThemPlay();
    recording.finish();

    // The speaker quitting ends its recording, after everything it played.
    EXPECT_EQ(recording.exit.exitStatus, 1);
    ASSERT_EQ(Recording::type(recording.lines.back()), "error");
    EXPECT_EQ(recording.lines.back().find("message")->asString(), kClosedMessage);

    Signal audio = recording.tiledAudio();
    ASSERT_GT(audio.size(), 2 * desktop.speech.samples.size());
    const double recorded = energy(audio);
    // Both sentences, whole and at their level, one after the other with the pause.
    const Found first = locate(audio, desktop.speech.samples);
    subtract(audio, desktop.speech.samples, first);
    const Found second = locate(audio, desktop.speech.samples);
    subtract(audio, desktop.speech.samples, second);
    EXPECT_NEAR(first.gain, 1.0, 0.02);
    EXPECT_NEAR(second.gain, 1.0, 0.02);
    EXPECT_GE(std::abs(second.lag - first.lag), std::int64_t(desktop.speech.samples.size() + kRate * 3 / 10))
        << "no pause between the sentences";
    // Nothing of the tone, and nothing else: what is left is far below what was
    // recorded.
    EXPECT_NEAR(locate(audio, desktop.tone.samples).gain, 0.0, 0.02);
    EXPECT_LT(energy(audio) / recorded, kLeftOver);
}

TEST(RecordPipeWire, AllComputerAudioMixesBothApplicationsOnOneTimeline) {
    Desktop desktop;
    desktop.startApplications("exec sleep 30");
    Recording recording({"record", "--all-system"}, desktop.environment());
    ASSERT_TRUE(recording.take());
    ASSERT_EQ(Recording::type(recording.lines.front()), "started") << recording.host().standardError();
    desktop.letThemPlay();
    // Long enough for both sentences, the pause and the tone.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(1000 * (2 * desktop.speech.samples.size() / kRate) + 1500);
    while (std::chrono::steady_clock::now() < until && recording.take(std::chrono::milliseconds(100))) {}
    recording.host().write("stop\n");
    recording.finish();

    EXPECT_EQ(recording.exit.exitStatus, 0) << recording.host().standardError();
    ASSERT_EQ(Recording::type(recording.lines.back()), "stopped");
    Signal audio = recording.tiledAudio();
    EXPECT_EQ(std::int64_t(audio.size()), recording.lines.back().find("totalFrames")->asInt());
    const double recorded = energy(audio);
    for (const Sound* sound : {&desktop.tone, &desktop.speech, &desktop.speech}) {
        const Found found = locate(audio, sound->samples);
        EXPECT_NEAR(found.gain, 1.0, 0.02);
        subtract(audio, sound->samples, found);
    }
    EXPECT_LT(energy(audio) / recorded, kLeftOver);
}

TEST(RecordPipeWire, AllComputerAudioLeavesOutEveryProcessOfTheHostsApplication) {
    // The host runs as an application, and another process of that application (a
    // second window's process, say) plays the tone.
    Desktop desktop;
    const std::string hostId = kToneId + "Host";
    desktop.startApplications("exec sleep 30", hostId);
    Recording recording({"record", "--all-system"}, desktop.environment(),
                        desktop.folder.write("applications/" + hostId + ".desktop", entry("Host")));
    ASSERT_TRUE(recording.take());
    ASSERT_EQ(Recording::type(recording.lines.front()), "started") << recording.host().standardError();
    desktop.letThemPlay();
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(1000 * (2 * desktop.speech.samples.size() / kRate) + 1500);
    while (std::chrono::steady_clock::now() < until && recording.take(std::chrono::milliseconds(100))) {}
    recording.host().write("stop\n");
    recording.finish();

    EXPECT_EQ(recording.exit.exitStatus, 0) << recording.host().standardError();
    Signal audio = recording.tiledAudio();
    const double recorded = energy(audio);
    for (int sentence = 0; sentence < 2; ++sentence) {
        const Found found = locate(audio, desktop.speech.samples);
        EXPECT_NEAR(found.gain, 1.0, 0.02);
        subtract(audio, desktop.speech.samples, found);
    }
    EXPECT_NEAR(locate(audio, desktop.tone.samples).gain, 0.0, 0.02);
    EXPECT_LT(energy(audio) / recorded, kLeftOver);
}

TEST(RecordPipeWire, ASoundServerThatGoesAwayEndsTheRecordingAfterWhatWasCaptured) {
    PipeWireServer server;
    Recording recording({"record", "--all-system"}, server.environment());
    ASSERT_TRUE(recording.take());
    ASSERT_EQ(Recording::type(recording.lines.front()), "started") << recording.host().standardError();
    // Some audio first, so that the failure comes after lines already written.
    while (recording.lines.size() < 10 && recording.take()) {}
    server.stopPipeWire();
    recording.finish();
    EXPECT_EQ(recording.exit.exitStatus, 1);
    ASSERT_EQ(Recording::type(recording.lines.back()), "error");
    EXPECT_EQ(recording.lines.back().find("message")->asString(),
              "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
              "recording.");
    recording.lines.pop_back();
    EXPECT_GT(recording.tiledAudio().size(), 0u);
}

TEST(RecordPipeWire, WithoutASoundServerOneLineSaysWhatToDo) {
    TemporaryFolder emptyRuntime;
    Recording recording({"record", "--all-system"}, {{"XDG_RUNTIME_DIR", emptyRuntime.path()}});
    recording.finish();
    EXPECT_EQ(recording.exit.exitStatus, 1);
    ASSERT_EQ(recording.lines.size(), 1u);
    EXPECT_EQ(Recording::type(recording.lines[0]), "error");
    EXPECT_EQ(recording.lines[0].find("message")->asString().rfind("PipeWire is not running", 0), 0u);
}

}  // namespace
}  // namespace quorvantel::capture
