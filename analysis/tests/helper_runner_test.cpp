// The run the four helpers share, with a fake model, system, clock and streams: the
// order of its steps, the result line of each way a run can end, and its timing.
#include <gtest/gtest.h>

#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"

namespace quorvantel::analysis::testing {
namespace {

using Reason = LanguageModelAvailability::Reason;

struct Harness {
    explicit Harness(const HelperUnderTest& under, std::string input = "",
                     OperatingSystemVersion version = {26, 0, 0}, std::string osText = "macOS 26.0 test build")
        : helper(under.make()), info(version, std::move(osText)), source(std::move(input)) {}

    int run(const std::vector<std::string>& arguments) {
        HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
        return runHelper(*helper, arguments, platform);
    }

    // The one line written, parsed; fails the test unless exactly one line was.
    json::Value line() const {
        EXPECT_FALSE(sink.text.empty());
        EXPECT_EQ(sink.text.back(), '\n');
        EXPECT_EQ(std::count(sink.text.begin(), sink.text.end(), '\n'), 1);
        return json::parse(std::string_view(sink.text).substr(0, sink.text.size() - 1));
    }

    std::unique_ptr<AnalysisHelper> helper;
    ModelScript script;
    FakeProvider provider{script};
    FakeProcessInfo info;
    StringSource source;
    StringSink sink;
    SteppingClock clock;
};

std::string field(const json::Value& line, const char* key) {
    const json::Value* value = line.find(key);
    return value && value->isString() ? value->asString() : "<absent>";
}

double duration(const json::Value& line) { return line.find("durationMs")->asDouble(); }

// An answer each helper accepts without further checks.
GeneratedContent acceptedAnswer(const HelperUnderTest& helper) {
    switch (helper.index) {
        case kChapters: return json::Object{{"type", "noSubstantiveChapters"}};
        case kTitles: return json::Object{{"type", "insufficientEvidence"}};
        case kTopics: return json::Object{{"type", "noSubstantiveTopics"}};
        case kCategories: return json::Object{{"category", "unclear"}, {"evidenceReferences", json::Array{}}};
    }
    return nullptr;
}

const char* actionFlag(const HelperUnderTest& helper) {
    return helper.index == kTitles ? "--suggest" : helper.index == kCategories ? "--classify" : "--analyze";
}

TEST(HelperRunner, AnyOtherCommandLineIsAnsweredWithTheUsageMessage) {
    const std::vector<std::vector<std::string>> commandLines = {
        {}, {"--doctor", "--analyze"}, {"--analyze", "--doctor"}, {"--doctor", "--doctor"}, {"--help"},
        {"doctor"}, {"--doctor "}, {"-d"}, {""}, {"--suggest", "--classify"},
    };
    const std::vector<std::string> usage = {"Use --doctor or --analyze.", "Use --doctor or --suggest.",
                                            "Use --doctor or --analyze.", "Use --doctor or --classify."};
    for (const HelperUnderTest& helper : allHelpers()) {
        for (const auto& arguments : commandLines) {
            SCOPED_TRACE(helper.name + " with " + std::to_string(arguments.size()) + " arguments" +
                         (arguments.empty() ? "" : ", first " + arguments[0]));
            // Arguments come before the system check: an old system still gets the usage.
            Harness h(helper, "", {25, 0, 0});
            EXPECT_EQ(h.run(arguments), 0);
            const json::Value line = h.line();
            EXPECT_EQ(field(line, "status"), "failed");
            EXPECT_EQ(field(line, "code"), "invalid_command");
            EXPECT_EQ(field(line, "message"), usage[helper.index]);
            EXPECT_EQ(duration(line), 0);
            EXPECT_EQ(line.find("schemaVersion")->asInt(), helper.index == kTopics ? 3 : 1);
            EXPECT_EQ(h.script.modelsMade, 0);
            EXPECT_EQ(h.source.reads, 0);
        }
    }
    // Another helper's action flag is not this helper's.
    Harness chapters(allHelpers()[kChapters]);
    chapters.run({"--classify"});
    EXPECT_EQ(field(chapters.line(), "code"), "invalid_command");
}

TEST(HelperRunner, AnOlderSystemIsToldItNeedsMacOS26) {
    const std::vector<std::string> messages = {
        "Apple meeting chapters require macOS 26 or newer.", "Apple meeting titles require macOS 26 or newer.",
        "Apple meeting topics require macOS 26 or newer.", "Apple meeting categories require macOS 26 or newer."};
    for (const HelperUnderTest& helper : allHelpers()) {
        for (const std::string flag : {"--doctor", actionFlag(helper)}) {
            for (OperatingSystemVersion version : {OperatingSystemVersion{25, 9, 9}, OperatingSystemVersion{15, 0, 0}}) {
                SCOPED_TRACE(helper.name + " " + flag + " on " + std::to_string(version.majorVersion));
                Harness h(helper, requestText(helper, sampleSegments()), version);
                EXPECT_EQ(h.run({flag}), 0);
                const json::Value line = h.line();
                EXPECT_EQ(field(line, "status"), "unavailable");
                EXPECT_EQ(field(line, "code"), "unsupported_os");
                EXPECT_EQ(field(line, "message"), messages[helper.index]);
                EXPECT_EQ(duration(line), 0);
                EXPECT_EQ(h.script.modelsMade, 0);
                EXPECT_EQ(h.source.reads, 0);
            }
        }
    }
    // 26.0.0 itself passes the gate.
    Harness h(allHelpers()[kTitles], "", {26, 0, 0});
    h.run({"--doctor"});
    EXPECT_EQ(field(h.line(), "status"), "available");
}

struct AvailabilityCase {
    const char* name;
    LanguageModelAvailability availability;
    bool supportsLocale;
    const char* code;
    // Per helper: chapters, titles, topics, categories.
    std::array<const char*, 4> messages;
};

TEST(HelperRunner, AnUnusableModelIsReportedWithItsCodeAndTheHelpersMessage) {
    const std::vector<AvailabilityCase> cases = {
        {"device not eligible", LanguageModelAvailability::unavailable(Reason::deviceNotEligible), true,
         "device_not_eligible",
         {"This Mac does not support the Apple on-device model.", "This Mac does not support the Apple on-device model.",
          "This Mac does not support the Apple on-device model.",
          "This Mac does not support the Apple on-device model."}},
        {"Apple Intelligence off", LanguageModelAvailability::unavailable(Reason::appleIntelligenceNotEnabled), true,
         "apple_intelligence_not_enabled",
         {"Enable Apple Intelligence in System Settings to analyze chapters.", "Apple Intelligence is not enabled.",
          "Enable Apple Intelligence in System Settings to analyze topics.",
          "Apple Intelligence is not enabled. Recording and existing brief providers remain available."}},
        {"model not ready", LanguageModelAvailability::unavailable(Reason::modelNotReady), true, "model_not_ready",
         {"The Apple on-device model is not ready. Check Apple Intelligence in System Settings, then retry.",
          "The Apple on-device model is not ready. Check Apple Intelligence in System Settings, then retry.",
          "The Apple on-device model is not ready. Check Apple Intelligence in System Settings, then retry.",
          "The Apple on-device model is not ready. Check Apple Intelligence in System Settings, then retry."}},
        {"an unlisted reason", LanguageModelAvailability::unavailable(Reason::other, "batteryTooLow"), true,
         "unknown_unavailability",
         {"Apple chapter analysis is unavailable. Retry later.", "The Apple on-device model is unavailable. Retry later.",
          "Apple topic analysis is unavailable. Retry later.", "The Apple on-device model is unavailable. Retry later."}},
        {"English not supported", LanguageModelAvailability::availableNow(), false, "unsupported_language",
         {"The installed Apple model does not support English chapters.",
          "The installed Apple model does not support English titles.",
          "The installed Apple model does not support English topics.",
          "The installed Apple model does not support English."}},
    };
    for (const AvailabilityCase& c : cases) {
        for (const HelperUnderTest& helper : allHelpers()) {
            for (const std::string flag : {"--doctor", actionFlag(helper)}) {
                SCOPED_TRACE(std::string(c.name) + ", " + helper.name + " " + flag);
                Harness h(helper, requestText(helper, sampleSegments()));
                h.script.availability = c.availability;
                h.script.supportsLocale = c.supportsLocale;
                EXPECT_EQ(h.run({flag}), 0);
                const json::Value line = h.line();
                EXPECT_EQ(field(line, "status"), "unavailable");
                EXPECT_EQ(field(line, "code"), c.code);
                EXPECT_EQ(field(line, "message"), c.messages[helper.index]);
                EXPECT_EQ(duration(line), 0);
                EXPECT_TRUE(h.script.generations.empty());
                // Only chapters reads its request first, and only when analysing.
                const bool read = helper.index == kChapters && flag != "--doctor";
                EXPECT_EQ(h.source.reads > 0, read);
            }
        }
    }
}

TEST(HelperRunner, LocaleSupportIsAskedForUSEnglish) {
    Harness h(allHelpers()[kTopics]);
    h.run({"--doctor"});
    EXPECT_EQ(h.script.localesAsked, std::vector<std::string>{"en-US"});
}

TEST(HelperRunner, ChaptersReportsTheRequestsSchemaWhenTheModelIsUnusable) {
    const HelperUnderTest& chapters = allHelpers()[kChapters];
    json::Object request = requestObject(chapters, sampleSegments());
    request[0].second = 2;
    request.emplace_back("context", nullptr);
    Harness h(chapters, requestText(request));
    h.script.availability = LanguageModelAvailability::unavailable(Reason::modelNotReady);
    h.run({"--analyze"});
    EXPECT_EQ(h.line().find("schemaVersion")->asInt(), 2);
}

TEST(HelperRunner, TheDoctorReportDescribesTheHelper) {
    const std::vector<std::string> expected = {
        R"({"durationMs":0,"grounding":"source-boundaries","maximumRequestBytes":4000,"maximumResponseTokens":640,)"
        R"("modelVersion":null,"osVersion":"macOS 26.0 test build","processingLocation":"on-device",)"
        R"("promptVersion":"meeting-chapters-continuity-v2","providerId":"apple-foundation-models","schemaVersion":1,)"
        R"("status":"available","supportedRequestSchemas":[1,2],"task":"meeting-chapters","useCase":"general"})",
        R"({"durationMs":0,"maximumRequestBytes":4000,"maximumResponseTokens":256,"modelVersion":null,)"
        R"("osVersion":"macOS 26.0 test build","processingLocation":"on-device","promptVersion":"meeting-titles-v1",)"
        R"("providerId":"apple-foundation-models","schemaVersion":1,"status":"available","task":"meeting-titles"})",
        R"({"durationMs":0,"grounding":"source-passages","maximumRequestBytes":4000,"maximumResponseTokens":512,)"
        R"("modelVersion":null,"osVersion":"macOS 26.0 test build","processingLocation":"on-device",)"
        R"("promptVersion":"meeting-topics-passages-v3.1","providerId":"apple-foundation-models","schemaVersion":3,)"
        R"("status":"available","useCase":"general"})",
        R"({"durationMs":0,"maximumRequestBytes":4000,"maximumResponseTokens":256,"modelVersion":null,)"
        R"("osVersion":"macOS 26.0 test build","processingLocation":"on-device","promptVersion":"meeting-categories-v1",)"
        R"("providerId":"apple-foundation-models","schemaVersion":1,"status":"available"})",
    };
    for (const HelperUnderTest& helper : allHelpers()) {
        SCOPED_TRACE(helper.name);
        Harness h(helper, requestText(helper, sampleSegments()));
        EXPECT_EQ(h.run({"--doctor"}), 0);
        EXPECT_EQ(h.sink.text, expected[helper.index] + "\n");
        EXPECT_EQ(h.source.reads, 0);
        EXPECT_TRUE(h.script.generations.empty());
    }
}

TEST(HelperRunner, AnInvalidRequestIsTimedFromTheClockStartExceptForChapters) {
    for (const HelperUnderTest& helper : allHelpers()) {
        SCOPED_TRACE(helper.name);
        json::Object request = requestObject(helper, sampleSegments());
        request[0].second = 2;  // schema 2 is invalid for all but chapters, which then needs a context
        Harness h(helper, requestText(request));
        EXPECT_EQ(h.run({actionFlag(helper)}), 0);
        const json::Value line = h.line();
        EXPECT_EQ(field(line, "status"), "failed");
        EXPECT_EQ(field(line, "code"), helper.invalidCode);
        EXPECT_EQ(field(line, "message"), helper.invalidMessage);
        if (helper.index == kChapters) {
            EXPECT_EQ(duration(line), 0);
            EXPECT_EQ(line.find("schemaVersion")->asInt(), 1);
            // Chapters stops before it even looks at the model.
            EXPECT_EQ(h.script.modelsMade, 0);
        } else {
            // The clock was read when it started and when the line was built.
            EXPECT_EQ(h.clock.readings, 2);
            EXPECT_DOUBLE_EQ(duration(line), 1.5);
        }
        EXPECT_TRUE(h.script.generations.empty());
    }
}

TEST(HelperRunner, ChaptersRejectsAnInvalidRequestEvenWhenTheModelIsUnusable) {
    Harness h(allHelpers()[kChapters], "{}");
    h.script.availability = LanguageModelAvailability::unavailable(Reason::appleIntelligenceNotEnabled);
    h.run({"--analyze"});
    EXPECT_EQ(field(h.line(), "code"), "invalid_input");
}

TEST(HelperRunner, AnAcceptedAnswerIsTimedAndGeneratedWithTheHelpersOptions) {
    const std::array<int, 4> tokens = {640, 256, 512, 256};
    const std::array<const char*, 4> schemas = {"Chapters", "TitleSuggestion", "Topics", "CategorySuggestion"};
    const std::array<const char*, 4> statuses = {"complete", "abstained", "complete", "complete"};
    for (const HelperUnderTest& helper : allHelpers()) {
        SCOPED_TRACE(helper.name);
        Harness h(helper, requestText(helper, sampleSegments()));
        h.script.answer = acceptedAnswer(helper);
        EXPECT_EQ(h.run({actionFlag(helper)}), 0);
        const json::Value line = h.line();
        EXPECT_EQ(field(line, "status"), statuses[helper.index]);
        EXPECT_EQ(h.clock.readings, 2);
        EXPECT_DOUBLE_EQ(duration(line), 1.5);
        ASSERT_EQ(h.script.generations.size(), 1u);
        const Generation& g = h.script.generations[0];
        EXPECT_EQ(g.schemaName, schemas[helper.index]);
        EXPECT_TRUE(g.includeSchemaInPrompt);
        EXPECT_EQ(g.options.sampling, SamplingMode::greedy);
        EXPECT_FALSE(g.options.temperature.has_value());
        EXPECT_EQ(g.options.maximumResponseTokens, tokens[helper.index]);
        EXPECT_EQ(h.script.modelsMade, 1);
    }
}

TEST(HelperRunner, AGenerationErrorIsAFailureWithTheHelpersMessage) {
    const std::array<const char*, 4> messages = {
        "Apple could not analyze this transcript. Your transcript and previous chapters are unchanged. Try again.",
        "Apple could not suggest a meeting title. The saved title is unchanged.",
        "Apple could not analyze this transcript. Your transcript and previous topics are unchanged. Try again.",
        "Apple could not classify this transcript. No category was accepted. Retry with a supported, bounded English "
        "transcript."};
    const std::array<const char*, 4> codes = {"generation_failed", "generation_failed", "generation_failed",
                                              "generation_refusal"};
    for (const HelperUnderTest& helper : allHelpers()) {
        SCOPED_TRACE(helper.name);
        Harness h(helper, requestText(helper, sampleSegments()));
        h.script.error = LanguageModelPlatformError(LanguageModelPlatformError::Type::generationError, "refusal");
        h.run({actionFlag(helper)});
        const json::Value line = h.line();
        EXPECT_EQ(field(line, "status"), "failed");
        EXPECT_EQ(field(line, "code"), codes[helper.index]);
        EXPECT_EQ(field(line, "message"), messages[helper.index]);
        EXPECT_DOUBLE_EQ(duration(line), 1.5);
        // The platform's own description never reaches the user.
        EXPECT_EQ(h.sink.text.find("language model failed"), std::string::npos);
    }
}

TEST(HelperRunner, AResultThatCannotBeSerialisedEndsWithStatusOneAndNoOutput) {
    Harness h(allHelpers()[kTopics], "", {26, 0, 0}, "macOS \xff");
    EXPECT_EQ(h.run({"--doctor"}), 1);
    EXPECT_EQ(h.sink.writes, 0);
    EXPECT_TRUE(h.sink.text.empty());
}

TEST(HelperRunner, AResultThatCannotBeWrittenEndsWithStatusOne) {
    Harness h(allHelpers()[kCategories]);
    StringSink failing(true);
    HelperPlatform platform{h.info, h.provider, h.source, failing, std::ref(h.clock)};
    EXPECT_EQ(runHelper(*h.helper, {"--doctor"}, platform), 1);
    EXPECT_EQ(failing.writes, 1);
}

TEST(HelperRunner, CommandsAreReadExactly) {
    EXPECT_EQ(parseCommand({"--doctor"}, "--analyze"), Command::doctor);
    EXPECT_EQ(parseCommand({"--analyze"}, "--analyze"), Command::action);
    EXPECT_EQ(parseCommand({"--suggest"}, "--analyze"), Command::invalid);
    EXPECT_EQ(parseCommand({"--ANALYZE"}, "--analyze"), Command::invalid);
    EXPECT_EQ(parseCommand({}, "--analyze"), Command::invalid);
}

}  // namespace
}  // namespace quorvantel::analysis::testing
