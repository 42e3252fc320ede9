// probe and prepare over pipes against the stand-in's locales and asset states.
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

std::string availabilityLine(const std::string& status, const std::string& locale, const std::string& message) {
    using namespace quorvantel::json;
    Object line{{"type", "availability"}, {"providerId", "apple-speech"}, {"status", status},
                {"locale", locale},       {"local", true}};
    if (!message.empty()) line.emplace_back("message", message);
    return write(Value(line), KeyOrder::sorted) + "\n";
}

}  // namespace

TEST(SpeechAvailability, ProbeAndPrepareReportTheLocalesState) {
    const std::string scenario = writeTemporaryFile(
        R"({"speech":{"locales":{"en_US":"installed","de_DE":"supported","fr_FR":"downloading",
            "ja_JP":"unsupported","it_IT":"paused"}}})",
        ".json");
    struct Case {
        std::string command, locale, status, reportedLocale, message;
    };
    const std::string download = "Download Apple's speech language assets to enable local transcription.";
    const std::vector<Case> cases = {
        {"probe", "en-US", "ready", "en-US", ""},
        {"probe", "EN_us", "ready", "en-US", ""},
        {"probe", "de-DE", "download-required", "de-DE", download},
        {"probe", "fr-FR", "download-required", "fr-FR", "Apple's speech language assets are still downloading."},
        {"probe", "ja-JP", "unsupported", "ja-JP", "Apple's speech assets are unavailable for this configuration."},
        {"probe", "it-IT", "unsupported", "it-IT", "Apple returned an unknown speech availability state."},
        {"probe", "pt_BR", "unsupported", "pt-BR", "Apple SpeechTranscriber is unavailable for this device or language."},
        {"prepare", "de_DE", "ready", "de-DE", ""},
        {"prepare", "fr-FR", "ready", "fr-FR", ""},
        {"prepare", "en-US", "ready", "en-US", ""},
    };
    for (const Case& c : cases) {
        ChildOptions options;
        options.arguments = {c.command, "--locale", c.locale};
        options.environment["QUORVANTEL_SIMULATION"] = scenario;
        auto run = runChild(helperPath("quorvantel-speech"), options);
        EXPECT_EQ(run.output, availabilityLine(c.status, c.reportedLocale, c.message)) << c.command << " " << c.locale;
        EXPECT_EQ(run.exit.exitStatus, 0);
    }
    std::remove(scenario.c_str());
}

TEST(SpeechAvailability, NoRecogniserOnTheDevice) {
    const std::string scenario = writeTemporaryFile(R"({"speech":{"available":false}})", ".json");
    ChildOptions options;
    options.arguments = {"probe"};
    options.environment["QUORVANTEL_SIMULATION"] = scenario;
    auto run = runChild(helperPath("quorvantel-speech"), options);
    EXPECT_EQ(run.output, availabilityLine("unsupported", "en-US",
                                           "Apple SpeechTranscriber is unavailable for this device or language."));
    std::remove(scenario.c_str());
}
