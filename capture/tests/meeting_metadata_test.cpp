#include "capture/meeting_metadata.h"

#include <gtest/gtest.h>

#include "capture/tests/fakes.h"

namespace quorvantel::capture {
namespace {

using testing::application;
using testing::FakeWorkspace;

constexpr const char* kFixture = "com.example.QuorvantelMetadataFixture";

json::Value window(json::Value owner, json::Value layer, json::Value name) {
    return json::Object{{std::string(kCGWindowOwnerPID), std::move(owner)},
                        {std::string(kCGWindowLayer), std::move(layer)},
                        {std::string(kCGWindowName), std::move(name)}};
}

std::string line(const json::Value& value) { return json::write(value, json::KeyOrder::insertion); }

std::string unavailable(const char* reason) {
    return std::string(R"({"type":"meeting-metadata","schemaVersion":1,"applicationId":")") + kFixture +
           R"(","status":"unavailable","reason":")" + reason + "\"}";
}
std::string status(const char* s) {
    return std::string(R"({"type":"meeting-metadata","schemaVersion":1,"applicationId":")") + kFixture +
           R"(","status":")" + s + "\"}";
}
std::string available(const char* title) {
    return std::string(R"({"type":"meeting-metadata","schemaVersion":1,"applicationId":")") + kFixture +
           R"(","status":"available","windowTitle":")" + title + "\"}";
}

TEST(CaptureMeetingWindows, ClassifiesTheApplicationsOrdinaryWindows) {
    struct Case {
        const char* what;
        std::vector<std::int32_t> pids;
        std::optional<CFWindowInfoArray> windows;
        std::string expected;
    };
    json::Object withoutLayer{{std::string(kCGWindowOwnerPID), 42}, {std::string(kCGWindowName), "Meet"}};
    json::Object withoutName{{std::string(kCGWindowOwnerPID), 42}, {std::string(kCGWindowLayer), 0}};
    const Case cases[] = {
        {"one clean title among others", {42},
         CFWindowInfoArray{window(99, 0, "UNRELATED SYNTHETIC TITLE"), window(42, 0, "  Cedar planning - Google Meet  ")},
         available("Cedar planning - Google Meet")},
        {"no processes", {}, CFWindowInfoArray{window(42, 0, "Meet")}, unavailable("app-unavailable")},
        {"no window list", {42}, std::nullopt, unavailable("query-failed")},
        {"too many windows", {42}, CFWindowInfoArray(kMaximumWindowEntries + 1, window(99, 0, "x")),
         unavailable("query-failed")},
        {"the most windows", {42}, CFWindowInfoArray(kMaximumWindowEntries, window(42, 3, "x")),
         unavailable("no-window-title")},
        {"no windows", {42}, CFWindowInfoArray{}, unavailable("no-window-title")},
        {"only others' windows", {42}, CFWindowInfoArray{window(99, 0, "UNRELATED SYNTHETIC TITLE")},
         unavailable("no-window-title")},
        {"two windows, the second without a name", {42},
         CFWindowInfoArray{window(42, 0, "Cedar"), json::Value(withoutName)}, status("ambiguous")},
        {"one window in each of two processes", {42, 43},
         CFWindowInfoArray{window(42, 0, "Cedar planning - Google Meet"), window(43, 0, "Second synthetic meeting")},
         status("ambiguous")},
        {"an empty title", {42}, CFWindowInfoArray{window(42, 0, "")}, unavailable("no-window-title")},
        {"only white space", {42}, CFWindowInfoArray{window(42, 0, " \t\n\xE3\x80\x80")}, unavailable("no-window-title")},
        {"a line break inside", {42}, CFWindowInfoArray{window(42, 0, "Cedar\nPlanning")}, unavailable("no-window-title")},
        {"a format character inside", {42}, CFWindowInfoArray{window(42, 0, "Cedar\xE2\x80\x8BPlanning")},
         unavailable("no-window-title")},
        {"501 letters", {42}, CFWindowInfoArray{window(42, 0, std::string(501, 'x'))}, unavailable("no-window-title")},
        {"a layer-1 window only", {42}, CFWindowInfoArray{window(42, 1, "Cedar")}, unavailable("no-window-title")},
        {"a name that is not text", {42}, CFWindowInfoArray{window(42, 0, 17)}, unavailable("no-window-title")},
        {"no name", {42}, CFWindowInfoArray{json::Value(withoutName)}, unavailable("no-window-title")},
        {"an entry that is not a dictionary", {42}, CFWindowInfoArray{json::Value("window"), window(42, 0, "Cedar")},
         unavailable("query-failed")},
        {"a layer that is not a number", {42}, CFWindowInfoArray{window(42, "0", "Cedar")}, unavailable("query-failed")},
        {"no layer", {42}, CFWindowInfoArray{json::Value(withoutLayer)}, unavailable("query-failed")},
        {"an owner that is not a number is not the application's", {42},
         CFWindowInfoArray{window("42", "bad", "x"), window(42, 0, "Cedar")}, available("Cedar")},
        {"others' malformed layers are not looked at", {42},
         CFWindowInfoArray{window(99, nullptr, "x"), window(42, 0, "Cedar")}, available("Cedar")},
        {"numbers compare by value", {42}, CFWindowInfoArray{window(42.0, 0.0, "Cedar")}, available("Cedar")},
        {"the walk ends at the second ordinary window", {42},
         CFWindowInfoArray{window(42, 0, "Cedar"), window(42, 0, "Other"), json::Value(7)}, status("ambiguous")},
        {"panels above an ordinary window", {42},
         CFWindowInfoArray{window(42, 25, "Menu"), window(42, 0, "Cedar"), window(42, 3, "Panel")}, available("Cedar")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(classifyMeetingWindows(kFixture, c.pids, c.windows)), c.expected) << c.what;
    }
}

TEST(CaptureMeetingWindows, TitlesAreTrimmedAndBounded) {
    struct Case {
        const char* what;
        std::string title;
        std::optional<std::string> clean;
    };
    std::string emoji250;
    for (int i = 0; i < 250; ++i) emoji250 += "\xF0\x9F\x8E\xA4";
    const Case cases[] = {
        {"plain", "Cedar", "Cedar"},
        {"spaces and line breaks around", "\r\n  Cedar planning \t\n", "Cedar planning"},
        {"no-break and ideographic spaces around", "\xC2\xA0" "Cedar" "\xE3\x80\x80", "Cedar"},
        {"inner spaces kept", "Cedar   planning", "Cedar   planning"},
        {"500 letters", std::string(500, 'x'), std::string(500, 'x')},
        {"500 letters after trimming", "  " + std::string(500, 'x') + "  ", std::string(500, 'x')},
        {"501 letters", std::string(501, 'x'), std::nullopt},
        {"250 emoji are 500 units", emoji250, emoji250},
        {"251 emoji are 502 units", emoji250 + "\xF0\x9F\x8E\xA4", std::nullopt},
        {"a tab inside", "Cedar\tplanning", std::nullopt},
        {"a soft hyphen inside", "Cedar\xC2\xADplanning", std::nullopt},
        {"accents", "R\xC3\xA9union", "R\xC3\xA9union"},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(cleanWindowTitle(c.title), c.clean) << c.what;
}

class FakeAccess final : public ScreenCaptureAccess {
public:
    explicit FakeAccess(std::vector<bool> answers) : answers_(std::move(answers)) {}
    bool CGPreflightScreenCaptureAccess() const override {
        const bool answer = answers_[std::min(calls_, answers_.size() - 1)];
        ++calls_;
        return answer;
    }

private:
    std::vector<bool> answers_;
    mutable std::size_t calls_ = 0;
};

class FakeWindows final : public WindowList {
public:
    std::optional<CFWindowInfoArray> windows = CFWindowInfoArray{};
    mutable CGWindowListOption option = 0;
    std::optional<CFWindowInfoArray> CGWindowListCopyWindowInfo(CGWindowListOption o, CGWindowID) const override {
        option = o;
        return windows;
    }
};

TEST(CaptureMeetingMetadata, LooksTwiceAtPermissionAndProcesses) {
    struct Case {
        const char* what;
        std::vector<bool> access;
        std::vector<std::vector<NSRunningApplication>> applications;
        std::string expected;
    };
    const std::vector<NSRunningApplication> once{application(kFixture, "Fixture", 42)};
    const std::vector<NSRunningApplication> twice{application(kFixture, "Fixture", 42),
                                                  application(kFixture, "Fixture", 43)};
    const Case cases[] = {
        {"classified", {true}, {once}, available("Cedar")},
        {"no permission", {false}, {once}, status("denied")},
        {"permission withdrawn meanwhile", {true, false}, {once}, status("denied")},
        {"not running", {true}, {{}}, unavailable("app-unavailable")},
        {"quit meanwhile", {true}, {once, {}}, unavailable("app-unavailable")},
        {"a second instance meanwhile", {true}, {once, twice}, unavailable("app-unavailable")},
        {"two instances throughout", {true}, {twice}, available("Cedar")},
    };
    for (const auto& c : cases) {
        FakeWorkspace workspace(c.applications.front());
        for (std::size_t i = 1; i < c.applications.size(); ++i) workspace.then(c.applications[i]);
        FakeAccess access(c.access);
        FakeWindows windows;
        windows.windows = CFWindowInfoArray{window(42, 0, "Cedar")};
        EXPECT_EQ(line(meetingMetadata(kFixture, workspace, access, windows)), c.expected) << c.what;
    }
    FakeWorkspace workspace(once);
    FakeAccess access({true});
    FakeWindows windows;
    meetingMetadata(kFixture, workspace, access, windows);
    EXPECT_EQ(windows.option, kCGWindowListExcludeDesktopElements);
}

}  // namespace
}  // namespace quorvantel::capture
