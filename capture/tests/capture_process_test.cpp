// quorvantel-capture over pipes, as the host runs it, on the stand-in platform.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/foundation/json.h"
#include "tests/support/child_process.h"
#include "tests/support/elf_section.h"

extern char** environ;

namespace quorvantel::capture {
namespace {

using quorvantel::testing::ChildOptions;
using quorvantel::testing::ChildRun;
using quorvantel::testing::helperPath;
using quorvantel::testing::runChild;
using quorvantel::testing::writeTemporaryFile;

constexpr const char* kHelper = "quorvantel-capture";
constexpr const char* kUsage =
    "Usage: quorvantel-capture list | record --bundle-id <id> | record --all-system | meeting-metadata --bundle-id "
    "<id> | selftest | display-status";

// Runs the helper with the arguments over a scenario (none: the defaults).
ChildRun run(const std::vector<std::string>& arguments, const std::string& scenario = "") {
    ChildOptions options;
    options.arguments = arguments;
    std::string path;
    if (!scenario.empty()) {
        path = writeTemporaryFile(scenario, ".json");
        options.environment["QUORVANTEL_SIMULATION"] = path;
    }
    ChildRun result = runChild(helperPath(kHelper), options);
    if (!path.empty()) std::remove(path.c_str());
    return result;
}

std::string errorLine(const std::string& message) {
    std::string line = R"({"type":"error","message":)";
    json::writeString(line, message);
    return line + "}";
}

// Expects exactly one line and the exit status.
void expectOnly(const ChildRun& result, const std::string& line, int status, const std::string& what = "") {
    EXPECT_TRUE(result.exit.exited) << what;
    EXPECT_EQ(result.exit.exitStatus, status) << what;
    EXPECT_EQ(result.lines(), std::vector<std::string>{line}) << what;
    EXPECT_EQ(result.error, "") << what;
}

// A real process standing in for a running application: it waits until killed.
class ApplicationProcess {
public:
    ApplicationProcess() : pid_(::fork()) {
        if (pid_ == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~ApplicationProcess() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

std::string app(const std::string& bundleId, pid_t pid, const std::string& name = "Meet") {
    return R"({"bundleId":")" + bundleId + R"(","name":")" + name + R"(","pid":)" + std::to_string(pid) + "}";
}

TEST(CaptureProcess, WrongArgumentsGetTheUsageLine) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"list", "a", "b", "c", "d"},
        {"record", "--bundle-id"},
        {"LIST"},
        {"Selftest"},
        {"record", "--bundle-id=com.example.Meet"},
        {"display-status", "now"},
    };
    for (const auto& arguments : cases) {
        expectOnly(run(arguments), errorLine(kUsage), 1, arguments.empty() ? "(none)" : arguments[0]);
    }
}

TEST(CaptureProcess, BundleIdentifierValidation) {
    const std::string invalid = errorLine("Invalid application bundle identifier.");
    const std::string notRunning =
        errorLine("The selected application is no longer running. Open it and select it again.");
    const std::string id255(255, 'a');
    expectOnly(run({"meeting-metadata", "--bundle-id", id255}),
               R"({"type":"meeting-metadata","schemaVersion":1,"applicationId":")" + id255 +
                   R"(","status":"unavailable","reason":"app-unavailable"})",
               0, "255 characters");
    expectOnly(run({"meeting-metadata", "--bundle-id", std::string(256, 'a')}), invalid, 1, "256 characters");
    expectOnly(run({"record", "--bundle-id", std::string(256, 'a')}), invalid, 1, "256 characters, record");
    expectOnly(run({"record", "--bundle-id", ""}), invalid, 1, "empty, record");
    // A space passes the recording's validation; it then fails only for want of the app.
    expectOnly(run({"meeting-metadata", "--bundle-id", "com.example.My App"}), invalid, 1, "space, metadata");
    expectOnly(run({"record", "--bundle-id", "com.example.My App"}), notRunning, 1, "space, record");
    expectOnly(run({"record", "--bundle-id", id255}), notRunning, 1, "255 characters, record");
}

