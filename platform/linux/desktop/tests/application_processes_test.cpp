#include "platform/linux/desktop/application_processes.h"

#include <gtest/gtest.h>

namespace quorvantel::desktop {
namespace {

ProcessFacts process(std::int32_t pid, std::int32_t ppid) {
    ProcessFacts facts;
    facts.pid = pid;
    facts.ppid = ppid;
    return facts;
}

ProcessFacts inUnit(std::int32_t pid, std::int32_t ppid, const char* unit) {
    ProcessFacts facts = process(pid, ppid);
    facts.unit = unit;
    return facts;
}

ProcessFacts launched(std::int32_t pid, std::int32_t ppid, const char* file, std::int32_t launchedPid) {
    ProcessFacts facts = process(pid, ppid);
    facts.launchedFile = file;
    facts.launchedPid = launchedPid;
    return facts;
}

std::vector<std::pair<std::int32_t, std::string>> found(const std::vector<ProcessFacts>& processes) {
    std::vector<std::pair<std::int32_t, std::string>> result;
    for (const auto& application : applicationProcesses(processes)) result.emplace_back(application.pid, application.id);
    return result;
}

using Found = std::vector<std::pair<std::int32_t, std::string>>;

TEST(ApplicationProcesses, OnlyTheApplicationsOwnProcessCountsNotWhatItStarts) {
    const char* meet = "app-gnome-org.example.Meet-100.scope";
    const std::vector<ProcessFacts> desktop = {
        process(10, 1),                  // the session's shell: no id
        inUnit(100, 10, meet),                // the application
        inUnit(101, 100, meet),               // its renderer
        inUnit(102, 101, meet),               // the renderer's audio helper
        inUnit(200, 10, "app-gnome-org.example.Meet-201.scope"),  // a second instance
        launched(300, 10, "/usr/share/applications/org.example.Editor.desktop", 300),
        launched(301, 300, "/usr/share/applications/org.example.Editor.desktop", 300),  // inherited variables
        launched(302, 10, "/usr/share/applications/org.example.Stale.desktop", 999),    // named another process
    };
    EXPECT_EQ(found(desktop), (Found{{100, "org.example.Meet"}, {200, "org.example.Meet"}, {300, "org.example.Editor"}}));
}

TEST(ApplicationProcesses, TheUnitDecidesBeforeTheLauncherAndTheSandboxLast) {
    // A terminal in its unit started a program through GLib: the program's process
    // carries both, and the unit (its parent's) makes it a descendant, not an app.
    auto child = launched(401, 400, "/usr/share/applications/org.example.Player.desktop", 401);
    child.unit = "app-gnome-org.gnome.Terminal-400.scope";
    ProcessFacts sandboxed = process(500, 10);
    sandboxed.flatpakId = "us.zoom.Zoom";
    ProcessFacts sandboxChild = process(501, 500);
    sandboxChild.flatpakId = "us.zoom.Zoom";
    ProcessFacts orphan = process(600, 1);
    orphan.unit = "session-2.scope";  // not an application unit: the next convention decides
    orphan.launchedFile = "/usr/share/applications/org.example.Clock.desktop";
    orphan.launchedPid = 600;
    const std::vector<ProcessFacts> processes = {
        process(10, 1), inUnit(400, 10, "app-gnome-org.gnome.Terminal-400.scope"), child, sandboxed,
        sandboxChild, orphan};
    EXPECT_EQ(found(processes), (Found{{400, "org.gnome.Terminal"}, {500, "us.zoom.Zoom"}, {600, "org.example.Clock"}}));
    const auto applications = applicationProcesses(processes);
    EXPECT_EQ(applications[2].desktopFile, "/usr/share/applications/org.example.Clock.desktop");
}

TEST(ApplicationProcesses, AParentOutsideTheSnapshotLeavesTheProcessItsOwnApplication) {
    EXPECT_EQ(found({inUnit(700, 5, "app-org.example.Meet.service"), inUnit(701, 700, "app-org.example.Meet.service")}),
              (Found{{700, "org.example.Meet"}}));
}

}  // namespace
}  // namespace quorvantel::desktop
