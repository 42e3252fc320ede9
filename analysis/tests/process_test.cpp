// The built helpers run over pipes as the host runs them, on the stand-in platform
// driven by a scenario file, and on this machine's own system without one.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/utsname.h>
#include <unistd.h>

#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace quorvantel::analysis {
namespace {

using quorvantel::testing::ChildOptions;
using quorvantel::testing::ChildRun;

struct Helper {
    const char* name;
    const char* executable;
    const char* action;
    // Members besides schemaVersion, locale and segments.
    const char* extras;
};

const std::vector<Helper> kHelpers = {
    {"chapters", "quorvantel-meeting-chapters", "--analyze", ""},
    {"titles", "quorvantel-meeting-titles", "--suggest", R"("phase":"extract",)"},
    {"topics", "quorvantel-meeting-topics", "--analyze", ""},
    {"categories", "quorvantel-meeting-categories", "--classify", ""},
};
const Helper& kChapters = kHelpers[0];
const Helper& kTitles = kHelpers[1];
const Helper& kTopics = kHelpers[2];
const Helper& kCategories = kHelpers[3];

const char* kSegments =
    R"([{"reference":"s1","text":"Good morning, can everyone hear me?"},)"
    R"({"reference":"s2","text":"Let's plan the loading dock access schedule for the warehouse."},)"
    R"({"reference":"s3","text":"The loading dock access badges are due by Friday, the deadline."},)"
    R"({"reference":"s4","text":"Next, the volunteer training program starts in March."},)"
    R"({"reference":"s5","text":"Volunteer training covers safety drills and first aid."}])";

std::string request(const Helper& helper, const std::string& segments = kSegments) {
    return std::string(R"({"schemaVersion":1,"locale":"en-US",)") + helper.extras + R"("segments":)" + segments + "}";
}

// A scenario file that lives as long as the test.
class Scenario {
public:
    explicit Scenario(const std::string& text) : path_(quorvantel::testing::writeTemporaryFile(text, ".json")) {}
    ~Scenario() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct Result {
    ChildRun run;
    json::Value line;
};

// Without a scenario the helper runs on the stand-in defaults, unless standIn is
// false: then it runs on this machine's own system.
Result run(const Helper& helper, const std::vector<std::string>& arguments, const std::string& input = "",
           const std::string& scenario = "", bool standIn = true) {
    ChildOptions options;
    options.arguments = arguments;
    options.standIn = standIn;
    std::optional<Scenario> file;
    if (!scenario.empty()) {
        file.emplace(scenario);
        options.environment["QUORVANTEL_SIMULATION"] = file->path();
    }
    Result result{quorvantel::testing::runChild(quorvantel::testing::helperPath(helper.executable), options, input), {}};
    EXPECT_TRUE(result.run.exit.exited);
    EXPECT_EQ(result.run.exit.exitStatus, 0);
    EXPECT_EQ(result.run.error, "");
    const std::string& out = result.run.output;
    // Exactly one line, and nothing after it.
    EXPECT_FALSE(out.empty());
    if (out.empty()) return result;
    EXPECT_EQ(out.find('\n'), out.size() - 1);
    result.line = json::parse(std::string_view(out).substr(0, out.size() - 1));
    // The keys are in order at every level: writing the value sorted gives the same text.
    EXPECT_EQ(json::write(result.line, json::KeyOrder::sorted) + "\n", out);
    return result;
}

std::string str(const json::Value& line, const char* key) {
    const json::Value* value = line.find(key);
    return value && value->isString() ? value->asString() : "<absent>";
}

TEST(AnalysisProcess, TheDoctorReportsAnAvailableModel) {
    const std::vector<int> tokens = {640, 256, 512, 256};
    for (std::size_t i = 0; i < kHelpers.size(); ++i) {
        SCOPED_TRACE(kHelpers[i].name);
        const Result r = run(kHelpers[i], {"--doctor"}, "", R"({"os":{"versionString":"macOS 26.1 build 25B78"}})");
        EXPECT_EQ(str(r.line, "status"), "available");
        EXPECT_EQ(str(r.line, "osVersion"), "macOS 26.1 build 25B78");
        EXPECT_EQ(r.line.find("maximumResponseTokens")->asInt(), tokens[i]);
        EXPECT_EQ(r.line.find("maximumRequestBytes")->asInt(), 4000);
        EXPECT_TRUE(r.line.find("modelVersion")->isNull());
        EXPECT_EQ(r.line.find("supportedRequestSchemas") != nullptr, &kHelpers[i] == &kChapters);
    }
}

TEST(AnalysisProcess, AWrongCommandLineIsAnsweredWithTheUsage) {
    for (const Helper& helper : kHelpers) {
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{}, std::vector<std::string>{"--doctor", helper.action}}) {
            SCOPED_TRACE(std::string(helper.name) + " with " + std::to_string(arguments.size()) + " arguments");
            const Result r = run(helper, arguments);
            EXPECT_EQ(str(r.line, "status"), "failed");
            EXPECT_EQ(str(r.line, "code"), "invalid_command");
            EXPECT_EQ(str(r.line, "message"), std::string("Use --doctor or ") + helper.action + ".");
        }
    }
}

