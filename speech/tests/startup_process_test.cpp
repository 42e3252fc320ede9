// The helper's start-up, run over pipes as the host runs it: every usage and argument
// message, the system gate, exit statuses, the "ready"/"stopped" envelope, signals
// and a closed standard output.
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/elf_section.h"

using quorvantel::testing::Child;
using quorvantel::testing::ChildOptions;
using quorvantel::testing::helperPath;
using quorvantel::testing::runChild;
using quorvantel::testing::writeTemporaryFile;

namespace {

const std::string kHelper = "quorvantel-speech";

std::string errorLine(const std::string& message) {
    return "{\"message\":\"" + message + "\",\"type\":\"error\"}";
}

ChildOptions withScenario(std::vector<std::string> arguments, const std::string& scenarioPath = "") {
    ChildOptions options;
    options.arguments = std::move(arguments);
    if (!scenarioPath.empty()) options.environment["QUORVANTEL_SIMULATION"] = scenarioPath;
    return options;
}

struct StartupCase {
    std::vector<std::string> arguments;
    std::string message;
};

}  // namespace

TEST(SpeechStartup, EveryArgumentFailureWritesOneErrorLineAndExitsOne) {
    const std::string usage =
        "Usage: quorvantel-speech probe|prepare|run [--locale en-US], file --path <48kHz.wav>, or selftest";
    std::string groups = "abcdefg";
    for (int i = 0; i < 6; ++i) groups += "-abcdefgh";
    const std::string locale64 = groups + "-ab";
    ASSERT_EQ(locale64.size(), 64u);
    const std::string locale65 = groups + "-abc";
    ASSERT_EQ(locale65.size(), 65u);
    const std::vector<StartupCase> cases = {
        {{}, usage},
        {{"transcribe"}, usage},
        {{"RUN"}, usage},
        {{"run", "--locale"}, "Missing speech command argument."},
        {{"run", "--bogus", "x"}, "Unknown speech command argument."},
        {{"run", "--bogus", "x", "--locale"}, "Unknown speech command argument."},
        {{"run", "--locale", "en-US", "--bogus"}, "Missing speech command argument."},
        {{"run", "--locale", "--path"}, "Invalid speech locale identifier."},
        {{"run", "--locale", locale65}, "Invalid speech locale identifier."},
        {{"selftest", "--locale", "e"}, "Invalid speech locale identifier."},
        {{"probe", "--locale", "en--US"}, "Invalid speech locale identifier."},
        {{"probe", "--locale", "en-U"}, "Invalid speech locale identifier."},
        {{"probe", "--locale", "1en"}, "Invalid speech locale identifier."},
        {{"probe", "--locale", "en-US-"}, "Invalid speech locale identifier."},
        {{"file"}, "Offline validation needs --path."},
        {{"file", "--locale", "en-US"}, "Offline validation needs --path."},
    };
    for (const StartupCase& c : cases) {
        auto run = runChild(helperPath(kHelper), withScenario(c.arguments));
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        EXPECT_EQ(run.output, errorLine(c.message) + "\n");
        EXPECT_TRUE(run.exit.exited);
        EXPECT_EQ(run.exit.exitStatus, 1);
    }
    // 64 bytes that match the pattern are a valid locale (reported as unsupported).
    auto accepted = runChild(helperPath(kHelper), withScenario({"probe", "--locale", locale64}));
    EXPECT_EQ(accepted.exit.exitStatus, 0);
    EXPECT_NE(accepted.output.find("\"status\":\"unsupported\""), std::string::npos);
}

TEST(SpeechStartup, OldSystemAnswersEachCommandItsOwnWay) {
    const std::string scenario = writeTemporaryFile(R"({"os":{"version":"15.5.0"}})", ".json");
    const std::string message = "Local Apple transcription requires macOS 26 or later and Apple silicon.";
    auto probe = runChild(helperPath(kHelper), withScenario({"probe", "--locale", "en_GB"}, scenario));
    EXPECT_EQ(probe.output, "{\"local\":true,\"locale\":\"en-GB\",\"message\":\"" + message +
                                "\",\"providerId\":\"apple-speech\",\"status\":\"unsupported\",\"type\":\"availability\"}\n");
    EXPECT_EQ(probe.exit.exitStatus, 0);
    auto prepare = runChild(helperPath(kHelper), withScenario({"prepare"}, scenario));
    EXPECT_EQ(prepare.exit.exitStatus, 0);
    EXPECT_NE(prepare.output.find("\"status\":\"unsupported\""), std::string::npos);
    for (const char* command : {"run", "file"}) {
        auto failed = runChild(helperPath(kHelper), withScenario({command, "--path", "/nonexistent.wav"}, scenario));
        EXPECT_EQ(failed.output, errorLine(message) + "\n") << command;
        EXPECT_EQ(failed.exit.exitStatus, 1);
    }
    auto selftest = runChild(helperPath(kHelper), withScenario({"selftest"}, scenario));
    EXPECT_EQ(selftest.output, "{\"ok\":true,\"type\":\"selftest\"}\n");
    EXPECT_EQ(selftest.exit.exitStatus, 0);
    std::remove(scenario.c_str());
}

