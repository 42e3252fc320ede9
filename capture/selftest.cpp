#include "capture/selftest.h"

#include <map>
#include <vector>

#include "capture/capture_failure.h"
#include "capture/display_status.h"
#include "capture/meeting_metadata.h"
#include "capture/owned_audio_processes.h"
#include "capture/proven_descendant.h"

namespace quorvantel::capture {
namespace {

constexpr std::uint32_t kFixtureUser = 501;
constexpr std::uint32_t kOtherUser = 502;

// Identities by identifier, all of user 501 unless given; a second table, when set,
// answers every read after the first of an identifier.
class IdentityTable {
public:
    IdentityTable& add(std::int32_t pid, std::int32_t ppid, std::uint64_t start, std::uint32_t uid = kFixtureUser) {
        first_[pid] = {pid, ppid, uid, start, 0, true};
        return *this;
    }
    IdentityTable& onLaterReads(std::int32_t pid, std::int32_t ppid, std::uint64_t start) {
        later_[pid] = {pid, ppid, kFixtureUser, start, 0, true};
        return *this;
    }
    ProcessIdentity identity(std::int32_t pid) const { return first_.at(pid); }
    IdentityReader reader() {
        return [this](std::int32_t pid) {
            const bool again = reads_[pid]++ > 0;
            if (again) {
                if (auto it = later_.find(pid); it != later_.end()) return it->second;
            }
            auto it = first_.find(pid);
            return it == first_.end() ? ProcessIdentity{} : it->second;
        };
    }

private:
    std::map<std::int32_t, ProcessIdentity> first_;
    std::map<std::int32_t, ProcessIdentity> later_;
    std::map<std::int32_t, int> reads_;
};

// A process object list of one object per pid, objects numbered from 100.
class ProcessObjectTable final : public AudioProcessObjects {
public:
    explicit ProcessObjectTable(std::vector<std::int32_t> pids) : pids_(std::move(pids)) {}
    OSStatus AudioObjectGetPropertyDataSize(AudioObjectID, const AudioObjectPropertyAddress&,
                                            std::uint32_t& size) override {
        size = static_cast<std::uint32_t>(pids_.size() * sizeof(AudioObjectID));
        return kAudioHardwareNoError;
    }
    OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& size, void* data) override {
        if (address.mSelector == kAudioHardwarePropertyProcessObjectList) {
            auto* objects = static_cast<AudioObjectID*>(data);
            for (std::size_t i = 0; i < pids_.size(); ++i) objects[i] = kFirstObject + static_cast<AudioObjectID>(i);
            size = static_cast<std::uint32_t>(pids_.size() * sizeof(AudioObjectID));
            return kAudioHardwareNoError;
        }
        *static_cast<std::int32_t*>(data) = pids_.at(object - kFirstObject);
        size = sizeof(std::int32_t);
        return kAudioHardwareNoError;
    }
    static constexpr AudioObjectID kFirstObject = 100;

private:
    std::vector<std::int32_t> pids_;
};

void check(bool holds, const char* message) {
    if (!holds) fail(message);
}

void exactIsolation() {
    IdentityTable table;
    table.add(42, 1, 1000).add(43, 42, 1000).add(99, 1, 900).add(44, 43, 1100, kOtherUser);
    const auto root = table.identity(42);
    const auto read = table.reader();
    const char* message = "Exact selected process/descendant isolation fixture failed.";
    check(provenDescendant(root, root, read), message);
    check(provenDescendant(table.identity(43), root, read), message);
    check(!provenDescendant(table.identity(99), root, read), message);
    check(!provenDescendant(table.identity(44), root, read), message);
    ProcessObjectTable objects({99, 43, 44, 42});
    const auto owned = ownedAudioProcesses(root, objects, table.reader());
    check(owned == std::vector<AudioObjectID>{ProcessObjectTable::kFirstObject + 1, ProcessObjectTable::kFirstObject + 3},
          message);
}

void pidReuse() {
    // Identifier 42 now belongs to a process started after the selected one.
    IdentityTable table;
    table.add(42, 1, 2000).add(45, 42, 2001);
    const ProcessIdentity root{42, 1, kFixtureUser, 1000, 0, true};
    check(!provenDescendant(table.identity(45), root, table.reader()), "PID reuse isolation fixture failed.");
}

void newerAncestor() {
    // 46's parent identifier 43 was reused by a process started after 46.
    IdentityTable table;
    table.add(42, 1, 1000).add(43, 42, 3000).add(46, 43, 2000);
    check(!provenDescendant(table.identity(46), table.identity(42), table.reader()),
          "Newer ancestor PID reuse fixture failed.");
}

void racedReparenting() {
    // 43 is reparented to the first process while its chain is verified.
    IdentityTable table;
    table.add(42, 1, 1000).add(43, 42, 1001).onLaterReads(43, 1, 1001);
    const auto read = table.reader();
    const ProcessIdentity candidate = read(43);
    check(!provenDescendant(candidate, table.identity(42), read),
          "Raced process reparenting fixture failed.");
}

void cyclicAncestry() {
    const char* message = "Cyclic ancestry bound fixture failed.";
    IdentityTable cycle;
    cycle.add(42, 1, 1000).add(50, 51, 1000).add(51, 50, 1000);
    check(!provenDescendant(cycle.identity(50), cycle.identity(42), cycle.reader()), message);

    // A chain of exactly the bound reaches the root; one process more does not.
    IdentityTable chain;
    chain.add(1000, 1, 1000);
    for (std::int32_t pid = 1001; pid < 1000 + static_cast<std::int32_t>(kMaximumAncestryChain); ++pid) {
        chain.add(pid, pid - 1, 1000);
    }
    const auto root = chain.identity(1000);
    const std::int32_t deepest = 1000 + static_cast<std::int32_t>(kMaximumAncestryChain) - 1;
    check(provenDescendant(chain.identity(deepest), root, chain.reader()), message);
    chain.add(deepest + 1, deepest, 1000);
    check(!provenDescendant(chain.identity(deepest + 1), root, chain.reader()), message);
}

json::Value window(json::Value owner, json::Value layer, json::Value name) {
    return json::Object{{std::string(kCGWindowOwnerPID), std::move(owner)},
                        {std::string(kCGWindowLayer), std::move(layer)},
                        {std::string(kCGWindowName), std::move(name)}};
}

constexpr const char* kFixtureApplication = "com.example.QuorvantelMetadataFixture";

bool hasStatus(const json::Value& result, const char* status, const char* reason) {
    const json::Value* s = result.find("status");
    const json::Value* r = result.find("reason");
    if (s == nullptr || !s->isString() || s->asString() != status) return false;
    if (reason == nullptr) return r == nullptr && result.find("windowTitle") == nullptr;
    return r != nullptr && r->isString() && r->asString() == reason && result.find("windowTitle") == nullptr;
}

void selectedApplicationMetadata() {
    const auto result = classifyMeetingWindows(
        kFixtureApplication, {42},
        CFWindowInfoArray{window(99, 0, "UNRELATED SYNTHETIC TITLE"), window(42, 0, "  Cedar planning - Google Meet  ")});
    const json::Value expected = json::Object{{"type", "meeting-metadata"},
                                              {"schemaVersion", 1},
                                              {"applicationId", kFixtureApplication},
                                              {"status", "available"},
                                              {"windowTitle", "Cedar planning - Google Meet"}};
    check(result == expected, "Selected-app metadata fixture failed.");
}

void metadataFallbacks() {
    struct Case {
        std::vector<std::int32_t> pids;
        std::optional<CFWindowInfoArray> windows;
        const char* status;
        const char* reason;
    };
    const CFWindowInfoArray tooMany(kMaximumWindowEntries + 1, window(99, 0, "x"));
    const Case cases[] = {
        {{}, CFWindowInfoArray{window(42, 0, "Cedar planning - Google Meet")}, "unavailable", "app-unavailable"},
        {{42}, std::nullopt, "unavailable", "query-failed"},
        {{42}, tooMany, "unavailable", "query-failed"},
        {{42}, CFWindowInfoArray{}, "unavailable", "no-window-title"},
        {{42}, CFWindowInfoArray{window(99, 0, "UNRELATED SYNTHETIC TITLE")}, "unavailable", "no-window-title"},
        {{42}, CFWindowInfoArray{window(42, 0, "First"), window(42, 0, nullptr)}, "ambiguous", nullptr},
        {{42, 43},
         CFWindowInfoArray{window(42, 0, "Cedar planning - Google Meet"), window(43, 0, "Second synthetic meeting")},
         "ambiguous",
         nullptr},
        {{42}, CFWindowInfoArray{window(42, 0, "")}, "unavailable", "no-window-title"},
        {{42}, CFWindowInfoArray{window(42, 0, "Cedar\nPlanning")}, "unavailable", "no-window-title"},
        {{42}, CFWindowInfoArray{window(42, 0, std::string(kMaximumWindowTitleLength + 1, 'x'))}, "unavailable",
         "no-window-title"},
        {{42}, CFWindowInfoArray{window(42, 1, "Cedar planning - Google Meet")}, "unavailable", "no-window-title"},
    };
    for (const Case& c : cases) {
        check(hasStatus(classifyMeetingWindows(kFixtureApplication, c.pids, c.windows), c.status, c.reason),
              "Metadata fallback fixture failed.");
    }
}

void displayClassification() {
    struct Case {
        std::uint32_t online, active, asleep;
        const char* state;
    };
    const Case cases[] = {
        {0, 0, 0, "no-online-displays"},  {2, 0, 2, "all-displays-asleep"}, {2, 1, 0, "active-displays"},
        {1, 0, 0, "no-active-displays"},  {2, 0, 3, "inconsistent"},        {2, 2, 1, "inconsistent"},
    };
    for (const Case& c : cases) {
        check(classifyDisplays(c.online, c.active, c.asleep) == c.state,
              "Display-state classification self-test failed.");
    }
}

}  // namespace

void runProcessIsolationFixtures() {
    exactIsolation();
    pidReuse();
    newerAncestor();
    racedReparenting();
    cyclicAncestry();
}

void runMeetingMetadataFixtures() {
    selectedApplicationMetadata();
    displayClassification();
    metadataFallbacks();
}

}  // namespace quorvantel::capture
