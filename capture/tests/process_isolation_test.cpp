#include "capture/process_isolation.h"

#include <gtest/gtest.h>

#include "capture/capture_failure.h"
#include "capture/owned_audio_processes.h"
#include "capture/tests/fakes.h"
#include "platform/coreaudio/tap_description_record.h"

namespace quorvantel::capture {
namespace {

using testing::application;
using testing::FakeProcessObjects;
using testing::FakeWorkspace;
using testing::identity;
using testing::IdentityTable;

constexpr std::int32_t kHelper = 700;
constexpr std::int32_t kHost = 600;
constexpr const char* kMeet = "com.example.Meet";

// The host 600 started the helper 700; the application 42 runs with a helper
// process 43; 99 is unrelated.
struct World {
    World() {
        identities.set(identity(kHost, 1, 500))
            .set(identity(kHelper, kHost, 600))
            .set(identity(650, kHost, 550))
            .set(identity(42, 1, 1000))
            .set(identity(43, 42, 1001))
            .set(identity(99, 1, 900));
        workspace = FakeWorkspace({application(kMeet, "Meet", 42), application("com.example.Other", "Other", 99)});
        objects.objects = {{0x40, 43}, {0x50, kHelper}, {0x60, 650}, {0x20, 42}, {0x90, 99}};
    }
    IsolationPlatform platform() {
        return {workspace, objects, descriptions, identities.reader(), kHelper, kHost, "org.quorvantel.capture"};
    }

    IdentityTable identities;
    FakeWorkspace workspace;
    FakeProcessObjects objects;
    TapDescriptionRecords descriptions;
};

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CaptureFailure& failure) {
        return failure.what();
    }
    return "";
}

TEST(CaptureProcessIsolation, ApplicationModeTapsTheApplicationsProcessTree) {
    World world;
    const auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(false, kMeet, platform);
    EXPECT_FALSE(isolation.allSystem());
    EXPECT_EQ(isolation.selectedPids(), std::vector<std::int32_t>{42});
    EXPECT_EQ(isolation.target(), world.identities.at(42));
    EXPECT_EQ(isolation.own(), world.identities.at(kHelper));
    EXPECT_EQ(isolation.tapBundleIdentifiers(), std::vector<std::string>{kMeet});
    EXPECT_EQ(isolation.tappedProcesses(), (std::vector<AudioObjectID>{0x20, 0x40}));

    const CATapDescription& description = isolation.tapDescription();
    EXPECT_FALSE(description.isExclusive());
    EXPECT_EQ(description.name(), "Tovrel selected application audio");
    EXPECT_TRUE(description.isPrivate());
    EXPECT_EQ(description.muteBehavior(), CATapMuteBehavior::CATapUnmuted);
    EXPECT_FALSE(description.isProcessRestoreEnabled());
    EXPECT_EQ(description.bundleIDs(), std::vector<std::string>{kMeet});
    EXPECT_EQ(description.processes(), (std::vector<AudioObjectID>{0x20, 0x40}));
}

TEST(CaptureProcessIsolation, AllSystemModeExcludesTheHostsTreeAndTheHelper) {
    World world;
    world.workspace.addHost(application("org.quorvantel.desktop", "Tovrel", kHost));
    const auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(true, "", platform);
    EXPECT_TRUE(isolation.selectedPids().empty());
    EXPECT_EQ(isolation.target(), world.identities.at(kHost));
    // The helper is a child of the host: its object is owned by both, listed once.
    EXPECT_EQ(isolation.tappedProcesses(), (std::vector<AudioObjectID>{0x50, 0x60}));
    EXPECT_TRUE(isolation.tapDescription().isExclusive());
    EXPECT_EQ(isolation.tapDescription().name(), "Tovrel all computer audio");
    EXPECT_EQ(isolation.tapBundleIdentifiers(),
              (std::vector<std::string>{"org.quorvantel.desktop", "org.quorvantel.capture"}));
}

TEST(CaptureProcessIsolation, AllSystemModeAddsTheHelpersOwnTreeWhenItIsNotTheHosts) {
    World world;
    // The helper was reparented away from the host's tree.
    world.identities.set(identity(kHelper, 1, 600));
    auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(true, "", platform);
    EXPECT_EQ(isolation.tappedProcesses(), (std::vector<AudioObjectID>{0x50, 0x60}));
}

