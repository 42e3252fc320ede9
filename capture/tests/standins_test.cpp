// The stand-ins of the capture helper's platform: what they make of a scenario.
#include <gtest/gtest.h>

#include "platform/coreaudio/tap_description_record.h"
#include "platform/sim/appkit/workspace_sim.h"
#include "platform/sim/coreaudio/process_objects_sim.h"
#include "platform/sim/coregraphics/sim_coregraphics.h"

namespace quorvantel::sim {
namespace {

json::Value scenario(const char* text) { return json::parse(text); }

std::string scenarioErrorOf(const std::function<void()>& build) {
    try {
        build();
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "";
}

TEST(CaptureStandIns, WorkspaceReadsTheApplicationsInOrder) {
    const auto s = scenario(R"({"applications":[
        {"bundleId":"com.example.Meet","name":"Meet","pid":42},
        {"bundleId":null,"name":null,"pid":43,"activationPolicy":"accessory","terminated":true},
        {"name":"No identifier","activationPolicy":"prohibited"}]})");
    const SimWorkspace workspace(Section::root(s));
    const auto apps = workspace.runningApplications();
    ASSERT_EQ(apps.size(), 3u);
    EXPECT_EQ(apps[0].bundleIdentifier, "com.example.Meet");
    EXPECT_EQ(apps[0].localizedName, "Meet");
    EXPECT_EQ(apps[0].processIdentifier, 42);
    EXPECT_EQ(apps[0].activationPolicy, NSApplicationActivationPolicy::NSApplicationActivationPolicyRegular);
    EXPECT_FALSE(apps[0].terminated);
    EXPECT_EQ(apps[1].bundleIdentifier, std::nullopt);
    EXPECT_EQ(apps[1].localizedName, std::nullopt);
    EXPECT_EQ(apps[1].activationPolicy, NSApplicationActivationPolicy::NSApplicationActivationPolicyAccessory);
    EXPECT_TRUE(apps[1].terminated);
    EXPECT_EQ(apps[2].processIdentifier, -1);
    EXPECT_EQ(apps[2].activationPolicy, NSApplicationActivationPolicy::NSApplicationActivationPolicyProhibited);
    EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(42)->bundleIdentifier, "com.example.Meet");
    EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(43), std::nullopt);  // terminated
    EXPECT_TRUE(SimWorkspace(Section::root(scenario("{}"))).runningApplications().empty());
}

