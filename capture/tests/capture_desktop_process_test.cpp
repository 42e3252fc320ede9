// `quorvantel-capture` on a real Linux desktop, without a scenario: applications from
// desktop entries and /proc, windows and displays from a private X server with a
// window manager. The tests start their servers and applications and stop them by
// process id.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "capture/tests/servers/desktop_application.h"
#include "capture/tests/servers/x_server.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace quorvantel::capture {
namespace {

using testing::ChildOptions;
using testing::ChildRun;
using testing::DesktopApplication;
using testing::TemporaryFolder;
using testing::XClientWindow;
using testing::XServer;

// Identifiers of this test process's own applications: tests run side by side, each
// with applications of its own.
std::string ownId(const std::string& name) { return "org.example.Quorvantel" + std::to_string(::getpid()) + "." + name; }
const std::string kMeetingId = ownId("Meeting");
constexpr const char* kMeetingEntry =
    "[Desktop Entry]\nType=Application\nName=Meeting Room\nName[de]=Besprechungsraum\nExec=meeting\n";
// The application's process keeps running, and so does a helper it started, which
// inherits the launcher's variables and must not count as a second instance.
constexpr const char* kRunsWithAHelper = "sleep 60 & exec sleep 60";

ChildRun runHelper(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                   const std::vector<std::string>& unset = {}) {
    ChildOptions options;
    options.arguments = arguments;
    options.standIn = false;
    options.environment = environment;
    options.unset.insert(options.unset.end(), unset.begin(), unset.end());
    return testing::runChild(testing::helperPath("quorvantel-capture"), options);
}

json::Value onlyLine(const ChildRun& run) {
    const auto lines = run.lines();
    EXPECT_EQ(lines.size(), 1u) << run.output << run.error;
    return lines.empty() ? json::Value() : json::parse(lines.front());
}

std::string keyOf(const json::Value& line, const char* key) {
    const json::Value* value = line.find(key);
    if (value == nullptr) return "<none>";
    return value->isString() ? value->asString() : json::write(*value, json::KeyOrder::insertion);
}

TEST(CaptureDesktop, ListsRunningApplicationsByTheirEntriesInTheUsersLanguage) {
    TemporaryFolder folder;
    DesktopApplication meeting(folder, kMeetingId, kMeetingEntry, kRunsWithAHelper);
    DesktopApplication tray(folder, ownId("Tray"),
                            "[Desktop Entry]\nType=Application\nName=Tray\nNoDisplay=true\n", "exec sleep 60");
    DesktopApplication player(folder, ownId("Player"),
                              "[Desktop Entry]\nType=Application\nName=player\n", "exec sleep 60");
    const struct {
        const char* language;
        const char* meetingName;
    } cases[] = {{"de_DE.UTF-8", "Besprechungsraum"}, {"C", "Meeting Room"}};
    for (const auto& c : cases) {
        const ChildRun run = runHelper({"list"}, {{"LANG", c.language}}, {"LC_ALL", "LC_MESSAGES"});
        EXPECT_EQ(run.exit.exitStatus, 0) << run.error;
        const json::Value line = onlyLine(run);
        ASSERT_EQ(keyOf(line, "type"), "sources");
        // Other applications of this machine may run too; these are this test's own.
        std::vector<std::pair<std::string, std::string>> ours;
        for (const json::Value& source : line.find("sources")->asArray()) {
            const std::string id = source.find("id")->asString();
            if (id.starts_with(ownId(""))) ours.emplace_back(id, source.find("name")->asString());
        }
        // Sorted by name, case aside; the accessory is not offered; one entry per app.
        const std::vector<std::pair<std::string, std::string>> expected = {
            {kMeetingId, c.meetingName}, {ownId("Player"), "player"}};
        EXPECT_EQ(ours, expected) << c.language;
    }
}

TEST(CaptureDesktop, MeetingMetadataReadsTheApplicationsWindowFromTheWindowManager) {
    XServer x;
    TemporaryFolder folder;
    DesktopApplication meeting(folder, kMeetingId, kMeetingEntry, kRunsWithAHelper);
    const std::uint32_t pid = std::uint32_t(meeting.pid());
    const std::map<std::string, std::string> environment = {{"DISPLAY", x.display()}};
    const auto metadata = [&] { return onlyLine(runHelper({"meeting-metadata", "--bundle-id", kMeetingId}, environment)); };

    // Nothing yet but a window of another process.
    XClientWindow unrelated(x.display(), {std::uint32_t(::getpid()), "UNRELATED SYNTHETIC TITLE", "", true});
    json::Value line = metadata();
    EXPECT_EQ(keyOf(line, "status"), "unavailable");
    EXPECT_EQ(keyOf(line, "reason"), "no-window-title");

    {
        XClientWindow window(x.display(), {pid, "  Cedar planning - Video Call  ", "", true});
        line = metadata();
        EXPECT_EQ(keyOf(line, "status"), "available");
        EXPECT_EQ(keyOf(line, "windowTitle"), "Cedar planning - Video Call");
        EXPECT_EQ(keyOf(line, "applicationId"), kMeetingId);
        EXPECT_EQ(line.asObject().size(), 5u);

        // A minimised second window still makes two candidates.
        XClientWindow second(x.display(), {pid, "Second synthetic meeting", "", false});
        EXPECT_EQ(keyOf(metadata(), "status"), "ambiguous");
    }
    // A toolkit that sets only the old Latin-1 title.
    XClientWindow old(x.display(), {pid, "", "Caf\xe9 call", true});
    line = metadata();
    EXPECT_EQ(keyOf(line, "status"), "available");
    EXPECT_EQ(keyOf(line, "windowTitle"), "Caf\xc3\xa9 call");

    EXPECT_EQ(keyOf(onlyLine(runHelper({"meeting-metadata", "--bundle-id", ownId("NotRunning")}, environment)),
                    "reason"),
              "app-unavailable");
}

TEST(CaptureDesktop, DisplayStatusCountsTheServersMonitor) {
    XServer x;
    const std::map<std::string, std::string> environment = {{"DISPLAY", x.display()}};
    ChildRun run = runHelper({"display-status"}, environment);
    EXPECT_EQ(run.exit.exitStatus, 0) << run.error;
    json::Value line = onlyLine(run);
    EXPECT_EQ(keyOf(line, "status"), "ok");
    EXPECT_EQ(keyOf(line, "onlineDisplayCount"), "1");
    EXPECT_EQ(keyOf(line, "activeDisplayCount"), "1");
    EXPECT_EQ(keyOf(line, "asleepDisplayCount"), "0");
    EXPECT_EQ(keyOf(line, "state"), "active-displays");
}

TEST(CaptureDesktop, WithoutAnXDisplayWindowsAndDisplaysSaySoInOneSentence) {
    const ChildRun metadata = runHelper({"meeting-metadata", "--bundle-id", kMeetingId}, {}, {"DISPLAY"});
    EXPECT_EQ(metadata.exit.exitStatus, 0);
    EXPECT_EQ(keyOf(onlyLine(metadata), "status"), "denied");
    EXPECT_NE(metadata.error.find("No X display answers"), std::string::npos) << metadata.error;

    const ChildRun displays = runHelper({"display-status"}, {{"DISPLAY", ":0.999"}});
    EXPECT_EQ(displays.exit.exitStatus, 1);
    const json::Value line = onlyLine(displays);
    EXPECT_EQ(keyOf(line, "status"), "error");
    EXPECT_EQ(keyOf(line, "query"), "online");
    EXPECT_EQ(keyOf(line, "reason"), "query-failed");
    EXPECT_NE(displays.error.find("No X display answers"), std::string::npos) << displays.error;
}

}  // namespace
}  // namespace quorvantel::capture