TEST(CaptureProcessIsolation, TapBundleIdentifiersOfAllSystemMode) {
    struct Case {
        const char* what;
        std::optional<std::string> host;
        std::string own;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"host and helper", "org.quorvantel.desktop", "org.quorvantel.capture",
         {"org.quorvantel.desktop", "org.quorvantel.capture"}},
        {"a host without an application", std::nullopt, "org.quorvantel.capture", {"org.quorvantel.capture"}},
        {"a host with an empty identifier", "", "org.quorvantel.capture", {"org.quorvantel.capture"}},
        {"the same identifier twice", "org.quorvantel.capture", "org.quorvantel.capture", {"org.quorvantel.capture"}},
        {"no identifier of its own", "com.github.Electron", "", {"com.github.Electron"}},
    };
    for (const auto& c : cases) {
        World world;
        if (c.host) world.workspace.addHost(application(*c.host, "Host", kHost));
        auto platform = world.platform();
        platform.ownBundleIdentifier = c.own;
        EXPECT_EQ(ProcessIsolation::prepare(true, "", platform).tapBundleIdentifiers(), c.expected) << c.what;
    }
}

TEST(CaptureProcessIsolation, PreparationChecksAndTheirMessages) {
    struct Case {
        const char* what;
        bool allSystem;
        std::function<void(World&)> arrange;
        std::string message;
    };
    const auto twice = std::vector<NSRunningApplication>{application(kMeet, "Meet", 42), application(kMeet, "Meet", 43)};
    const auto once = std::vector<NSRunningApplication>{application(kMeet, "Meet", 42)};
    const auto relaunched = std::vector<NSRunningApplication>{application(kMeet, "Meet", 44)};
    const Case cases[] = {
        {"not running", false, [](World& w) { w.workspace = FakeWorkspace(); }, kNotRunningMessage},
        {"running twice", false, [&](World& w) { w.workspace = FakeWorkspace(twice); }, kMultipleInstancesMessage},
        {"gone on the second look", false,
         [&](World& w) {
             w.workspace = FakeWorkspace(once);
             w.workspace.then({});
         },
         kMultipleInstancesMessage},
        {"a second instance on the third look", false,
         [&](World& w) {
             w.workspace = FakeWorkspace(once);
             w.workspace.then(once);
             w.workspace.then(twice);
         },
         kChangedWhilePreparingMessage},
        {"relaunched on the third look", false,
         [&](World& w) {
             w.workspace = FakeWorkspace(once);
             w.workspace.then(once);
             w.workspace.then(relaunched);
         },
         kChangedWhilePreparingMessage},
        {"its process unreadable", false, [](World& w) { w.identities.changeAfter(42, 0, ProcessIdentity{}); },
         kChangedWhilePreparingMessage},
        {"its process replaced between two reads", false,
         [](World& w) { w.identities.changeAfter(42, 1, identity(42, 1, 2000)); }, kChangedWhilePreparingMessage},
        {"own process unreadable", false, [](World& w) { w.identities.changeAfter(kHelper, 0, ProcessIdentity{}); },
         kUnverifiedSourceMessage},
        {"host unreadable", true, [](World& w) { w.identities.changeAfter(kHost, 0, ProcessIdentity{}); },
         kUnverifiedSourceMessage},
        {"own process unreadable, all system", true,
         [](World& w) { w.identities.changeAfter(kHelper, 0, ProcessIdentity{}); }, kUnverifiedSourceMessage},
        {"host gone before the first refresh", true,
         [](World& w) { w.identities.changeAfter(kHost, 1, ProcessIdentity{}); }, kHostExitedMessage},
        {"too many processes", true, [](World& w) { w.objects.reportedSize = 16388; }, kTooManyProcessesMessage},
    };
    for (const auto& c : cases) {
        World world;
        c.arrange(world);
        auto platform = world.platform();
        EXPECT_EQ(failureOf([&] { ProcessIsolation::prepare(c.allSystem, c.allSystem ? "" : kMeet, platform); }),
                  c.message)
            << c.what;
    }
}

