// quorvantel-capture: with QUORVANTEL_SIMULATION, on the stand-in platform (the real
// kernel and POSIX streams, stand-ins for AppKit, Core Audio and CoreGraphics built
// from the scenario); without it, on the Linux desktop it runs on (desktop entries
// and /proc for applications, PipeWire for computer audio, X11 for windows and
// displays).
#include <memory>
#include <string_view>
#include <vector>

#include "capture/info_plist.h"
#include "capture/process_frame.h"
#include "capture/recording_entry.h"
#include "platform/coreaudio/tap_description_record.h"
#include "platform/foundation/clock.h"
#include "platform/kernel/proc_bsd_info.h"
#include "platform/linux/desktop/desktop_workspace.h"
#include "platform/linux/pipewire/pipewire_devices.h"
#include "platform/linux/pipewire/pipewire_process_objects.h"
#include "platform/linux/x11/x_display_list.h"
#include "platform/linux/x11/x_screen_capture_access.h"
#include "platform/linux/x11/x_window_list.h"
#include "platform/sim/appkit/workspace_sim.h"
#include "platform/sim/coreaudio/aggregate_device_sim.h"
#include "platform/sim/coreaudio/process_objects_sim.h"
#include "platform/sim/coregraphics/sim_coregraphics.h"
#include "platform/sim/scenario.h"

using namespace quorvantel;

// The property list embedded in its own section (see Info.plist); the linker marks
// the section's bounds.
extern "C" const char __start___info_plist[];
extern "C" const char __stop___info_plist[];

namespace {

struct StandIns {
    explicit StandIns(const json::Value& scenario)
        : workspace(sim::Section::root(scenario)),
          processObjects(sim::Section::root(scenario).section("audio")),
          screenCaptureAccess(sim::Section::root(scenario)),
          windowList(sim::Section::root(scenario)),
          displayList(sim::Section::root(scenario)) {}

    sim::SimWorkspace workspace;
    sim::SimAudioProcessObjects processObjects;
    TapDescriptionRecords tapDescriptions;
    sim::SimScreenCaptureAccess screenCaptureAccess;
    sim::SimWindowList windowList;
    sim::SimDisplayList displayList;
};

struct LinuxDesktop {
    desktop::DesktopWorkspace workspace = desktop::DesktopWorkspace::fromEnvironment();
    pipewire::PipeWireGraph graph;
    pipewire::PipeWireProcessObjects processObjects{graph};
    TapDescriptionRecords tapDescriptions;
    x11::XConnection display;
    x11::XScreenCaptureAccess screenCaptureAccess{display};
    x11::XWindowList windowList{display};
    x11::XDisplayList displayList{display};
};

// NSBundle mainBundle bundleIdentifier: the identifier of the embedded list.
std::string mainBundleIdentifier() {
    const std::string_view plist(__start___info_plist, static_cast<std::size_t>(__stop___info_plist - __start___info_plist));
    return capture::infoPlistString(plist, "CFBundleIdentifier").value_or("");
}

capture::CapturePlatform platformOf(auto& services, std::function<void(capture::RecordingContext&)> record,
                                    capture::PlatformWording wording = {}) {
    return capture::CapturePlatform{
        services.workspace,
        services.processObjects,
        services.tapDescriptions,
        services.screenCaptureAccess,
        services.windowList,
        services.displayList,
        capture::readKernelIdentity,
        currentProcessIdentifier,
        parentProcessIdentifier,
        mainBundleIdentifier(),
        wallClockMilliseconds,
        // The recording: called once the selection checks have passed and the tap
        // description holds its first process list.
        std::move(record),
        capture::runRecordingSelfTests,
        std::move(wording),
    };
}

int runOnStandIns(const std::vector<std::string>& arguments) {
    const auto standIns =
        sim::loadScenarioOrExit([](const json::Value& scenario) { return std::make_unique<StandIns>(scenario); });
    capture::startUp();
    capture::CapturePlatform platform = platformOf(*standIns, [](capture::RecordingContext& context) {
        const auto hardware = sim::loadScenarioOrExit([](const json::Value& scenario) {
            return std::make_unique<sim::SimAggregateDeviceHardware>(
                sim::SimAudioSettings::fromScenario(sim::Section::root(scenario).section("audio")));
        });
        sim::SimMainRunLoop runLoop(*hardware);
        capture::runRecording(context, *hardware, runLoop);
    });
    return capture::runCaptureCommand(arguments, platform, capture::LineOutput(STDOUT_FILENO), STDIN_FILENO);
}

int runOnLinuxDesktop(const std::vector<std::string>& arguments) {
    capture::startUp();
    LinuxDesktop desktop;
    capture::CapturePlatform platform = platformOf(
        desktop,
        [&desktop](capture::RecordingContext& context) {
            pipewire::PipeWireDevices devices(desktop.graph, [&desktop](const std::vector<std::string>& bundleIDs) {
                return desktop.workspace.processesOfApplications(bundleIDs);
            });
            pipewire::PipeWireMainRunLoop runLoop;
            capture::runRecording(context, devices, runLoop);
        },
        capture::PlatformWording{"Linux", "PipeWire"});
    return capture::runCaptureCommand(arguments, platform, capture::LineOutput(STDOUT_FILENO), STDIN_FILENO);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return sim::simulationRequested() ? runOnStandIns(arguments) : runOnLinuxDesktop(arguments);
}
