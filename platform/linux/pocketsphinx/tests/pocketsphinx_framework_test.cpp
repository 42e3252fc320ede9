#include "platform/linux/pocketsphinx/pocketsphinx_framework.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "speech/availability.h"
#include "speech/recognizer_wording.h"
#include "speech/run_driver.h"
#include "speech/speech_failure.h"

using namespace quorvantel;
using namespace quorvantel::pocketsphinx;

namespace {

// A model folder where Debian's package is not installed.
ModelFiles missingModel() { return ModelFiles::inModelDirectory("/nonexistent/pocketsphinx/model"); }

struct Output {
    int fds[2];
    std::unique_ptr<speech::ProtocolOutput> output;
    Output() {
        EXPECT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        output = std::make_unique<speech::ProtocolOutput>(fds[1], [](int) {});
    }
    ~Output() {
        close(fds[0]);
        close(fds[1]);
    }
    std::string written() {
        std::string all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) all.append(buffer, std::size_t(n));
        return all;
    }
};

class NoInput final : public speech::InputReader {
public:
    std::string read() override { return ""; }
};

}  // namespace

TEST(PocketsphinxFramework, SpeaksUSEnglishInAnySpellingAndNothingElse) {
    PocketsphinxFramework framework(ModelFiles::installed());
    for (const char* identifier : {"en-US", "en_US", "EN-us", "en_us"}) {
        const std::optional<Locale> locale = framework.supportedLocale(Locale{identifier});
        ASSERT_TRUE(locale) << identifier;
        EXPECT_EQ(locale->identifier, "en_US");
    }
    for (const char* identifier : {"en-GB", "en", "de-DE", "en-US-x", "fr_FR"}) {
        EXPECT_FALSE(framework.supportedLocale(Locale{identifier})) << identifier;
    }
}

TEST(PocketsphinxFramework, TheInstalledModelIsReadyAndNeedsNoInstallation) {
    PocketsphinxFramework framework(ModelFiles::installed());
    const TranscriberModules modules{
        framework.makeTranscriber(Locale{"en_US"}, TranscriberPreset::timeIndexedProgressiveTranscription)};
    EXPECT_EQ(framework.status(modules), AssetInventoryStatus::installed);
    EXPECT_EQ(framework.assetInstallationRequest(modules), nullptr);
    const std::optional<AVAudioFormat> format = framework.bestAvailableAudioFormat(modules);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->sampleRate(), 16000);
    EXPECT_EQ(format->channelCount(), 1u);
    EXPECT_EQ(format->commonFormat(), AVAudioCommonFormat::pcmFormatFloat32);

    Output out;
    speech::checkAvailability(framework, speech::kPocketsphinxWording, *out.output, "en_US", true);
    EXPECT_EQ(out.written(),
              R"({"local":true,"locale":"en-US","providerId":"apple-speech","status":"ready","type":"availability"})"
              "\n");
}

TEST(PocketsphinxFramework, AMissingModelIsNamedByItsPackageAndNeverDownloaded) {
    PocketsphinxFramework framework(missingModel());
    const TranscriberModules modules{
        framework.makeTranscriber(Locale{"en_US"}, TranscriberPreset::timeIndexedProgressiveTranscription)};
    EXPECT_EQ(framework.status(modules), AssetInventoryStatus::supported);

    {
        Output out;
        speech::checkAvailability(framework, speech::kPocketsphinxWording, *out.output, "en-US", false);
        EXPECT_EQ(out.written(), R"({"local":true,"locale":"en-US","message":"Install the package pocketsphinx-en-us )"
                                 R"(to enable local transcription.","providerId":"apple-speech",)"
                                 R"("status":"download-required","type":"availability"})"
                                 "\n");
    }
    {
        Output out;
        try {
            speech::checkAvailability(framework, speech::kPocketsphinxWording, *out.output, "en-US", true);
            ADD_FAILURE() << "prepare succeeded without a model";
        } catch (const SpeechPlatformError& failure) {
            EXPECT_STREQ(failure.what(), kMissingModelMessage);
        }
        EXPECT_EQ(out.written(), "");
    }
    {
        Output out;
        NoInput input;
        speech::RunEnvironment environment{framework, speech::kPocketsphinxWording, *out.output, input,
                                           [](int) {}};
        try {
            speech::run(environment, "en-US", std::nullopt);
            ADD_FAILURE() << "a run started without a model";
        } catch (const speech::SpeechFailure& failure) {
            EXPECT_STREQ(failure.what(), speech::kPocketsphinxWording.assetsNotInstalled);
        }
        EXPECT_EQ(out.written(), "");
    }
    // An analyzer made anyway does not start without its model.
    auto analyzer = framework.makeAnalyzer(modules, SpeechAnalyzerOptions{});
    try {
        analyzer->prepareToAnalyze(*framework.bestAvailableAudioFormat(modules));
        ADD_FAILURE() << "an analyzer was prepared without a model";
    } catch (const SpeechPlatformError& failure) {
        EXPECT_STREQ(failure.what(), kMissingModelMessage);
    }
}

TEST(PocketsphinxFramework, OtherLocalesAreUnsupported) {
    PocketsphinxFramework framework(ModelFiles::installed());
    Output out;
    speech::checkAvailability(framework, speech::kPocketsphinxWording, *out.output, "de_DE", true);
    EXPECT_EQ(out.written(), R"({"local":true,"locale":"de-DE","message":"pocketsphinx is unavailable for this )"
                             R"(device or language.","providerId":"apple-speech","status":"unsupported",)"
                             R"("type":"availability"})"
                             "\n");
}