TEST(CaptureProcessIsolation, SelectedPidsAreTheVerifiedList) {
    World world;
    // Two instances at the first look, one of them quit before the second.
    world.workspace = FakeWorkspace({application(kMeet, "Meet", 42), application(kMeet, "Meet", 43)});
    world.workspace.then({application(kMeet, "Meet", 42)});
    auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(false, kMeet, platform);
    EXPECT_EQ(isolation.selectedPids(), std::vector<std::int32_t>{42});
    EXPECT_NO_THROW(isolation.refreshOncePerSecond({}));
}

TEST(CaptureProcessIsolation, RefreshGivesAChangedListToTheDescriptionAndTheTap) {
    World world;
    auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(false, kMeet, platform);
    std::vector<std::vector<AudioObjectID>> applied;
    const TapDescriptionApplier apply = [&](const CATapDescription& description) {
        EXPECT_FALSE(description.isProcessRestoreEnabled());
        applied.push_back(description.processes());
        return kAudioHardwareNoError;
    };
    isolation.refreshOncePerSecond(apply);
    EXPECT_TRUE(applied.empty());  // unchanged: the tap is left alone

    // The application starts a helper that plays audio.
    world.identities.set(identity(45, 43, 1100));
    world.objects.objects.push_back({0x45, 45});
    isolation.tapDescription().setProcessRestoreEnabled(true);
    isolation.refreshOncePerSecond(apply);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], (std::vector<AudioObjectID>{0x20, 0x40, 0x45}));
    EXPECT_EQ(isolation.tappedProcesses(), (std::vector<AudioObjectID>{0x20, 0x40, 0x45}));
    EXPECT_FALSE(isolation.tapDescription().isProcessRestoreEnabled());

    // It ends.
    world.objects.objects.pop_back();
    isolation.refreshOncePerSecond(apply);
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[1], (std::vector<AudioObjectID>{0x20, 0x40}));
}

TEST(CaptureProcessIsolation, AFailedTapUpdateIsACoreAudioFailure) {
    World world;
    auto platform = world.platform();
    auto isolation = ProcessIsolation::prepare(false, kMeet, platform);
    world.objects.objects.pop_back();
    world.objects.objects.erase(world.objects.objects.begin());  // 43 stops playing
    const std::string message = failureOf([&] {
        isolation.refreshProcesses([](const CATapDescription&) { return kAudioHardwareBadObjectError; });
    });
    EXPECT_EQ(message, "macOS could not update computer audio sources (Core Audio 560947818). Try recording again.");
    // Not applied, so not recorded as given to the tap.
    EXPECT_EQ(isolation.tappedProcesses(), (std::vector<AudioObjectID>{0x20, 0x40}));
}

TEST(CaptureProcessIsolation, RecordingEndsWhenTheSelectionChanges) {
    struct Case {
        const char* what;
        bool allSystem;
        std::function<void(World&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"a second instance", false,
         [](World& w) { w.workspace.then({application(kMeet, "Meet", 42), application(kMeet, "Meet", 44)}); },
         kApplicationClosedMessage},
        {"the application quit", false, [](World& w) { w.workspace.then({}); }, kApplicationClosedMessage},
        {"relaunched under another pid", false, [](World& w) { w.workspace.then({application(kMeet, "Meet", 44)}); },
         kApplicationClosedMessage},
        {"relaunched under the same pid", false, [](World& w) { w.identities.set(identity(42, 1, 5000)); },
         kApplicationClosedMessage},
        {"process exiting", false, [](World& w) { w.identities.changeAfter(42, 0, ProcessIdentity{}); },
         kApplicationClosedMessage},
        {"the host quit", true, [](World& w) { w.identities.changeAfter(kHost, 0, ProcessIdentity{}); },
         kHostExitedMessage},
        {"another process took the host's pid", true, [](World& w) { w.identities.set(identity(kHost, 1, 9000)); },
         kHostExitedMessage},
    };
    for (const auto& c : cases) {
        World world;
        auto platform = world.platform();
        auto isolation = ProcessIsolation::prepare(c.allSystem, c.allSystem ? "" : kMeet, platform);
        c.change(world);
        EXPECT_EQ(failureOf([&] { isolation.refreshOncePerSecond({}); }), c.message) << c.what;
    }
}

}  // namespace
}  // namespace quorvantel::capture
