#include "capture/command_line.h"

#include <gtest/gtest.h>

#include "capture/capture_failure.h"

namespace quorvantel::capture {
namespace {

std::string failureOf(const std::vector<std::string>& arguments) {
    try {
        parseCommand(arguments);
    } catch (const CaptureFailure& failure) {
        return failure.what();
    }
    return "";
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST(CaptureCommandLine, DispatchesByCountAndExactWords) {
    struct Case {
        std::vector<std::string> arguments;
        CommandKind kind;
        std::string bundleId;
    };
    const Case cases[] = {
        {{"list"}, CommandKind::list, ""},
        {{"selftest"}, CommandKind::selftest, ""},
        {{"display-status"}, CommandKind::displayStatus, ""},
        {{"record", "--all-system"}, CommandKind::recordAllSystem, ""},
        {{"record", "--bundle-id", "com.example.App"}, CommandKind::recordApplication, "com.example.App"},
        {{"meeting-metadata", "--bundle-id", "us.zoom.xos"}, CommandKind::meetingMetadata, "us.zoom.xos"},
    };
    for (const auto& c : cases) {
        const Command command = parseCommand(c.arguments);
        EXPECT_EQ(command.kind, c.kind) << c.arguments[0];
        EXPECT_EQ(command.bundleId, c.bundleId) << c.arguments[0];
    }
}

TEST(CaptureCommandLine, AnythingElseIsTheUsageFailure) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"list", "a", "b", "c", "d"},
        {"record", "--bundle-id"},
        {"record"},
        {"LIST"},
        {"Record", "--all-system"},
        {"record", "--all"},
        {"record", "--bundle-id=com.example.App"},
        {"record", "--all-system", "extra"},
        {"meeting-metadata", "--bundle-id"},
        {"meeting-metadata", "--all-system"},
        {"list", "--all-system"},
        {"selftest", "now"},
        {"display-status", "--bundle-id", "a"},
        {"record", "--Bundle-Id", "a"},
        {"record", "-b", "a"},
        {"help"},
        {""},
    };
    for (const auto& arguments : cases) {
        EXPECT_EQ(failureOf(arguments), kUsageMessage) << (arguments.empty() ? "(none)" : arguments[0]);
    }
}

TEST(CaptureCommandLine, BundleIdentifierLengthCountsUtf16Units) {
    struct Case {
        std::string id;
        bool accepted;
    };
    const Case cases[] = {
        {"", false},
        {"a", true},
        {std::string(255, 'a'), true},
        {std::string(256, 'a'), false},
        // Two bytes each in UTF-8, one UTF-16 unit: 255 of them fit.
        {repeat("\xC3\xA9", 255), true},
        {repeat("\xC3\xA9", 256), false},
        // Four bytes and two units each: 127 of them and one letter make 255 units.
        {repeat("\xF0\x9F\x8E\xA4", 127) + "a", true},
        {repeat("\xF0\x9F\x8E\xA4", 128), false},
    };
    for (const auto& c : cases) {
        for (const char* command : {"record", "meeting-metadata"}) {
            const bool metadata = std::string(command) == "meeting-metadata";
            // Characters outside the metadata alphabet are rejected there anyway.
            const bool ascii = c.id.find_first_not_of(kMetadataBundleIdentifierAlphabet) == std::string::npos;
            const bool expected = c.accepted && (!metadata || ascii);
            const std::string failure = failureOf({command, "--bundle-id", c.id});
            EXPECT_EQ(failure, expected ? "" : kInvalidBundleIdentifierMessage)
                << command << " with " << utf16Length(c.id) << " units";
        }
    }
}

TEST(CaptureCommandLine, MetadataIdentifiersUseTheirAlphabetOnly) {
    struct Case {
        std::string id;
        bool acceptedByMetadata;
    };
    const Case cases[] = {
        {"com.example.App", true},
        {"com.example.my-app_2", true},
        {"com.example.My App", false},
        {"com.example/App", false},
        {"com.example.\xC3\xA9", false},
        {"com.example.App\n", false},
        {"com.example.App;rm", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf({"meeting-metadata", "--bundle-id", c.id}),
                  c.acceptedByMetadata ? "" : kInvalidBundleIdentifierMessage)
            << c.id;
        // The recording accepts any characters; only the length is checked.
        EXPECT_EQ(failureOf({"record", "--bundle-id", c.id}), "") << c.id;
    }
}

TEST(CaptureCommandLine, IllFormedUtf8CountsOneReplacementPerSequence) {
    EXPECT_EQ(utf16Length("\xFF"), 1u);
    EXPECT_EQ(utf16Length("a\xE2\x82"), 2u);  // a truncated three-byte sequence is one character
    EXPECT_EQ(utf16Length("\xF0\x9F\x8E\xA4"), 2u);
    EXPECT_EQ(utf16Length(""), 0u);
}

}  // namespace
}  // namespace quorvantel::capture
