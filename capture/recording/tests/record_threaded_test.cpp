// The recording's lifecycle over the stand-in Core Audio device, which calls the
// IOProc from its own thread in real time.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

#include "capture/recording/capture.h"
#include "capture/recording/record.h"
#include "capture/recording/recording_failure.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/clock.h"
#include "platform/sim/coreaudio/aggregate_device_sim.h"

namespace quorvantel::capture {
namespace {

using sim::SimAggregateDeviceHardware;
using sim::SimAudioSettings;
using sim::SimSampleType;

class FakeTapDescription final : public CATapDescription {
public:
    bool isExclusive() const override { return true; }
    bool isMixdown() const override { return true; }
    bool isMono() const override { return false; }
    const std::vector<AudioObjectID>& processes() const override { return processes_; }
    void setProcesses(std::vector<AudioObjectID> p) override { processes_ = std::move(p); }
    const std::string& name() const override { return name_; }
    void setName(std::string n) override { name_ = std::move(n); }
    bool isPrivate() const override { return private_; }
    void setPrivate(bool p) override { private_ = p; }
    CATapMuteBehavior muteBehavior() const override { return CATapMuteBehavior::CATapUnmuted; }
    void setMuteBehavior(CATapMuteBehavior) override {}
    bool isProcessRestoreEnabled() const override { return false; }
    void setProcessRestoreEnabled(bool) override {}
    const std::vector<std::string>& bundleIDs() const override { return bundleIDs_; }
    void setBundleIDs(std::vector<std::string> b) override { bundleIDs_ = std::move(b); }
    std::string UUIDString() const override { return "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB"; }

private:
    std::vector<AudioObjectID> processes_;
    std::string name_ = "Tovrel all computer audio";
    bool private_ = true;
    std::vector<std::string> bundleIDs_{"org.quorvantel.capture"};
};

// Stands in for process isolation: the description, a count of the checks, and a
// failure raised by a chosen check.
class FakeSelection final : public RecordingSelection {
public:
    FakeTapDescription description;
    int checks = 0;
    int failAtCheck = 0;
    std::vector<OSStatus> applied;

    CATapDescription& prepare() override { return description; }
    void refreshOncePerSecond(const ApplyTapDescription& apply) override {
        ++checks;
        description.setProcesses({AudioObjectID(0x1000 + checks)});
        applied.push_back(apply(description));
        if (checks == failAtCheck) failRecording("Tovrel's recording host exited. Recording stopped.");
    }
};

struct Outcome {
    std::vector<json::Value> lines;
    std::optional<std::string> failure;
    double wallSeconds = 0;

    std::vector<std::string> types() const {
        std::vector<std::string> t;
        for (const json::Value& l : lines) t.push_back(l.find("type")->asString());
        return t;
    }
    std::size_t count(const std::string& type) const {
        std::size_t n = 0;
        for (const json::Value& l : lines) n += l.find("type")->asString() == type;
        return n;
    }
    // Audio and silence lines follow one another from frame 0; their frames in all.
    std::int64_t coveredFrames() const {
        std::int64_t next = 0;
        for (const json::Value& l : lines) {
            const std::string t = l.find("type")->asString();
            if (t != "audio" && t != "silence") continue;
            EXPECT_EQ(l.find("startFrame")->asInt(), next);
            next += t == "silence" ? l.find("frames")->asInt()
                                   : std::int64_t(base64::decodeCanonical(l.find("data")->asString())->size() / 4);
        }
        return next;
    }
    // Silence lines between the first and the last audio line: a recording of a
    // continuous source has none unless its clock jumped.
    std::vector<std::int64_t> innerSilences() const {
        std::vector<std::int64_t> found, pending;
        bool audioSeen = false;
        for (const json::Value& l : lines) {
            const std::string t = l.find("type")->asString();
            if (t == "audio") {
                if (audioSeen) found.insert(found.end(), pending.begin(), pending.end());
                pending.clear();
                audioSeen = true;
            } else if (t == "silence" && audioSeen) {
                pending.push_back(l.find("frames")->asInt());
            }
        }
        return found;
    }
    // Silence lines after the first audio line, the stop padding included.
    std::size_t silencesAfterAudio() const {
        std::size_t n = 0;
        bool audioSeen = false;
        for (const json::Value& l : lines) {
            const std::string t = l.find("type")->asString();
            audioSeen = audioSeen || t == "audio";
            n += audioSeen && t == "silence";
        }
        return n;
    }
    double maximumPeak(std::size_t skip = 0) const {
        double peak = 0;
        for (const json::Value& l : lines) {
            if (l.find("type")->asString() != "audio" || skip-- > 0) continue;
            peak = std::max(peak, l.find("peak")->asDouble());
        }
        return peak;
    }
};

// How a test ends its recording.
struct Stop {
    double afterSeconds = 0.25;
    bool bySignal = false;       // the stop flag instead of a "stop" line
    bool beforeStart = false;    // a "stop" line already waiting before the start
};

class RecordTest : public ::testing::Test {
protected:
    int pipeFds[2] = {-1, -1};
    void SetUp() override { ASSERT_EQ(::pipe(pipeFds), 0); }
    void TearDown() override {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    }