TEST(CaptureProcess, ListsSelectableApplicationsOncePerIdentifierByName) {
    const std::string scenario = R"({"applications":[
        {"bundleId":"com.example.zoom","name":"zoom","pid":10},
        {"bundleId":"com.example.Meet","name":"Meet, first","pid":11},
        {"bundleId":"com.example.Chat","name":"chat","pid":12},
        {"bundleId":"com.example.Meet","name":"Meet","pid":13},
        {"bundleId":"com.example.Agent","name":"Agent","pid":14,"activationPolicy":"accessory"},
        {"bundleId":"com.example.Gone","name":"Gone","pid":15,"terminated":true},
        {"bundleId":"org.quorvantel.desktop","name":"Tovrel","pid":16},
        {"bundleId":"com.github.Electron","name":"Electron","pid":17},
        {"bundleId":"","name":"Empty","pid":18},
        {"name":"No identifier","pid":19},
        {"bundleId":"com.example.Nameless","name":null,"pid":20},
        {"bundleId":"com.example.Browser","name":"Browser","pid":21}]})";
    expectOnly(run({"list"}, scenario),
               R"({"type":"sources","sources":[{"id":"com.example.Browser","name":"Browser"},)"
               R"({"id":"com.example.Chat","name":"chat"},{"id":"com.example.Nameless","name":"com.example.Nameless"},)"
               R"({"id":"com.example.Meet","name":"Meet"},{"id":"com.example.zoom","name":"zoom"}]})",
               0);
    expectOnly(run({"list"}), R"({"type":"sources","sources":[]})", 0, "no applications");
}

TEST(CaptureProcess, MeetingMetadataStatuses) {
    const std::string id = "com.example.QuorvantelMetadataFixture";
    const std::string prefix = R"({"type":"meeting-metadata","schemaVersion":1,"applicationId":")" + id + "\",";
    const std::string running = R"("applications":[{"bundleId":")" + id + R"(","name":"Fixture","pid":42}])";
    struct Case {
        const char* what;
        std::string scenario;
        std::string tail;
    };
    const Case cases[] = {
        {"available", "{" + running + R"(,"windows":[{"ownerPid":99,"layer":0,"name":"UNRELATED SYNTHETIC TITLE"},)"
                          R"({"ownerPid":42,"layer":0,"name":"  Cedar planning - Google Meet  "}]})",
         R"("status":"available","windowTitle":"Cedar planning - Google Meet"})"},
        {"denied", "{" + running + R"(,"screenCaptureAccess":false,"windows":[{"ownerPid":42,"layer":0,"name":"x"}]})",
         R"("status":"denied"})"},
        {"denied even without the application", R"({"screenCaptureAccess":false})", R"("status":"denied"})"},
        {"not running", R"({"windows":[{"ownerPid":42,"layer":0,"name":"x"}]})",
         R"("status":"unavailable","reason":"app-unavailable"})"},
        {"no window list", "{" + running + R"(,"windows":null})", R"("status":"unavailable","reason":"query-failed"})"},
        {"a malformed entry", "{" + running + R"(,"windows":[[42,0,"x"]]})",
         R"("status":"unavailable","reason":"query-failed"})"},
        {"a malformed layer", "{" + running + R"(,"windows":[{"ownerPid":42,"layer":"0","name":"x"}]})",
         R"("status":"unavailable","reason":"query-failed"})"},
        {"no windows", "{" + running + "}", R"("status":"unavailable","reason":"no-window-title"})"},
        {"a title with a line break", "{" + running + R"(,"windows":[{"ownerPid":42,"layer":0,"name":"Cedar\nPlanning"}]})",
         R"("status":"unavailable","reason":"no-window-title"})"},
        {"two ordinary windows", "{" + running + R"(,"windows":[{"ownerPid":42,"layer":0,"name":"a"},{"ownerPid":42,"layer":0}]})",
         R"("status":"ambiguous"})"},
    };
    for (const auto& c : cases) expectOnly(run({"meeting-metadata", "--bundle-id", id}, c.scenario), prefix + c.tail, 0, c.what);
}

