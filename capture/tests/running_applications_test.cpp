#include "capture/running_applications.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "capture/process_isolation.h"
#include "capture/tests/fakes.h"

namespace quorvantel::capture {
namespace {

using testing::application;
using testing::FakeWorkspace;

TEST(CaptureRunningApplications, KeepsOnlyOrdinaryApplicationsOthersCanSelect) {
    struct Case {
        const char* what;
        NSRunningApplication app;
        bool kept;
    };
    const auto regular = application("com.example.Meet", "Meet", 10);
    auto accessory = regular;
    accessory.activationPolicy = NSApplicationActivationPolicy::NSApplicationActivationPolicyAccessory;
    auto prohibited = regular;
    prohibited.activationPolicy = NSApplicationActivationPolicy::NSApplicationActivationPolicyProhibited;
    auto terminated = regular;
    terminated.terminated = true;
    auto anonymous = regular;
    anonymous.bundleIdentifier.reset();
    const Case cases[] = {
        {"regular", regular, true},
        {"accessory", accessory, false},
        {"prohibited", prohibited, false},
        {"terminated", terminated, false},
        {"no identifier", anonymous, false},
        {"empty identifier", application("", "Meet", 10), false},
        {"the helper family", application("org.quorvantel.capture", "Capture", 10), false},
        {"the host", application("org.quorvantel.desktop", "Tovrel", 10), false},
        {"bare Electron", application("com.github.Electron", "Electron", 10), false},
        {"Electron look-alike", application("com.github.ElectronFiddle", "Fiddle", 10), true},
        {"prefix without the dot", application("org.quorvantelx", "X", 10), true},
        {"no name", application("com.example.Nameless", std::nullopt, 10), true},
    };
    for (const auto& c : cases) {
        FakeWorkspace workspace({c.app});
        EXPECT_EQ(runningApplications(workspace).size(), c.kept ? 1u : 0u) << c.what;
    }
}

TEST(CaptureRunningApplications, KeepsTheSystemsOrder) {
    FakeWorkspace workspace({application("b.two", "Two", 2), application("org.quorvantel.x", "X", 3),
                             application("a.one", "One", 1)});
    const auto apps = runningApplications(workspace);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(*apps[0].bundleIdentifier, "b.two");
    EXPECT_EQ(*apps[1].bundleIdentifier, "a.one");
}

TEST(CaptureSources, OneEntryPerIdentifierTheLaterWins) {
    const auto sources = selectableSources({application("com.example.Meet", "Meet (old)", 10),
                                            application("com.example.Chat", "Chat", 11),
                                            application("com.example.Meet", "Meet", 12)});
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].id, "com.example.Chat");
    EXPECT_EQ(sources[1].id, "com.example.Meet");
    EXPECT_EQ(sources[1].name, "Meet");
}

TEST(CaptureSources, SortsByNameIgnoringCaseAndFallsBackToTheIdentifier) {
    const auto sources = selectableSources({
        application("z.zoom", "zoom", 1),
        application("b.banana", "Banana", 2),
        application("e.eclair", "\xC3\x89" "clair", 3),
        application("a.apple", "apple", 4),
        application("c.nameless", std::nullopt, 5),
        application("d.Dino", "dino", 6),
    });
    std::vector<std::string> names;
    for (const auto& s : sources) names.push_back(s.name);
    // "c.nameless" sorts by its identifier, which is its name here.
    EXPECT_EQ(names, (std::vector<std::string>{"apple", "Banana", "c.nameless", "dino", "\xC3\x89" "clair", "zoom"}));
}

TEST(CaptureSources, ThePosixLocaleStillComparesLikeAPerson) {
    const icu::Locale previous = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US_POSIX"), status);
    const auto sources = selectableSources({application("b.b", "beta", 1), application("a.a", "Alpha", 2),
                                            application("c.c", "Gamma", 3)});
    icu::Locale::setDefault(previous, status);
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources[0].name, "Alpha");
    EXPECT_EQ(sources[1].name, "beta");
    EXPECT_EQ(sources[2].name, "Gamma");
}

TEST(CaptureSources, TheSourcesLine) {
    EXPECT_EQ(json::write(sourcesLine({}), json::KeyOrder::insertion), R"({"type":"sources","sources":[]})");
    EXPECT_EQ(json::write(sourcesLine({{"com.example.Meet", "Meet"}}), json::KeyOrder::insertion),
              R"({"type":"sources","sources":[{"id":"com.example.Meet","name":"Meet"}]})");
}

TEST(CaptureSelectedApplicationPids, ExactIdentifierSortedAmongSelectableApplications) {
    auto terminated = application("com.example.Meet", "Meet", 5);
    terminated.terminated = true;
    FakeWorkspace workspace({application("com.example.Meet", "Meet", 30), application("com.example.meet", "meet", 40),
                             application("com.example.Meet", "Meet", 20), terminated,
                             application("com.example.Meet.Helper", "Helper", 50)});
    EXPECT_EQ(selectedApplicationPids(workspace, "com.example.Meet"), (std::vector<std::int32_t>{20, 30}));
    EXPECT_TRUE(selectedApplicationPids(workspace, "com.example").empty());
    FakeWorkspace helpers({application("org.quorvantel.capture", "Capture", 7), application("com.github.Electron", "E", 8)});
    EXPECT_TRUE(selectedApplicationPids(helpers, "org.quorvantel.capture").empty());
    EXPECT_TRUE(selectedApplicationPids(helpers, "com.github.Electron").empty());
}

}  // namespace
}  // namespace quorvantel::capture