TEST(SpeechStartup, RunSetUpFailuresAreReportedBeforeReady) {
    struct SetUpCase {
        std::string scenario;
        std::string locale;
        std::string message;
    };
    const std::vector<SetUpCase> cases = {
        {R"({"speech":{"available":false}})", "en-US",
         "Apple SpeechTranscriber requires a supported language and an Apple silicon Mac with macOS 26 or later."},
        {R"({})", "fr-FR",
         "Apple SpeechTranscriber requires a supported language and an Apple silicon Mac with macOS 26 or later."},
        {R"({"speech":{"locales":{"en_US":"supported"}}})", "en-US",
         "Apple's speech language assets are not installed. Use the explicit model download action first."},
        {R"({"speech":{"locales":{"en_US":"downloading"}}})", "en_us",
         "Apple's speech language assets are not installed. Use the explicit model download action first."},
        {R"({"speech":{"format":null}})", "EN-us", "Apple did not provide an installed speech audio format."},
    };
    for (const SetUpCase& c : cases) {
        const std::string scenario = writeTemporaryFile(c.scenario, ".json");
        auto run = runChild(helperPath(kHelper), withScenario({"run", "--locale", c.locale}, scenario));
        EXPECT_EQ(run.output, errorLine(c.message) + "\n") << c.scenario;
        EXPECT_EQ(run.exit.exitStatus, 1);
        std::remove(scenario.c_str());
    }
}

TEST(SpeechStartup, BadScenarioEndsWithStatus70BeforeAnything) {
    for (const char* text : {"{not json", R"({"speech":{"available":"yes"}})", "[]"}) {
        const std::string scenario = writeTemporaryFile(text, ".json");
        auto run = runChild(helperPath(kHelper), withScenario({"run"}, scenario));
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.exit.exitStatus, 70);
        EXPECT_EQ(run.error.rfind("quorvantel simulation: ", 0), 0u) << run.error;
        std::remove(scenario.c_str());
    }
}

TEST(SpeechStartup, SelftestSucceedsOnTheCurrentSystem) {
    auto run = runChild(helperPath(kHelper), withScenario({"selftest", "--locale", "de_DE"}));
    EXPECT_EQ(run.output, "{\"ok\":true,\"type\":\"selftest\"}\n");
    EXPECT_EQ(run.exit.exitStatus, 0);
}

TEST(SpeechRun, ImmediatelyClosedInputIsReadyThenStopped) {
    auto run = runChild(helperPath(kHelper), withScenario({"run", "--path", "/ignored.wav"}), "");
    EXPECT_EQ(run.output, "{\"type\":\"ready\"}\n{\"type\":\"stopped\"}\n");
    EXPECT_EQ(run.exit.exitStatus, 0);
}

TEST(SpeechRun, SigtermWhileReadingExits130WithoutAnotherLine) {
    for (int signal : {SIGTERM, SIGINT}) {
        Child child(helperPath(kHelper), withScenario({"run"}));
        EXPECT_EQ(child.readLine(), "{\"type\":\"ready\"}");
        child.kill(signal);
        const auto exit = child.wait();
        EXPECT_TRUE(exit.exited);
        EXPECT_EQ(exit.exitStatus, 130);
        EXPECT_EQ(child.readRest(), "");
    }
}

TEST(SpeechRun, ClosedStandardOutputExitsOneWithoutSigpipe) {
    Child child(helperPath(kHelper), withScenario({"run"}));
    child.closeOutput();
    child.closeInput();
    const auto exit = child.wait();
    EXPECT_TRUE(exit.exited) << "killed by signal " << exit.signal;
    EXPECT_EQ(exit.exitStatus, 1);
}

TEST(SpeechExecutable, CarriesItsPropertyList) {
    const auto plist = quorvantel::testing::readElfSection(helperPath(kHelper), "__info_plist");
    ASSERT_TRUE(plist.has_value());
    for (const char* entry : {"<key>CFBundleIdentifier</key>\n\t<string>org.quorvantel.speech</string>",
                              "<key>CFBundleName</key>\n\t<string>Tovrel Local Speech</string>",
                              "<key>CFBundleExecutable</key>\n\t<string>quorvantel-speech</string>",
                              "<key>CFBundleVersion</key>\n\t<string>1</string>"}) {
        EXPECT_NE(plist->find(entry), std::string::npos) << entry;
    }
}