TEST(CaptureProcess, DisplayStatusStatesAndErrorForms) {
    struct Case {
        std::string displays;
        std::string tail;
        int status;
    };
    const Case cases[] = {
        {"", R"("onlineDisplayCount":1,"activeDisplayCount":1,"asleepDisplayCount":0,"state":"active-displays"})", 0},
        {R"({"online":[],"active":0})",
         R"("onlineDisplayCount":0,"activeDisplayCount":0,"asleepDisplayCount":0,"state":"no-online-displays"})", 0},
        {R"({"online":[{"asleep":true},{"asleep":true}]})",
         R"("onlineDisplayCount":2,"activeDisplayCount":0,"asleepDisplayCount":2,"state":"all-displays-asleep"})", 0},
        {R"({"online":[{},{}],"active":1})",
         R"("onlineDisplayCount":2,"activeDisplayCount":1,"asleepDisplayCount":0,"state":"active-displays"})", 0},
        {R"({"online":[{}],"active":0})",
         R"("onlineDisplayCount":1,"activeDisplayCount":0,"asleepDisplayCount":0,"state":"no-active-displays"})", 0},
        {R"({"online":[{"asleep":true},{}],"active":2})",
         R"("onlineDisplayCount":2,"activeDisplayCount":2,"asleepDisplayCount":1,"state":"inconsistent"})", 0},
        {R"({"onlineError":1001})", R"("query":"online","reason":"query-failed","errorCode":1001})", 1},
        {R"({"activeError":1000})", R"("query":"active","reason":"query-failed","errorCode":1000})", 1},
        {R"({"online":[)" + [] {
             std::string many;
             for (int i = 0; i < 65; ++i) many += i ? ",{}" : "{}";
             return many;
         }() + "]}",
         R"("query":"online","reason":"display-limit-exceeded"})", 1},
    };
    for (const auto& c : cases) {
        const auto result = run({"display-status"}, c.displays.empty() ? "" : R"({"displays":)" + c.displays + "}");
        const auto lines = result.lines();
        ASSERT_EQ(lines.size(), 1u) << c.displays;
        EXPECT_EQ(result.exit.exitStatus, c.status) << c.displays;
        const std::string prefix = std::string(R"({"type":"display-status","schemaVersion":1,"status":")") +
                                   (c.status == 0 ? "ok" : "error") + R"(","observedAt":")";
        ASSERT_EQ(lines[0].substr(0, prefix.size()), prefix) << lines[0];
        // "2026-01-15T09:30:00.123Z", then the rest.
        const std::string at = lines[0].substr(prefix.size(), 24);
        EXPECT_EQ(at.size(), 24u);
        EXPECT_EQ(at[4], '-');
        EXPECT_EQ(at[10], 'T');
        EXPECT_EQ(at[19], '.');
        EXPECT_EQ(at[23], 'Z');
        EXPECT_EQ(lines[0].substr(prefix.size() + 24), "\"," + c.tail) << c.displays;
    }
}

TEST(CaptureProcess, SelfTestPasses) { expectOnly(run({"selftest"}), R"({"type":"selftest","ok":true})", 0); }

TEST(CaptureProcess, RecordingAnApplicationThatDoesNotRun) {
    expectOnly(run({"record", "--bundle-id", "com.example.Meet"},
                   R"({"applications":[{"bundleId":"com.example.Other","name":"Other","pid":1}]})"),
               errorLine("The selected application is no longer running. Open it and select it again."), 1);
}

TEST(CaptureProcess, RecordingAnApplicationThatRunsTwice) {
    ApplicationProcess first, second;
    const std::string scenario = R"({"applications":[)" + app("com.example.Meet", first.pid()) + "," +
                                 app("com.example.Meet", second.pid()) + "]}";
    expectOnly(run({"list"}, scenario), R"({"type":"sources","sources":[{"id":"com.example.Meet","name":"Meet"}]})", 0);
    expectOnly(run({"record", "--bundle-id", "com.example.Meet"}, scenario),
               errorLine("The selected application is unavailable or has multiple instances. Open one instance and "
                         "select it again."),
               1);
}