TEST(AnalysisProcess, AnOlderSystemIsUnsupported) {
    for (const Helper& helper : kHelpers) {
        SCOPED_TRACE(helper.name);
        const Result r = run(helper, {"--doctor"}, "", R"({"os":{"version":"15.6.1"}})");
        EXPECT_EQ(str(r.line, "status"), "unavailable");
        EXPECT_EQ(str(r.line, "code"), "unsupported_os");
    }
}

TEST(AnalysisProcess, WithAppleIntelligenceOffNoRequestIsReadButByChapters) {
    const std::string scenario = R"({"model":{"availability":"appleIntelligenceNotEnabled"}})";
    for (const Helper& helper : kHelpers) {
        SCOPED_TRACE(helper.name);
        EXPECT_EQ(str(run(helper, {"--doctor"}, "", scenario).line, "code"), "apple_intelligence_not_enabled");
        if (&helper == &kChapters) continue;
        // Standard input stays open and empty: a helper that tried to read it would
        // never answer.
        Scenario file(scenario);
        ChildOptions options;
        options.arguments = {helper.action};
        options.environment["QUORVANTEL_SIMULATION"] = file.path();
        quorvantel::testing::Child child(quorvantel::testing::helperPath(helper.executable), options);
        const std::optional<std::string> line = child.readLine(std::chrono::seconds(10));
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(str(json::parse(*line), "code"), "apple_intelligence_not_enabled");
        child.closeInput();
        EXPECT_EQ(child.wait().exitStatus, 0);
    }
    const Result chapters = run(kChapters, {"--analyze"}, request(kChapters), scenario);
    EXPECT_EQ(str(chapters.line, "code"), "apple_intelligence_not_enabled");
}

class UnusableModel : public ::testing::TestWithParam<std::size_t> {};

