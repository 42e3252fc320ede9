#include "platform/linux/pocketsphinx/pocketsphinx_analyzer.h"

#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/linux/pocketsphinx/sample_conversion.h"
#include "platform/linux/pocketsphinx/tests/scripted_decoder.h"

using namespace quorvantel;
using namespace quorvantel::pocketsphinx;
using quorvantel::pocketsphinx::testing::ScriptedDecoder;
using quorvantel::pocketsphinx::testing::ScriptedStep;

namespace {

AVAudioFormat analyzerFormat() { return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, false); }

AnalyzerInput input(std::vector<float> samples, CMTime start) {
    auto buffer = AVAudioPCMBuffer::make(analyzerFormat(), static_cast<AVAudioFrameCount>(samples.size()));
    buffer->setFrameLength(static_cast<AVAudioFrameCount>(samples.size()));
    std::copy(samples.begin(), samples.end(), buffer->floatChannelData()[0]);
    return AnalyzerInput{buffer, start};
}

// Inputs handed out in order; with `wait`, the end of the list waits until closed.
class Inputs final : public AnalyzerInputSequence {
public:
    explicit Inputs(std::vector<AnalyzerInput> inputs, bool wait = false)
        : inputs_(inputs.begin(), inputs.end()), wait_(wait) {}
    std::optional<AnalyzerInput> next() override {
        std::unique_lock<std::mutex> guard(lock_);
        if (inputs_.empty()) {
            waiting_ = true;
            changed_.notify_all();
        }
        changed_.wait(guard, [&] { return !inputs_.empty() || !wait_; });
        if (inputs_.empty()) return std::nullopt;
        AnalyzerInput next = inputs_.front();
        inputs_.pop_front();
        return next;
    }
    void awaitWaiting() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return waiting_; });
    }
    void push(AnalyzerInput input) {
        std::lock_guard<std::mutex> guard(lock_);
        inputs_.push_back(std::move(input));
        changed_.notify_all();
    }
    void close() {
        std::lock_guard<std::mutex> guard(lock_);
        wait_ = false;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<AnalyzerInput> inputs_;
    bool wait_;
    bool waiting_ = false;
};

struct Fixture {
    std::shared_ptr<PocketsphinxTranscriber> transcriber = std::make_shared<PocketsphinxTranscriber>(Locale{"en_US"});
    ScriptedDecoder* decoder = nullptr;
    PocketsphinxAnalyzer analyzer;

    explicit Fixture(std::vector<ScriptedStep> steps)
        : analyzer(transcriber, [this, steps] {
              auto made = std::make_unique<ScriptedDecoder>(steps);
              decoder = made.get();
              return made;
          }) {}
};

}  // namespace

TEST(DecoderSamples, ScaleAndSaturateWithoutWrapping) {
    struct Case {
        float sample;
        std::int16_t expected;
    };
    const Case cases[] = {
        {0.0f, 0},         {0.5f, 16384},   {-0.5f, -16384}, {1.0f, 32767},
        {-1.0f, -32768},   {1.5f, 32767},   {-7.0f, -32768}, {0.99999f, 32767},
        {std::numeric_limits<float>::infinity(), 32767},
        {-std::numeric_limits<float>::infinity(), -32768},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {1.0f / 32768.0f, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(decoderSample(c.sample), c.expected) << c.sample;
}

TEST(PocketsphinxAnalyzer, FeedsTheDecoderInStepsAndFinalisesAtTheEnd) {
    Fixture f({{true, {{"one", 0, 9}}}, {true, {{"one", 0, 9}}}, {true, {{"one", 0, 9}}}});
    f.analyzer.prepareToAnalyze(analyzerFormat());
    std::vector<float> loud(2500, 2.0f);
    Inputs inputs({input(loud, CMTimeMake(3, 1000)), input(std::vector<float>(100, -0.25f), CMTimeMake(700, 1000))});
    const std::optional<CMTime> last = f.analyzer.analyzeSequence(inputs);
    ASSERT_TRUE(last);
    // The last sample fed ends 100 samples after 700 ms.
    EXPECT_EQ(CMTimeCompare(*last, CMTimeMake(70625, 100000)), 0);
    EXPECT_EQ(f.decoder->calls, (std::vector<std::string>{"start", "process 1600", "process 900", "process 100"}));
    EXPECT_EQ(f.decoder->received.front(), 32767);
    EXPECT_EQ(f.decoder->received.back(), -8192);

    f.analyzer.finalizeAndFinish(*last);
    EXPECT_EQ(f.decoder->calls.back(), "end");
    std::vector<bool> finals;
    while (auto result = f.transcriber->nextResult()) finals.push_back(result->isFinal);
    EXPECT_EQ(finals, (std::vector<bool>{false, true}));
}

TEST(PocketsphinxAnalyzer, NoAudioGivesNoTime) {
    Fixture f({});
    f.analyzer.prepareToAnalyze(analyzerFormat());
    Inputs inputs({});
    EXPECT_FALSE(f.analyzer.analyzeSequence(inputs));
}

TEST(PocketsphinxAnalyzer, AcceptsOnlySixteenKilohertzMonoFloat) {
    for (auto format : {AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, false),
                        AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000, 2, false),
                        AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 16000, 1, true)}) {
        Fixture f({});
        EXPECT_THROW(f.analyzer.prepareToAnalyze(*format), SpeechPlatformError);
        EXPECT_EQ(f.decoder, nullptr);
    }
}

TEST(PocketsphinxAnalyzer, CancellingFromAnotherThreadEndsResultsAndAnalysisAtOnce) {
    Fixture f({{true, {{"one", 0, 9}}}, {true, {{"one", 0, 9}, {"two", 10, 19}}}});
    f.analyzer.prepareToAnalyze(analyzerFormat());
    Inputs inputs({input(std::vector<float>(1600, 0.1f), CMTimeMake(0, 1))}, true);
    std::exception_ptr failure;
    std::thread analysis([&] {
        try {
            f.analyzer.analyzeSequence(inputs);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    inputs.awaitWaiting();
    f.analyzer.cancelAndFinishNow();
    // Results end without the partial result still unread.
    EXPECT_FALSE(f.transcriber->nextResult());
    inputs.push(input(std::vector<float>(1600, 0.1f), CMTimeMake(1, 10)));
    analysis.join();
    // The analysis meets the stop before feeding anything more.
    EXPECT_EQ(f.decoder->calls, (std::vector<std::string>{"start", "process 1600"}));
    EXPECT_NE(failure, nullptr);
}