TEST(CaptureProcess, RecordingAnApplicationWhoseProcessIsGone) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    expectOnly(run({"record", "--bundle-id", "com.example.Meet"}, R"({"applications":[)" + app("com.example.Meet", gone) + "]}"),
               errorLine("The selected application changed while preparing capture. Select it again."), 1);
}

// The selection passes with a real application process, and in all-system mode with
// the test as the host; what follows is the recording's own business.
TEST(CaptureProcess, RecordingPreparationPassesForARealProcess) {
    ApplicationProcess meet;
    const std::string scenario = R"({"applications":[)" + app("com.example.Meet", meet.pid()) +
                                 R"(],"audio":{"processes":[)" + std::to_string(meet.pid()) + "," +
                                 std::to_string(::getpid()) + "]}}";
    const std::vector<std::string> selectionMessages = {
        "The selected application is no longer running. Open it and select it again.",
        "The selected application is unavailable or has multiple instances. Open one instance and select it again.",
        "The selected application changed while preparing capture. Select it again.",
        "macOS could not verify the recording source process. Try recording again.",
        "macOS returned too many computer audio processes. Recording was not started.",
    };
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"record", "--bundle-id", "com.example.Meet"},
          std::vector<std::string>{"record", "--all-system"}}) {
        const auto result = run(arguments, scenario);
        ASSERT_FALSE(result.lines().empty()) << arguments[1];
        for (const auto& message : selectionMessages) EXPECT_NE(result.lines().back(), errorLine(message)) << arguments[1];
    }
}

TEST(CaptureProcess, RecordingRefusesAnOversizedProcessList) {
    std::string pids;
    for (int i = 0; i < 4097; ++i) {
        if (i > 0) pids += ',';
        pids += std::to_string(100000 + i);
    }
    expectOnly(run({"record", "--all-system"}, R"({"audio":{"processes":[)" + pids + "]}}"),
               errorLine("macOS returned too many computer audio processes. Recording was not started."), 1);
}

TEST(CaptureProcess, AClosedOutputPipeEndsWithStatusOneNotSigpipe) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]);  // nobody will ever read
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devNull, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, devNull, 2);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("QUORVANTEL_SIMULATION=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("QUORVANTEL_SIMULATION=" + quorvantel::testing::emptyScenarioPath());
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    // The test itself ignores SIGPIPE; the child must not rely on inheriting that.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const std::string path = helperPath(kHelper);
    for (const char* command : {"list", "selftest", "display-status"}) {
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(command), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp.data()), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status)) << command << " ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        }
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    ::close(devNull);
}

TEST(CaptureProcess, ABadScenarioEndsBeforeTheCommand) {
    const auto result = run({"list"}, R"({"applications":[{"pid":"x"}]})");
    EXPECT_EQ(result.exit.exitStatus, 70);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.error, "quorvantel simulation: applications[0].pid must be an integer\n");
}

TEST(CaptureProcess, CarriesItsPropertyList) {
    const auto plist = quorvantel::testing::readElfSection(helperPath(kHelper), "__info_plist");
    ASSERT_TRUE(plist.has_value());
    for (const char* entry :
         {"<key>CFBundleIdentifier</key>\n\t<string>org.quorvantel.capture</string>",
          "<key>CFBundleName</key>\n\t<string>Tovrel Audio Capture</string>",
          "<key>CFBundleVersion</key>\n\t<string>1</string>",
          "<key>NSAudioCaptureUsageDescription</key>\n\t<string>Tovrel records computer audio, either all computer "
          "audio or audio from an application you select, only while you have an active recording.</string>"}) {
        EXPECT_NE(plist->find(entry), std::string::npos) << entry;
    }
}

}  // namespace
}  // namespace quorvantel::capture
