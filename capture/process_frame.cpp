#include "capture/process_frame.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "capture/capture_failure.h"
#include "capture/command_line.h"
#include "capture/display_status.h"
#include "capture/meeting_metadata.h"
#include "capture/running_applications.h"
#include "capture/selftest.h"
#include "capture/stop_flag.h"
#include "platform/foundation/service_failure.h"

namespace quorvantel::capture {
namespace {

void addNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void record(const Command& command, CapturePlatform& platform, const LineOutput& output, int controlFd) {
    const IsolationPlatform isolationPlatform{platform.workspace,    platform.processObjects, platform.tapDescriptions,
                                              platform.readIdentity, platform.ownPid(),       platform.parentPid(),
                                              platform.ownBundleIdentifier};
    ProcessIsolation isolation = ProcessIsolation::prepare(command.kind == CommandKind::recordAllSystem,
                                                           command.bundleId, isolationPlatform);
    RecordingContext context{isolation, output, controlFd};
    platform.record(context);
}

int run(const Command& command, CapturePlatform& platform, const LineOutput& output, int controlFd) {
    switch (command.kind) {
        case CommandKind::list:
            output.emit(sourcesLine(selectableSources(runningApplications(platform.workspace))));
            return 0;
        case CommandKind::recordApplication:
        case CommandKind::recordAllSystem:
            record(command, platform, output, controlFd);
            return 0;
        case CommandKind::meetingMetadata:
            output.emit(meetingMetadata(command.bundleId, platform.workspace, platform.screenCaptureAccess,
                                        platform.windowList));
            return 0;
        case CommandKind::selftest:
            runProcessIsolationFixtures();
            runMeetingMetadataFixtures();
            if (platform.recordingSelfTests) platform.recordingSelfTests();
            output.emit(json::Object{{"type", "selftest"}, {"ok", true}});
            return 0;
        case CommandKind::displayStatus: {
            auto result =
                displayStatus(platform.displayList, iso8601Milliseconds(platform.wallClockMilliseconds()));
            output.emit(result.line);
            return result.exitStatus;
        }
    }
    return 0;
}

}  // namespace

void startUp() {
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = signalHandler;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    addNonBlocking(STDIN_FILENO);
    addNonBlocking(STDOUT_FILENO);
}

void writeErrorLine(const LineOutput& output, const std::string& message) {
    json::Value line = json::Object{{"type", "error"}, {"message", message}};
    try {
        json::write(line, json::KeyOrder::insertion);
    } catch (const json::WriteError&) {
        line = json::Object{{"type", "error"}, {"message", kUnrepresentableFailureMessage}};
    }
    try {
        output.emit(line, kErrorLineTimeoutMs);
    } catch (const CaptureFailure&) {
        // The host is gone or not reading; the exit status is all that is left.
    }
}

int runCaptureCommand(const std::vector<std::string>& arguments, CapturePlatform& platform, const LineOutput& output,
                      int controlFd) {
    try {
        return run(parseCommand(arguments), platform, output, controlFd);
    } catch (const CaptureFailure& failure) {
        writeErrorLine(output, worded(failure.what(), platform.wording));
    } catch (const ServiceFailure& failure) {
        // A service of the machine that is missing or not running says so itself.
        writeErrorLine(output, failure.what());
    } catch (const std::exception&) {
        // Not one of the helper's own failures (memory exhausted, a library fault):
        // it has no sentence for the user, but it still ends the command with one.
        writeErrorLine(output, kUnrepresentableFailureMessage);
    }
    return 1;
}

}  // namespace quorvantel::capture
