// The stand-in recogniser. It hears energy, not words: in 20 ms windows of the
// inputs' own timeline a window is voiced when its RMS is at least 0.02; an utterance
// runs from its first voiced window to the end of its last one once 300 ms of
// unvoiced audio follow (or at finalisation), and is told as words of 250 ms.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/sim/speech/sim_speech_scenario.h"
#include "platform/sim/speech/sim_speech_transcriber.h"
#include "platform/speech/speech_analyzer.h"

namespace quorvantel::sim {

inline constexpr double kVoicedRms = 0.02;
inline constexpr int kWindowsPerSecond = 50;        // 20 ms windows
inline constexpr int kWordsPerSecond = 4;           // 250 ms words
inline constexpr int kUtteranceEndSilenceMs = 300;

class SimSpeechAnalyzer final : public SpeechAnalyzer {
public:
    SimSpeechAnalyzer(std::shared_ptr<SimSpeechTranscriber> transcriber, SimRecognizerFaults faults);

    void prepareToAnalyze(const AVAudioFormat& format) override;
    std::optional<CMTime> analyzeSequence(AnalyzerInputSequence& inputs) override;
    void finalizeAndFinish(CMTime through) override;
    void cancelAndFinishNow() override;

private:
    void feed(const AnalyzerInput& input);
    void addSample(std::int64_t position, double energy);
    void closeCurrentWindow();
    void closeWindow(std::int64_t start, std::int64_t end, bool voiced);
    void deliver(std::int64_t endSample, bool isFinal);
    std::int64_t samplesPerWindow() const { return rate_ / kWindowsPerSecond; }
    bool cancelled();

    std::shared_ptr<SimSpeechTranscriber> transcriber_;
    SimRecognizerFaults faults_;
    std::int32_t rate_ = 16000;
    std::uint32_t channels_ = 1;

    // Timeline positions are in samples at the format's rate.
    std::int64_t currentWindow_ = -1;  // index of the window being filled; -1 before any audio
    double windowSquares_ = 0;
    std::int64_t windowSamples_ = 0;
    bool inUtterance_ = false;
    std::int64_t utteranceStart_ = 0;
    std::int64_t lastVoicedEnd_ = 0;
    std::int64_t wordsDelivered_ = 0;
    std::int64_t inputsTaken_ = 0;

    std::mutex lock_;
    std::condition_variable cancelledSignal_;
    bool cancelled_ = false;
};

}  // namespace quorvantel::sim