TEST_P(UnusableModel, IsReportedWithItsCode) {
    const Helper& helper = kHelpers[GetParam()];
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"model":{"availability":"deviceNotEligible"}})", "device_not_eligible"},
        {R"({"model":{"availability":"modelNotReady"}})", "model_not_ready"},
        {R"({"model":{"availability":"somethingNew"}})", "unknown_unavailability"},
        {R"({"model":{"supportsLocale":false}})", "unsupported_language"},
    };
    for (const auto& [scenario, code] : cases) {
        SCOPED_TRACE(code);
        const Result r = run(helper, {helper.action}, request(helper), scenario);
        EXPECT_EQ(str(r.line, "status"), "unavailable");
        EXPECT_EQ(str(r.line, "code"), code);
        EXPECT_EQ(r.line.find("durationMs")->asDouble(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AnalysisProcess, UnusableModel, ::testing::Range<std::size_t>(0, 4),
                         [](const auto& info) { return std::string(kHelpers[info.param].name); });

std::set<std::string> kReferences = {"s1", "s2", "s3", "s4", "s5"};

void expectKnown(const json::Value& references) {
    ASSERT_TRUE(references.isArray());
    EXPECT_FALSE(references.asArray().empty());
    for (const json::Value& r : references.asArray()) EXPECT_EQ(kReferences.count(r.asString()), 1u) << r.asString();
}

TEST(AnalysisProcess, TheBuiltInModelAnswersEveryHelperFromThePassages) {
    const Result chapters = run(kChapters, {"--analyze"}, request(kChapters));
    EXPECT_EQ(str(chapters.line, "status"), "complete");
    EXPECT_TRUE(chapters.line.find("isSubstantive")->asBool());
    const json::Array& list = chapters.line.find("chapters")->asArray();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(str(list[0], "startReference"), "s1");
    for (const json::Value& c : list) EXPECT_EQ(kReferences.count(str(c, "startReference")), 1u);
    EXPECT_GT(chapters.line.find("durationMs")->asDouble(), 0);

    const Result titles = run(kTitles, {"--suggest"}, request(kTitles));
    EXPECT_EQ(str(titles.line, "status"), "complete");
    EXPECT_NE(str(titles.line, "title"), "<absent>");
    expectKnown(*titles.line.find("evidenceReferences"));

    const Result topics = run(kTopics, {"--analyze"}, request(kTopics));
    EXPECT_EQ(str(topics.line, "status"), "complete");
    EXPECT_EQ(topics.line.find("schemaVersion")->asInt(), 3);
    for (const json::Value& tag : topics.line.find("tags")->asArray()) expectKnown(*tag.find("references"));

    const Result categories = run(kCategories, {"--classify"}, request(kCategories));
    EXPECT_EQ(str(categories.line, "status"), "complete");
    EXPECT_EQ(str(categories.line, "category"), "planning");
    expectKnown(*categories.line.find("evidenceReferences"));
}

// Without a scenario a helper runs on this Linux machine, whose on-device model is
// the built-in extractive one: ready, in English, answering as it does for the
// stand-in.
TEST(AnalysisProcess, OnThisMachineTheBuiltInModelIsTheOnDeviceModel) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    for (const Helper& helper : kHelpers) {
        SCOPED_TRACE(helper.name);
        const Result doctor = run(helper, {"--doctor"}, "", "", false);
        EXPECT_EQ(str(doctor.line, "status"), "available");
        EXPECT_EQ(str(doctor.line, "osVersion"), std::string("Linux ") + system.release);
        EXPECT_TRUE(doctor.line.find("modelVersion")->isNull());

        Result machine = run(helper, {helper.action}, request(helper), "", false);
        Result standIn = run(helper, {helper.action}, request(helper));
        EXPECT_EQ(str(machine.line, "status"), "complete");
        ASSERT_TRUE(machine.line.isObject() && standIn.line.isObject());
        for (Result* r : {&machine, &standIn}) {
            json::Object& keys = r->line.asObject();
            keys.erase(std::remove_if(keys.begin(), keys.end(), [](const auto& k) { return k.first == "durationMs"; }),
                       keys.end());
        }
        EXPECT_EQ(json::write(machine.line, json::KeyOrder::sorted), json::write(standIn.line, json::KeyOrder::sorted));
    }
}

TEST(AnalysisProcess, TheBuiltInModelFindsNothingInFiller) {
    const std::string segments = R"([{"reference":"a","text":"Hello? Hi everyone."},{"reference":"b","text":"Um, okay."}])";
    EXPECT_FALSE(run(kChapters, {"--analyze"}, request(kChapters, segments)).line.find("isSubstantive")->asBool());
    EXPECT_EQ(str(run(kTitles, {"--suggest"}, request(kTitles, segments)).line, "status"), "abstained");
    EXPECT_FALSE(run(kTopics, {"--analyze"}, request(kTopics, segments)).line.find("isSubstantive")->asBool());
    EXPECT_EQ(str(run(kCategories, {"--classify"}, request(kCategories, segments)).line, "category"), "unclear");
    EXPECT_EQ(str(run(kCategories, {"--classify"}, request(kCategories, "[]")).line, "category"), "unclear");
}

struct ScriptedCase {
    const char* name;
    const Helper* helper;
    std::string model;  // the scenario's "model" section
    std::string osVersion;
    std::string status;
    std::string code;  // or "" for none
};

const std::vector<ScriptedCase> kScriptedCases = {
    {"chapters passed through", &kChapters,
     R"({"response":{"type":"substantiveChapters","value":{"chapters":[{"heading":"x","startReference":"nope"}]}}})",
     "26.0", "complete", ""},
    {"chapters with another type", &kChapters, R"({"response":{"type":"chapters"}})", "26.0", "failed",
     "generation_failed"},
    {"chapters on a model error", &kChapters, R"({"error":"LanguageModelError.refusal"})", "27.0", "failed",
     "generation_failed"},
    {"titles abstaining", &kTitles, R"({"response":{"type":"insufficientEvidence"}})", "26.0", "abstained",
     "insufficient_evidence"},
    {"titles citing an unknown reference", &kTitles,
     R"({"response":{"type":"proposed","value":{"title":"Dock","evidenceReferences":["zz"]}}})", "26.0", "failed",
     "invalid_output"},
    {"titles on a model error", &kTitles, R"({"error":"other"})", "26.0", "failed", "generation_failed"},
    {"topics passed through", &kTopics,
     R"({"response":{"type":"substantiveTopics","value":{"tags":[{"label":"DOCK","references":["zz"]}]}}})", "26.0",
     "complete", ""},
    {"topics unreadable", &kTopics, R"({"response":null})", "26.0", "failed", "generation_failed"},
    {"categories accepted", &kCategories,
     R"({"response":{"category":"mixed","evidenceReferences":["s1","s2","s3","s4"]}})", "26.0", "complete", ""},
    {"categories unclear with evidence", &kCategories,
     R"({"response":{"category":"unclear","evidenceReferences":["s1"]}})", "26.0", "failed",
     "output_unclear_with_references"},
    {"categories too many", &kCategories,
     R"({"response":{"category":"planning","evidenceReferences":["s1","s1","s2","s3","s4"]}})", "26.0", "failed",
     "output_too_many_references"},
    {"categories of an unknown value", &kCategories,
     R"({"response":{"category":"party","evidenceReferences":["s1"]}})", "26.0", "failed",
     "generation_decoding_failure"},
    {"categories refused on 27", &kCategories, R"({"error":"LanguageModelError.refusal"})", "27.0", "failed",
     "generation_refusal"},
    {"categories refused on 26", &kCategories, R"({"error":"LanguageModelSession.GenerationError.refusal"})",
     "26.0", "failed", "generation_refusal"},
    {"categories busy on 27", &kCategories, R"({"error":"LanguageModelSession.Error.concurrentRequests"})", "27.0",
     "failed", "generation_concurrent_requests"},
    {"categories busy on 26", &kCategories,
     R"({"error":"LanguageModelSession.GenerationError.concurrentRequests"})", "26.0", "failed",
     "generation_concurrent_requests"},
    {"categories parsing on 27", &kCategories, R"({"error":"GeneratedContent.ParsingError"})", "27.0", "failed",
     "generation_decoding_failure"},
    {"categories with a current error on 26", &kCategories, R"({"error":"LanguageModelError.timeout"})", "26.0",
     "failed", "generation_failed"},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ScriptedCase& c, std::ostream* os) { *os << c.name; }

class ScriptedOutcome : public ::testing::TestWithParam<ScriptedCase> {};

TEST_P(ScriptedOutcome, GivesItsStatusAndCode) {
    const ScriptedCase& c = GetParam();
    const std::string scenario = R"({"os":{"version":")" + c.osVersion + R"("},"model":)" + c.model + "}";
    const Result r = run(*c.helper, {c.helper->action}, request(*c.helper), scenario);
    EXPECT_EQ(str(r.line, "status"), c.status);
    EXPECT_EQ(str(r.line, "code"), c.code.empty() ? "<absent>" : c.code);
    EXPECT_GE(r.line.find("durationMs")->asDouble(), 0);
}

std::string caseName(const ::testing::TestParamInfo<ScriptedCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(AnalysisProcess, ScriptedOutcome, ::testing::ValuesIn(kScriptedCases), caseName);

TEST(AnalysisProcess, AnInvalidRequestIsReportedWithTheHelpersCode) {
    const std::string oversized = request(kTopics, R"([{"reference":"a","text":")" + std::string(4001, 'x') + "\"}]");
    const std::vector<std::tuple<const Helper*, std::string, std::string>> cases = {
        {&kChapters, "{}", "invalid_input"},
        {&kTitles, request(kTopics), "invalid_input"},
        {&kTopics, "not json", "generation_failed"},
        {&kTopics, oversized, "invalid_input"},
        {&kCategories, request(kCategories, R"([{"reference":"a.b","text":""}])"), "invalid_request"},
    };
    for (const auto& [helper, input, code] : cases) {
        SCOPED_TRACE(helper->name);
        const Result r = run(*helper, {helper->action}, input);
        EXPECT_EQ(str(r.line, "status"), "failed");
        EXPECT_EQ(str(r.line, "code"), code);
        if (helper == &kChapters) {
            EXPECT_EQ(r.line.find("durationMs")->asDouble(), 0);
        } else {
            EXPECT_GT(r.line.find("durationMs")->asDouble(), 0);
        }
    }
}

std::vector<json::Value> recordOf(const Helper& helper, const std::string& input, const std::string& extraModel = "") {
    const std::string path = quorvantel::testing::writeTemporaryFile("", ".jsonl");
    run(helper, {helper.action}, input, R"({"model":{)" + extraModel + R"("transcriptPath":")" + path + R"("}})");
    std::ifstream file(path);
    std::vector<json::Value> records;
    for (std::string line; std::getline(file, line);) records.push_back(json::parse(line));
    ::unlink(path.c_str());
    return records;
}

TEST(AnalysisProcess, TheModelIsGivenTheExactPromptsAndInstructions) {
    const std::string segments = R"([{"reference":"a","text":"Dock/gate"}])";
    const std::string passages = R"([{"reference":"a","text":"Dock\/gate"}])";
    struct PromptCase {
        const char* name;
        const Helper* helper;
        std::string input;
        std::size_t instructionBytes;
        int tokens;
        std::string prompt;
        std::string schemaTitle;
    };
    const std::vector<PromptCase> cases = {
        {"chapters schema 1", &kChapters, request(kChapters, segments), 1472, 640,
         "Analyze these quoted JSON transcript passages and select their reference IDs:\n" + passages, "Chapters"},
        {"chapters schema 2", &kChapters,
         R"({"schemaVersion":2,"locale":"en-US","segments":)" + segments +
             R"(,"context":{"text":"Before.","previousHeading":" Dock "}})",
         2500, 640,
         "CONTEXT_ONLY (not new input; no selectable references):\n"
         R"({"previousHeading":" Dock ","text":"Before."})"
         "\nNEW_PASSAGES (the only selectable references):\n" +
             passages,
         "ContextualChapters"},
        {"titles extract", &kTitles, request(kTitles, segments), 833, 256,
         "Read this quoted JSON input and cite its reference IDs:\n" + passages, "TitleSuggestion"},
        {"titles synthesize", &kTitles,
         R"({"schemaVersion":1,"locale":"en-US","phase":"synthesize","segments":)" + segments + "}", 914, 256,
         "Read this quoted JSON input and cite its reference IDs:\n" + passages, "TitleSuggestion"},
        {"topics", &kTopics, request(kTopics, segments), 1298, 512,
         "Analyze these quoted JSON transcript passages and select their reference IDs:\n" + passages, "Topics"},
        {"categories", &kCategories, request(kCategories, segments), 1245, 256,
         "Classify this quoted JSON transcript and cite its reference IDs:\n" + passages, "CategorySuggestion"},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<json::Value> records = recordOf(*c.helper, c.input);
        ASSERT_EQ(records.size(), 1u);
        const json::Value& record = records[0];
        EXPECT_EQ(str(record, "prompt"), c.prompt);
        EXPECT_EQ(str(record, "instructions").size(), c.instructionBytes);
        EXPECT_EQ(str(record, "sampling"), "greedy");
        EXPECT_EQ(record.find("maximumResponseTokens")->asInt(), c.tokens);
        EXPECT_TRUE(record.find("includeSchemaInPrompt")->asBool());
        EXPECT_EQ(str(*record.find("schema"), "title"), c.schemaTitle);
    }
    // The record is written even when the generation then fails.
    EXPECT_EQ(recordOf(kTopics, request(kTopics), R"("error":"other",)").size(), 1u);
    // No generation happens for an invalid request.
    EXPECT_TRUE(recordOf(kTopics, "{}").empty());
}

TEST(AnalysisProcess, ABadScenarioEndsTheProcessBeforeAnything) {
    for (const Helper& helper : kHelpers) {
        SCOPED_TRACE(helper.name);
        Scenario file(R"({"model":{"supportsLocale":"yes"}})");
        ChildOptions options;
        options.arguments = {"--doctor"};
        options.environment["QUORVANTEL_SIMULATION"] = file.path();
        const ChildRun r = quorvantel::testing::runChild(quorvantel::testing::helperPath(helper.executable), options);
        EXPECT_EQ(r.exit.exitStatus, 70);
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(r.error, "quorvantel simulation: model.supportsLocale must be a boolean\n");
    }
}

TEST(AnalysisProcess, AClosedOutputEndsWithStatusOne) {
    // Chapters waits for its request, so the output is surely closed before it writes.
    quorvantel::testing::Child child(quorvantel::testing::helperPath(kChapters.executable),
                                     ChildOptions{{"--analyze"}, {}, {"QUORVANTEL_SIMULATION"}});
    child.closeOutput();
    child.write(request(kChapters));
    child.closeInput();
    const quorvantel::testing::ChildExit exit = child.wait();
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.exitStatus, 1);
}

}  // namespace
}  // namespace quorvantel::analysis
