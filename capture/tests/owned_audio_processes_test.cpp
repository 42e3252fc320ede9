#include "capture/owned_audio_processes.h"

#include <gtest/gtest.h>

#include "capture/capture_failure.h"
#include "capture/tests/fakes.h"

namespace quorvantel::capture {
namespace {

using testing::FakeProcessObjects;
using testing::identity;
using testing::IdentityTable;

IdentityTable family() {
    IdentityTable table;
    table.set(identity(42, 1, 1000)).set(identity(43, 42, 1001)).set(identity(44, 43, 1002, 0, 502)).set(identity(99, 1, 900));
    return table;
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CaptureFailure& failure) {
        return failure.what();
    }
    return "";
}

TEST(CaptureOwnedAudioProcesses, KeepsTheRootAndItsProvenDescendantsSorted) {
    IdentityTable table = family();
    FakeProcessObjects objects;
    objects.objects = {{0x30, 43}, {0x10, 99}, {0x20, 42}, {0x40, 44}, {0x50, 4242}};
    EXPECT_EQ(ownedAudioProcesses(table.at(42), objects, table.reader()), (std::vector<AudioObjectID>{0x20, 0x30}));
    EXPECT_TRUE(ownedAudioProcesses(ProcessIdentity{}, objects, table.reader()).empty());
}

TEST(CaptureOwnedAudioProcesses, SkipsObjectsThatDoNotSayOrChangeTheirProcess) {
    struct Case {
        const char* what;
        std::function<void(FakeProcessObjects&, IdentityTable&)> arrange;
    };
    const Case cases[] = {
        {"pid unreadable", [](auto& o, auto&) { o.pidStatuses[0x30] = kAudioHardwareBadObjectError; }},
        {"pid of the wrong size", [](auto& o, auto&) { o.pidSizes[0x30] = 8; }},
        {"pid changes on the second read", [](auto& o, auto&) { o.laterPids[0x30] = 42; }},
        // Reads of 43: the object's first look, the walk's re-verification, the last look.
        {"process replaced before the last look", [](auto&, auto& t) { t.changeAfter(43, 2, identity(43, 42, 1500)); }},
        {"process gone before the last look", [](auto&, auto& t) { t.changeAfter(43, 2, ProcessIdentity{}); }},
        {"process gone at once", [](auto&, auto& t) { t.changeAfter(43, 0, ProcessIdentity{}); }},
    };
    for (const auto& c : cases) {
        IdentityTable table = family();
        FakeProcessObjects objects;
        objects.objects = {{0x20, 42}, {0x30, 43}};
        c.arrange(objects, table);
        EXPECT_EQ(ownedAudioProcesses(table.at(42), objects, table.reader()), (std::vector<AudioObjectID>{0x20}))
            << c.what;
    }
}

TEST(CaptureOwnedAudioProcesses, BoundsAndChecksTheList) {
    struct Case {
        const char* what;
        std::function<void(FakeProcessObjects&)> arrange;
        std::string message;
    };
    const std::string tooMany = kTooManyProcessesMessage;
    const std::string changed = kProcessesChangedMessage;
    const Case cases[] = {
        {"size unreadable", [](auto& o) { o.sizeStatus = kAudioHardwareNotRunningError; },
         "macOS could not list computer audio processes (Core Audio 1937010544). Try recording again."},
        {"list unreadable", [](auto& o) { o.listStatus = kAudioHardwareUnspecifiedError; },
         "macOS could not list computer audio processes (Core Audio 2003329396). Try recording again."},
        {"permission refused", [](auto& o) { o.sizeStatus = kAudioDevicePermissionsError; },
         "Computer audio recording is not permitted (Core Audio 560492391). Operation: list computer audio "
         "processes. Check Tovrel's system audio recording access in System Settings > Privacy & Security > Screen & "
         "System Audio Recording, then try again."},
        {"one object too many", [](auto& o) { o.reportedSize = kMaximumProcessListBytes + 4; }, tooMany},
        {"misaligned size", [](auto& o) { o.reportedSize = 6; }, tooMany},
        {"read larger than the buffer", [](auto& o) { o.returnedSize = 12; }, changed},
        {"misaligned read", [](auto& o) { o.returnedSize = 3; }, changed},
        {"the read shrank", [](auto& o) { o.returnedSize = 4; }, ""},
    };
    for (const auto& c : cases) {
        IdentityTable table = family();
        FakeProcessObjects objects;
        objects.objects = {{0x20, 42}, {0x30, 43}};
        c.arrange(objects);
        EXPECT_EQ(failureOf([&] { ownedAudioProcesses(table.at(42), objects, table.reader()); }), c.message) << c.what;
    }
}

TEST(CaptureOwnedAudioProcesses, AcceptsExactlyTheLargestList) {
    IdentityTable table = family();
    FakeProcessObjects objects;
    for (AudioObjectID id = 0; id < kMaximumProcessListBytes / sizeof(AudioObjectID); ++id) {
        objects.objects.push_back({0x1000 + id, id == 4095 ? 43 : 99});
    }
    EXPECT_EQ(ownedAudioProcesses(table.at(42), objects, table.reader()), (std::vector<AudioObjectID>{0x1000 + 4095}));
    objects.objects.push_back({0x9999, 42});
    EXPECT_EQ(failureOf([&] { ownedAudioProcesses(table.at(42), objects, table.reader()); }), kTooManyProcessesMessage);
}

TEST(CaptureOwnedAudioProcesses, AnEmptyListOwnsNothing) {
    IdentityTable table = family();
    FakeProcessObjects objects;
    EXPECT_TRUE(ownedAudioProcesses(table.at(42), objects, table.reader()).empty());
}

}  // namespace
}  // namespace quorvantel::capture