    Outcome run(AggregateDeviceHardware& hardware, MainRunLoop& runLoop, FakeSelection& selection,
                const Stop& stop = {}) {
        Outcome outcome;
        std::atomic<bool> flag{false};
        const std::uint64_t begin = monotonicNanoseconds();
        const auto elapsed = [&] { return double(monotonicNanoseconds() - begin) / 1e9; };
        int reads = 0;
        RecordingControl control{
            [&](const json::Value& line) { outcome.lines.push_back(line); },
            [&](std::string&) {
                ++reads;
                if (stop.beforeStart) return true;
                if (stop.bySignal) {
                    if (elapsed() >= stop.afterSeconds) flag = true;
                    return false;
                }
                return reads > 1 && elapsed() >= stop.afterSeconds;
            },
            [&] { return flag.load(); },
            pipeFds[0],
        };
        RecordingPlatform platform{hardware, systemAudioConverters(), runLoop};
        outcome.failure = failureOfRecording([&] { record(true, selection, platform, control); });
        outcome.wallSeconds = elapsed();
        return outcome;
    }

    Outcome run(const SimAudioSettings& settings, const Stop& stop = {}) {
        SimAggregateDeviceHardware hardware(settings);
        sim::SimMainRunLoop runLoop(hardware);
        FakeSelection selection;
        Outcome outcome = run(hardware, runLoop, selection, stop);
        // Every platform object is gone, whatever the outcome.
        EXPECT_EQ(hardware.objectCount(), 0u);
        EXPECT_EQ(hardware.listenerCount(), 0u);
        EXPECT_FALSE(hardware.running());
        return outcome;
    }

