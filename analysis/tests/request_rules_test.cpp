// The request rules the four helpers share, as one table of cases run against each
// helper, with the few places where they differ marked per helper.
#include <gtest/gtest.h>

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/request.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"
#include "analysis/topics/meeting_topics_helper.h"

namespace quorvantel::analysis::testing {
namespace {

constexpr PerHelper kAll{true, true, true, true};
constexpr PerHelper kNone{false, false, false, false};
constexpr PerHelper kOnlyCategories{false, false, false, true};
constexpr PerHelper kAllButTitles{true, false, true, true};

// A request whose text pads it to exactly `bytes` bytes.
std::string requestOfSize(const HelperUnderTest& helper, std::size_t bytes) {
    const std::string empty = requestText(helper, {segment("a", "")});
    return requestText(helper, {segment("a", std::string(bytes - empty.size(), 'x'))});
}

json::Array manySegments(std::size_t count) {
    json::Array segments;
    // Two-character references keep 128 segments within the byte limit.
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (std::size_t i = 0; i < count; ++i) {
        segments.push_back(segment(std::string{kDigits[i / 36], kDigits[i % 36]}, "x"));
    }
    return segments;
}

std::string withMember(const HelperUnderTest& helper, const std::string& key, json::Value value) {
    json::Object object = requestObject(helper, sampleSegments());
    bool replaced = false;
    for (auto& member : object) {
        if (member.first == key) {
            member.second = value;
            replaced = true;
        }
    }
    if (!replaced) object.emplace_back(key, std::move(value));
    return requestText(object);
}

std::string withoutMember(const HelperUnderTest& helper, const std::string& key) {
    json::Object object = requestObject(helper, sampleSegments());
    std::erase_if(object, [&](const auto& member) { return member.first == key; });
    return requestText(object);
}

std::string withReference(const HelperUnderTest& helper, const std::string& reference) {
    return requestText(helper, {segment(reference, "We agreed on the budget.")});
}

std::string withText(const HelperUnderTest& helper, const std::string& text) {
    return requestText(helper, {segment("a", text)});
}

struct RuleCase {
    const char* name;
    std::function<std::string(const HelperUnderTest&)> bytes;
    PerHelper accepted;
};

const std::vector<RuleCase>& ruleCases() {
    static const std::vector<RuleCase> cases = {
        {"a short valid request", [](const auto& h) { return requestText(h, sampleSegments()); }, kAll},
        {"exactly 4000 bytes", [](const auto& h) { return requestOfSize(h, 4000); }, kAll},
        {"4001 bytes of well-formed JSON", [](const auto& h) { return requestOfSize(h, 4001); }, kNone},
        {"an extra top-level key", [](const auto& h) { return withMember(h, "extra", 1); }, kNone},
        {"no segments key", [](const auto& h) { return withoutMember(h, "segments"); }, kNone},
        {"no locale key", [](const auto& h) { return withoutMember(h, "locale"); }, kNone},
        {"no schemaVersion key", [](const auto& h) { return withoutMember(h, "schemaVersion"); }, kNone},
        {"a key written twice",
         [](const auto& h) {
             std::string text = requestText(h, sampleSegments());
             return text.insert(1, "\"locale\":\"en-US\",");
         },
         kNone},
        {"an extra key in a segment",
         [](const auto& h) {
             return requestText(h, {json::Object{{"reference", "a"}, {"text", "Budget"}, {"speaker", "x"}}});
         },
         kNone},
        {"a segment without text",
         [](const auto& h) { return requestText(h, {json::Object{{"reference", "a"}}}); }, kNone},
        {"a segment that is not an object", [](const auto& h) { return requestText(h, {json::Value("a")}); }, kNone},
        {"segments that are not an array", [](const auto& h) { return withMember(h, "segments", "a"); }, kNone},
        {"a text that is a number",
         [](const auto& h) { return requestText(h, {json::Object{{"reference", "a"}, {"text", 5}}}); }, kNone},
        {"a reference that is a number",
         [](const auto& h) { return requestText(h, {json::Object{{"reference", 7}, {"text", "Budget"}}}); }, kNone},
        {"locale with a lower-case region", [](const auto& h) { return withMember(h, "locale", "en-us"); }, kNone},
        {"locale of another region", [](const auto& h) { return withMember(h, "locale", "en-GB"); }, kNone},
        {"locale with an underscore", [](const auto& h) { return withMember(h, "locale", "en_US"); }, kNone},
        {"locale that is not a string", [](const auto& h) { return withMember(h, "locale", 1); }, kNone},
        {"schemaVersion 3", [](const auto& h) { return withMember(h, "schemaVersion", 3); }, kNone},
        {"schemaVersion 0", [](const auto& h) { return withMember(h, "schemaVersion", 0); }, kNone},
        {"schemaVersion as a string", [](const auto& h) { return withMember(h, "schemaVersion", "1"); }, kNone},
        {"schemaVersion as a fraction", [](const auto& h) { return withMember(h, "schemaVersion", 1.5); }, kNone},
        {"128 segments", [](const auto& h) { return requestText(h, manySegments(128)); }, kAll},
        {"129 segments", [](const auto& h) { return requestText(h, manySegments(129)); }, kNone},
        {"no segments", [](const auto& h) { return requestText(h, {}); }, kOnlyCategories},
        {"two segments with one reference",
         [](const auto& h) { return requestText(h, {segment("a", "Budget"), segment("a", "Roadmap")}); }, kNone},
        {"a reference of 64 characters", [](const auto& h) { return withReference(h, std::string(64, 'a')); }, kAll},
        {"a reference of 65 characters", [](const auto& h) { return withReference(h, std::string(65, 'a')); },
         kNone},
        {"a reference of dashes, underscores and digits", [](const auto& h) { return withReference(h, "A-9_z"); },
         kAll},
        {"an empty reference", [](const auto& h) { return withReference(h, ""); }, kNone},
        {"a reference holding a space", [](const auto& h) { return withReference(h, "a b"); }, kNone},
        {"a reference holding a dot", [](const auto& h) { return withReference(h, "a.b"); }, kNone},
        {"a reference holding a colon", [](const auto& h) { return withReference(h, "a:b"); }, kNone},
        {"a reference with a trailing line feed", [](const auto& h) { return withReference(h, "ab\n"); }, kNone},
        {"a reference of accented Latin letters", [](const auto& h) { return withReference(h, "caf\u00e9"); },
         kOnlyCategories},
        {"a reference of Greek letters", [](const auto& h) { return withReference(h, "\u03b1\u03b2\u03b3"); },
         kOnlyCategories},
        {"a reference with a combining mark", [](const auto& h) { return withReference(h, "e\u0301"); },
         kOnlyCategories},
        {"a reference of 64 bytes in two-byte letters",
         [](const auto& h) {
             std::string reference;
             for (int i = 0; i < 32; ++i) reference += "\u00e9";
             return withReference(h, reference);
         },
         kOnlyCategories},
        {"a reference of 65 bytes with two-byte letters",
         [](const auto& h) {
             std::string reference = "a";
             for (int i = 0; i < 32; ++i) reference += "\u00e9";
             return withReference(h, reference);
         },
         kNone},
        {"a reference holding an emoji", [](const auto& h) { return withReference(h, "a\U0001F600"); }, kNone},
        {"an empty text", [](const auto& h) { return withText(h, ""); }, kOnlyCategories},
        {"a text of spaces", [](const auto& h) { return withText(h, "   "); }, kAllButTitles},
        {"a text of line breaks and tabs", [](const auto& h) { return withText(h, "\n\t\r\n"); }, kAllButTitles},
        {"a text of no-break spaces", [](const auto& h) { return withText(h, "\u00a0\u3000"); }, kAllButTitles},
        {"a text with surrounding spaces", [](const auto& h) { return withText(h, "  budget  "); }, kAll},
        {"bytes that are not JSON", [](const auto&) { return std::string("schemaVersion=1"); }, kNone},
        {"an empty input", [](const auto&) { return std::string(); }, kNone},
        {"a top-level array", [](const auto& h) { return "[" + requestText(h, sampleSegments()) + "]"; }, kNone},
        {"a JSON text followed by more",
         [](const auto& h) { return requestText(h, sampleSegments()) + "{}"; }, kNone},
        {"bytes that are not UTF-8",
         [](const auto& h) {
             std::string text = requestText(h, {segment("a", "budget")});
             return text.insert(text.find("budget"), "\xff");
         },
         kNone},
    };
    return cases;
}

TEST(RequestRules, EachCaseIsJudgedAlikeByTheHelpersThatShareTheRule) {
    for (const RuleCase& rule : ruleCases()) {
        for (const HelperUnderTest& helper : allHelpers()) {
            SCOPED_TRACE(std::string(rule.name) + " (" + helper.name + ")");
            const std::exception_ptr error = readError(helper, rule.bytes(helper));
            EXPECT_EQ(error == nullptr, rule.accepted[helper.index]);
        }
    }
}

// The typed reading keeps the text exactly as sent: no trimming, no normalisation.
TEST(RequestRules, TheValidatedRequestKeepsTheTextsAsSent) {
    const Request request = validateRequest(
        requestText(allHelpers()[kTopics], {segment("a", "  budget\u00a0"), segment("b", "caf\u00e9")}),
        topics::topicsRequestRules());
    ASSERT_EQ(request.segments.size(), 2u);
    EXPECT_EQ(request.segments[0].reference, "a");
    EXPECT_EQ(request.segments[0].text, "  budget\u00a0");
    EXPECT_EQ(request.segments[1].text, "caf\u00e9");
    EXPECT_EQ(request.locale, "en-US");
    EXPECT_EQ(request.schemaVersion, 1);
}

// Topics alone tells the kinds of invalid request apart, so the errors raised must be
// the right ones.
TEST(RequestRules, EachKindOfBadInputRaisesItsOwnError) {
    const HelperUnderTest& topics = allHelpers()[kTopics];
    const auto raises = [&](const std::string& bytes) -> std::string {
        try {
            std::rethrow_exception(readError(topics, bytes));
        } catch (const InputError&) {
            return "input";
        } catch (const RequestDecodingError&) {
            return "decoding";
        } catch (const json::ParseError&) {
            return "parse";
        } catch (...) {
            return "other";
        }
    };
    EXPECT_EQ(raises("not json"), "parse");
    EXPECT_EQ(raises(""), "parse");
    EXPECT_EQ(raises("5"), "parse");
    EXPECT_EQ(raises("[]"), "input");
    EXPECT_EQ(raises(withMember(topics, "locale", "en-GB")), "input");
    EXPECT_EQ(raises(requestOfSize(topics, 4001)), "input");
    EXPECT_EQ(raises(requestText(topics, {json::Object{{"reference", "a"}, {"text", 5}}})), "decoding");
    EXPECT_EQ(raises(withMember(topics, "schemaVersion", "1")), "decoding");
}

struct ReadCase {
    const char* name;
    std::size_t size;
    std::size_t chunk;
    std::size_t expectedHeld;
};

TEST(RequestBytes, ReadingStopsOnceMoreThanTheLimitIsHeld) {
    const std::vector<ReadCase> cases = {
        {"small input in one read", 10, SIZE_MAX, 10},
        {"exactly the limit", 4000, SIZE_MAX, 4000},
        {"exactly the limit in small reads", 4000, 7, 4000},
        {"one byte over", 4001, SIZE_MAX, 4001},
        {"far over in one read", 100000, SIZE_MAX, 4001},
        {"far over in small reads", 100000, 333, 4001},
        {"far over a byte at a time", 5000, 1, 4001},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        StringSource source(std::string(c.size, 'x'), c.chunk);
        EXPECT_EQ(readAtMost(source, kMaximumRequestBytes).size(), c.expectedHeld);
        // Never more than the limit and one byte is asked for at any read.
        EXPECT_LE(source.requested, 4001u * static_cast<std::size_t>(source.reads));
    }
}

TEST(RequestBytes, NoReadAsksForMoreThanTheBytesStillAllowed) {
    struct Recording final : ByteSource {
        std::vector<std::size_t> asked;
        std::size_t left = 5000;
        std::size_t read(char* buffer, std::size_t maximum) override {
            asked.push_back(maximum);
            const std::size_t n = std::min<std::size_t>({maximum, left, 1500});
            std::fill(buffer, buffer + n, 'x');
            left -= n;
            return n;
        }
    } source;
    EXPECT_EQ(readAtMost(source, 4000).size(), 4001u);
    EXPECT_EQ(source.asked, (std::vector<std::size_t>{4001, 2501, 1001}));
}

TEST(RequestBytes, AFailedReadIsAReadError) {
    StringSource source(std::string(100, 'x'), 10, 30);
    EXPECT_THROW(readAtMost(source, kMaximumRequestBytes), ReadError);
}

}  // namespace
}  // namespace quorvantel::analysis::testing