TEST(CaptureStandIns, ScenarioMistakesAreNamed) {
    struct Case {
        const char* text;
        std::string error;
    };
    const Case cases[] = {
        {R"({"applications":{}})", "applications must be an array"},
        {R"({"applications":[7]})", "applications[0] must be an object"},
        {R"({"applications":[{"pid":"42"}]})", "applications[0].pid must be an integer"},
        {R"({"applications":[{},{"pid":4294967296}]})", "applications[1].pid must be a 32-bit process identifier"},
        {R"({"applications":[{"bundleId":5}]})", "applications[0].bundleId must be a string"},
        {R"({"applications":[{"activationPolicy":"background"}]})",
         R"(applications[0].activationPolicy must be "regular", "accessory" or "prohibited")"},
        {R"({"applications":[{"terminated":"no"}]})", "applications[0].terminated must be a boolean"},
        {R"({"audio":{"processes":[1,"2"]}})", "audio.processes[1] must be a process identifier"},
        {R"({"audio":{"processes":7}})", "audio.processes must be an array"},
        {R"({"screenCaptureAccess":"yes"})", "screenCaptureAccess must be a boolean"},
        {R"({"windows":{}})", "windows must be an array"},
        {R"({"displays":{"online":[true]}})", "displays.online[0] must be an object"},
        {R"({"displays":{"online":[{"asleep":1}]}})", "displays.online[0].asleep must be a boolean"},
        {R"({"displays":{"active":-1}})", "displays.active must be a display count from 0 to 4096"},
        {R"({"displays":{"onlineError":"bad"}})", "displays.onlineError must be an integer"},
    };
    for (const auto& c : cases) {
        const auto s = scenario(c.text);
        const Section root = Section::root(s);
        const std::string error = scenarioErrorOf([&] {
            SimWorkspace workspace(root);
            SimAudioProcessObjects objects(root.section("audio"));
            SimScreenCaptureAccess access(root);
            SimWindowList windows(root);
            SimDisplayList displays(root);
        });
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(CaptureStandIns, ProcessObjectsListThePidsOfTheScenario) {
    const auto s = scenario(R"({"audio":{"processes":[300,200]}})");
    SimAudioProcessObjects objects(Section::root(s).section("audio"));
    const AudioObjectPropertyAddress list{kAudioHardwarePropertyProcessObjectList, kAudioObjectPropertyScopeGlobal,
                                          kAudioObjectPropertyElementMain};
    const AudioObjectPropertyAddress pid{kAudioProcessPropertyPID, kAudioObjectPropertyScopeGlobal,
                                         kAudioObjectPropertyElementMain};
    std::uint32_t size = 0;
    ASSERT_EQ(objects.AudioObjectGetPropertyDataSize(kAudioObjectSystemObject, list, size), kAudioHardwareNoError);
    EXPECT_EQ(size, 8u);
    AudioObjectID ids[2] = {};
    ASSERT_EQ(objects.AudioObjectGetPropertyData(kAudioObjectSystemObject, list, size, ids), kAudioHardwareNoError);
    EXPECT_EQ(ids[0], kFirstSimProcessObject);
    EXPECT_EQ(ids[1], kFirstSimProcessObject + 1);
    std::int32_t value = 0;
    std::uint32_t pidSize = 4;
    ASSERT_EQ(objects.AudioObjectGetPropertyData(ids[1], pid, pidSize, &value), kAudioHardwareNoError);
    EXPECT_EQ(value, 200);
    EXPECT_EQ(pidSize, 4u);
    // A smaller buffer takes the whole objects that fit.
    std::uint32_t small = 5;
    ASSERT_EQ(objects.AudioObjectGetPropertyData(kAudioObjectSystemObject, list, small, ids), kAudioHardwareNoError);
    EXPECT_EQ(small, 4u);
    EXPECT_EQ(objects.AudioObjectGetPropertyData(kFirstSimProcessObject + 2, pid, pidSize, &value),
              kAudioHardwareBadObjectError);
    EXPECT_EQ(objects.AudioObjectGetPropertyData(kAudioObjectSystemObject, pid, pidSize, &value),
              kAudioHardwareUnknownPropertyError);
    std::uint32_t tiny = 2;
    EXPECT_EQ(objects.AudioObjectGetPropertyData(ids[0], pid, tiny, &value), kAudioHardwareBadPropertySizeError);
}

TEST(CaptureStandIns, WindowsBecomeWindowDictionaries) {
    const auto s = scenario(R"({"windows":[{"ownerPid":42,"layer":0,"name":"Cedar","other":1},"odd",{"layer":"x"}]})");
    const auto windows = SimWindowList(Section::root(s)).CGWindowListCopyWindowInfo(kCGWindowListExcludeDesktopElements,
                                                                                    kCGNullWindowID);
    ASSERT_TRUE(windows.has_value());
    ASSERT_EQ(windows->size(), 3u);
    EXPECT_EQ(json::write((*windows)[0], json::KeyOrder::insertion),
              R"({"kCGWindowOwnerPID":42,"kCGWindowLayer":0,"kCGWindowName":"Cedar"})");
    EXPECT_EQ((*windows)[1], json::Value("odd"));
    EXPECT_EQ(json::write((*windows)[2], json::KeyOrder::insertion), R"({"kCGWindowLayer":"x"})");
    const auto none = scenario(R"({"windows":null})");
    EXPECT_FALSE(SimWindowList(Section::root(none)).CGWindowListCopyWindowInfo(0, 0).has_value());
    const auto empty = scenario("{}");
    EXPECT_TRUE(SimWindowList(Section::root(empty)).CGWindowListCopyWindowInfo(0, 0)->empty());
    EXPECT_TRUE(SimScreenCaptureAccess(Section::root(empty)).CGPreflightScreenCaptureAccess());
}

TEST(CaptureStandIns, DisplaysAnswerTheirLists) {
    struct Case {
        const char* text;
        std::uint32_t online, active, asleep;
        CGError onlineError, activeError;
    };
    const Case cases[] = {
        {"{}", 1, 1, 0, 0, 0},
        {R"({"displays":{"online":[{"asleep":true},{"asleep":false},{}]}})", 3, 2, 1, 0, 0},
        {R"({"displays":{"online":[{"asleep":true}],"active":3}})", 1, 3, 1, 0, 0},
        {R"({"displays":{"online":[],"active":0}})", 0, 0, 0, 0, 0},
        {R"({"displays":{"onlineError":1001}})", 0, 1, 0, 1001, 0},
        {R"({"displays":{"activeError":1000}})", 1, 0, 0, 0, 1000},
    };
    for (const auto& c : cases) {
        const auto s = scenario(c.text);
        const SimDisplayList displays(Section::root(s));
        CGDirectDisplayID ids[8];
        std::uint32_t count = 99;
        EXPECT_EQ(displays.CGGetOnlineDisplayList(8, ids, &count), c.onlineError) << c.text;
        EXPECT_EQ(count, c.online) << c.text;
        std::uint32_t asleep = 0;
        for (std::uint32_t i = 0; i < count; ++i) asleep += displays.CGDisplayIsAsleep(ids[i]) ? 1 : 0;
        EXPECT_EQ(asleep, c.asleep) << c.text;
        EXPECT_EQ(displays.CGGetActiveDisplayList(8, ids, &count), c.activeError) << c.text;
        EXPECT_EQ(count, c.active) << c.text;
    }
    const auto many = scenario(R"({"displays":{"online":[{},{},{},{},{}]}})");
    CGDirectDisplayID ids[3];
    std::uint32_t count = 0;
    EXPECT_EQ(SimDisplayList(Section::root(many)).CGGetOnlineDisplayList(3, ids, &count), kCGErrorSuccess);
    EXPECT_EQ(count, 3u);
}

TEST(CaptureStandIns, TapDescriptionsStartWithRestoreOnAndAFreshUuid) {
    const TapDescriptionRecords descriptions;
    const auto a = descriptions.initStereoGlobalTapButExcludeProcesses({7});
    const auto b = descriptions.initStereoMixdownOfProcesses({});
    EXPECT_TRUE(a->isExclusive());
    EXPECT_FALSE(b->isExclusive());
    EXPECT_EQ(a->processes(), std::vector<AudioObjectID>{7});
    EXPECT_TRUE(a->isProcessRestoreEnabled());
    EXPECT_NE(a->UUIDString(), b->UUIDString());
    const std::string uuid = a->UUIDString();
    ASSERT_EQ(uuid.size(), 36u);
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(uuid[i], '-');
        } else {
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(uuid[i])) || (uuid[i] >= 'A' && uuid[i] <= 'F')) << uuid;
        }
    }
    EXPECT_EQ(uuid[14], '4');
}

}  // namespace
}  // namespace quorvantel::sim