    static std::optional<std::string> failureOfRecording(const std::function<void()>& action) {
        try {
            action();
        } catch (const RecordingFailure& failure) {
            return std::string(failure.what());
        }
        return std::nullopt;
    }
};

SimAudioSettings settingsWith(std::function<void(SimAudioSettings&)> change) {
    SimAudioSettings s;
    change(s);
    return s;
}

// "org.quorvantel.capture." and an upper-case version 4 UUID.
bool isDeviceUID(const std::string& uid) {
    const std::string prefix = "org.quorvantel.capture.";
    if (uid.rfind(prefix, 0) != 0 || uid.size() != prefix.size() + 36) return false;
    const std::string uuid = uid.substr(prefix.size());
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = uuid[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return uuid[14] == '4' && std::string("89AB").find(uuid[19]) != std::string::npos;
}

void expectCompleteRecording(const Outcome& o) {
    ASSERT_EQ(o.failure, std::nullopt);
    ASSERT_GE(o.lines.size(), 2u);
    EXPECT_EQ(o.types().front(), "started");
    EXPECT_EQ(o.types().back(), "stopped");
    const std::int64_t total = o.lines.back().find("totalFrames")->asInt();
    EXPECT_EQ(o.coveredFrames(), total);
    // The recording lasts as long as it ran, give or take the device's start.
    EXPECT_LE(double(total) / 48'000, o.wallSeconds);
    EXPECT_GE(double(total) / 48'000, o.wallSeconds - 0.15);
    EXPECT_EQ(o.lines.back().find("discardedPreStartFrames")->asInt(), 0);
}

TEST_F(RecordTest, RecordsFromFrameZeroToTheStopLine) {
    const Outcome o = run(SimAudioSettings{});
    expectCompleteRecording(o);
    const json::Value& started = o.lines.front();
    EXPECT_EQ(started.find("sampleRate")->asInt(), 48'000);
    EXPECT_EQ(started.find("channels")->asInt(), 2);
    EXPECT_NEAR(double(started.find("captureStartedAtMs")->asInt()), wallClockMilliseconds(), 5'000);
    EXPECT_GT(o.count("audio"), 5u);
    EXPECT_EQ(o.maximumPeak(), 0.0);
}

TEST_F(RecordTest, TheStopFlagEndsTheRecordingLikeAStopLine) {
    expectCompleteRecording(run(SimAudioSettings{}, Stop{0.2, true, false}));
}

TEST_F(RecordTest, AStopBeforeTheStartCancelsWithoutAStartedLine) {
    const Outcome o = run(SimAudioSettings{}, Stop{0, false, true});
    EXPECT_EQ(o.failure, kCancelledMessage);
    EXPECT_TRUE(o.lines.empty());
}

TEST_F(RecordTest, ToneSurvivesEveryTapFormat) {
    struct Case {
        const char* name;
        SimSampleType type;
        double rate;
        bool interleaved;
    };
    const std::vector<Case> cases = {
        {"float32 48 kHz", SimSampleType::float32, 48'000, true},
        {"int16 44.1 kHz", SimSampleType::int16, 44'100, true},
        {"int24 96 kHz", SimSampleType::int24, 96'000, true},
        {"int32 16 kHz", SimSampleType::int32, 16'000, true},
        {"float64 48 kHz", SimSampleType::float64, 48'000, true},
        {"planar float32 44.1 kHz", SimSampleType::float32, 44'100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = run(settingsWith([&](SimAudioSettings& s) {
            s.source = "tone";
            s.sampleType = c.type;
            s.sampleRate = c.rate;
            s.interleaved = c.interleaved;
        }));
        expectCompleteRecording(o);
        // The tone's amplitude, once past the resampler's first frames.
        EXPECT_NEAR(o.maximumPeak(2), 0.25, 0.01);
        EXPECT_TRUE(o.innerSilences().empty());
    }
}

TEST_F(RecordTest, AClockGapBecomesOneSilenceLineOfItsLength) {
    for (const double rate : {48'000.0, 44'100.0}) {
        SCOPED_TRACE(rate);
        const Outcome o = run(settingsWith([&](SimAudioSettings& s) {
                                  s.source = "tone";
                                  s.sampleRate = rate;
                                  s.gapAtMs = 80;
                                  s.gapFrames = std::int64_t(rate / 10);  // 100 ms
                              }),
                              Stop{0.3});
        ASSERT_EQ(o.failure, std::nullopt);
        const std::vector<std::int64_t> silences = o.innerSilences();
        ASSERT_EQ(silences.size(), 1u);
        EXPECT_NEAR(double(silences[0]), 4'800.0, 2.0);
        EXPECT_EQ(o.coveredFrames(), o.lines.back().find("totalFrames")->asInt());
    }
}

TEST_F(RecordTest, EachFaultEndsWithItsMessageAfterTheAudioBeforeIt) {
    struct Case {
        const char* name;
        std::function<void(SimAudioSettings&)> fault;
        const char* message;
        bool started;
    };
    const std::vector<Case> cases = {
        {"permission denied", [](SimAudioSettings& s) { s.permissionDenied = true; },
         "Computer audio recording is not permitted (Core Audio 560492391). Operation: create the computer audio tap. "
         "Check Tovrel's system audio recording access in System Settings > Privacy & Security > Screen & System "
         "Audio Recording, then try again.",
         false},
        {"format change", [](SimAudioSettings& s) { s.formatChangeAfterMs = 60; },
         "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
         "recording.",
         true},
        {"missing host time", [](SimAudioSettings& s) { s.missingHostTimeAfterMs = 60; },
         "macOS did not provide a usable computer audio clock. Recording stopped to preserve timing; start a new "
         "recording.",
         true},
        {"stalled main thread",
         [](SimAudioSettings& s) {
             s.bufferFrames = 48;
             s.stallMs = 400;
         },
         "Audio capture could not keep up. Recording stopped instead of silently dropping audio.", true},
        {"mono tap", [](SimAudioSettings& s) { s.channels = 1; }, "macOS did not provide a stereo computer audio stream.",
         false},
        {"fractional rate", [](SimAudioSettings& s) { s.sampleRate = 44'100.5; },
         "macOS returned an unsupported computer audio format. Recording was not started.", false},
        {"three channels", [](SimAudioSettings& s) { s.channels = 3; },
         "The selected application's audio has an unsupported PCM format. Capture was not started.", false},
        {"buffers larger than a ring slot", [](SimAudioSettings& s) { s.bufferFrames = 16'384; },
         "The computer audio device or its format changed. Recording stopped to preserve audio; start a new "
         "recording.",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = run(settingsWith([&](SimAudioSettings& s) {
                                  s.source = "tone";
                                  c.fault(s);
                              }),
                              Stop{2.0});
        EXPECT_EQ(o.failure.value_or("(stopped)"), c.message);
        EXPECT_EQ(o.count("started"), c.started ? 1u : 0u);
        EXPECT_EQ(o.count("stopped"), 0u);
        // Nothing lost is ever covered by silence.
        EXPECT_EQ(o.silencesAfterAudio(), 0u);
        o.coveredFrames();
    }
}

TEST_F(RecordTest, DescribesAPrivateDeviceAroundTheOneTap) {
    SimAggregateDeviceHardware hardware{SimAudioSettings{}};
    sim::SimMainRunLoop runLoop(hardware);
    FakeSelection selection;
    expectCompleteRecording(run(hardware, runLoop, selection, Stop{0.05}));
    const std::optional<json::Value> d = hardware.lastDeviceDescription();
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->find("name")->asString(), "Tovrel private audio capture");
    EXPECT_TRUE(isDeviceUID(d->find("uid")->asString())) << d->find("uid")->asString();
    EXPECT_EQ(d->find("private")->asBool(), true);
    EXPECT_EQ(d->find("stacked")->asBool(), false);
    EXPECT_EQ(d->find("tapautostart")->asBool(), false);
    EXPECT_TRUE(d->find("subdevices")->asArray().empty());
    ASSERT_EQ(d->find("taps")->asArray().size(), 1u);
    const json::Value& tap = d->find("taps")->asArray()[0];
    EXPECT_EQ(tap.find("uid")->asString(), selection.description.UUIDString());
    EXPECT_EQ(tap.find("drift")->asBool(), true);
    EXPECT_NE(newAggregateDeviceUID(), newAggregateDeviceUID());
}

TEST_F(RecordTest, ChecksTheProcessesEverySecondAndFailsWithTheirMessage) {
    SimAggregateDeviceHardware hardware{SimAudioSettings{}};
    sim::SimMainRunLoop runLoop(hardware);
    FakeSelection selection;
    selection.failAtCheck = 2;
    const Outcome o = run(hardware, runLoop, selection, Stop{5.0});
    EXPECT_EQ(o.failure, "Tovrel's recording host exited. Recording stopped.");
    EXPECT_EQ(selection.checks, 2);
    EXPECT_NEAR(o.wallSeconds, 2.0, 0.5);
    // The changed process lists reached the running tap.
    EXPECT_EQ(selection.applied, (std::vector<OSStatus>{0, 0}));
    EXPECT_EQ(o.count("stopped"), 0u);
    EXPECT_GT(o.count("audio"), 100u);
    o.coveredFrames();
    EXPECT_EQ(hardware.objectCount(), 0u);
}

// Lets one platform call fail, or one callback never finish.
class FaultyHardware final : public AggregateDeviceHardware {
public:
    explicit FaultyHardware(SimAggregateDeviceHardware& inner) : inner_(inner) {}
    OSStatus stopStatus = 0, destroyDeviceStatus = 0, removeListenerStatus = 0;
    bool callbackNeverFinishes = false;
    void* client = nullptr;

    OSStatus AudioHardwareCreateProcessTap(const CATapDescription& d, AudioObjectID& id) override {
        return inner_.AudioHardwareCreateProcessTap(d, id);
    }
    OSStatus AudioHardwareDestroyProcessTap(AudioObjectID id) override { return inner_.AudioHardwareDestroyProcessTap(id); }
    OSStatus AudioHardwareCreateAggregateDevice(const json::Value& d, AudioObjectID& id) override {
        return inner_.AudioHardwareCreateAggregateDevice(d, id);
    }
    OSStatus AudioHardwareDestroyAggregateDevice(AudioObjectID id) override {
        const OSStatus status = inner_.AudioHardwareDestroyAggregateDevice(id);
        return destroyDeviceStatus != 0 ? destroyDeviceStatus : status;
    }
    OSStatus AudioObjectGetPropertyData(AudioObjectID o, const AudioObjectPropertyAddress& a, std::uint32_t& s,
                                        void* d) override {
        return inner_.AudioObjectGetPropertyData(o, a, s, d);
    }
    OSStatus AudioObjectSetPropertyData(AudioObjectID o, const AudioObjectPropertyAddress& a, std::uint32_t s,
                                        const void* d) override {
        return inner_.AudioObjectSetPropertyData(o, a, s, d);
    }
    OSStatus AudioObjectAddPropertyListener(AudioObjectID o, const AudioObjectPropertyAddress& a,
                                            AudioObjectPropertyListenerProc l, void* c) override {
        return inner_.AudioObjectAddPropertyListener(o, a, l, c);
    }
    OSStatus AudioObjectRemovePropertyListener(AudioObjectID o, const AudioObjectPropertyAddress& a,
                                               AudioObjectPropertyListenerProc l, void* c) override {
        const OSStatus status = inner_.AudioObjectRemovePropertyListener(o, a, l, c);
        return removeListenerStatus != 0 ? removeListenerStatus : status;
    }
    OSStatus AudioDeviceCreateIOProcID(AudioObjectID d, AudioDeviceIOProc p, void* c, AudioDeviceIOProcID& id) override {
        client = c;
        return inner_.AudioDeviceCreateIOProcID(d, p, c, id);
    }
    OSStatus AudioDeviceDestroyIOProcID(AudioObjectID d, AudioDeviceIOProcID id) override {
        return inner_.AudioDeviceDestroyIOProcID(d, id);
    }
    OSStatus AudioDeviceStart(AudioObjectID d, AudioDeviceIOProcID id) override { return inner_.AudioDeviceStart(d, id); }
    OSStatus AudioDeviceStop(AudioObjectID d, AudioDeviceIOProcID id) override {
        const OSStatus status = inner_.AudioDeviceStop(d, id);
        // A callback that entered before the stop and never left.
        if (callbackNeverFinishes) static_cast<AudioState*>(client)->inFlight.fetch_add(1);
        return stopStatus != 0 ? stopStatus : status;
    }

private:
    SimAggregateDeviceHardware& inner_;
};

TEST_F(RecordTest, AFailingTeardownReplacesStoppedWithTheFirstProblem) {
    struct Case {
        const char* name;
        std::function<void(FaultyHardware&)> fault;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"device stop", [](FaultyHardware& h) { h.stopStatus = 1'852'797'029; },
         "macOS could not stop computer audio recording (Core Audio 1852797029). Try recording again."},
        {"listener removal and device removal",
         [](FaultyHardware& h) {
             h.removeListenerStatus = -1;
             h.destroyDeviceStatus = -2;
         },
         "macOS could not stop monitoring the computer audio tap (Core Audio -1). Try recording again."},
        {"device removal", [](FaultyHardware& h) { h.destroyDeviceStatus = 560227702; },
         "macOS could not remove the private computer audio device (Core Audio 560227702). Try recording again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimAggregateDeviceHardware sim{SimAudioSettings{}};
        sim::SimMainRunLoop runLoop(sim);
        FaultyHardware hardware(sim);
        c.fault(hardware);
        FakeSelection selection;
        const Outcome o = run(hardware, runLoop, selection, Stop{0.05});
        EXPECT_EQ(o.failure, c.message);
        EXPECT_EQ(o.count("started"), 1u);
        EXPECT_EQ(o.count("stopped"), 0u);
        // Every step ran although an earlier one failed.
        EXPECT_EQ(sim.objectCount(), 0u);
        EXPECT_EQ(sim.listenerCount(), 0u);
    }
}

TEST_F(RecordTest, CallbacksStillRunningAfterTwoSecondsKeepTheStateAndFail) {
    SimAggregateDeviceHardware sim{SimAudioSettings{}};
    sim::SimMainRunLoop runLoop(sim);
    FaultyHardware hardware(sim);
    hardware.callbackNeverFinishes = true;
    FakeSelection selection;
    const Outcome o = run(hardware, runLoop, selection, Stop{0.05});
    EXPECT_EQ(o.failure, "macOS did not finish closing computer audio recording. Recording stopped.");
    EXPECT_GE(o.wallSeconds, 2.0);
    // The state the callback holds was not freed: it is still readable.
    EXPECT_EQ(static_cast<AudioState*>(hardware.client)->inFlight.load(), 1u);
}

}  // namespace
}  // namespace quorvantel::capture
