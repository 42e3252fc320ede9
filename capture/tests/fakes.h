// Tables standing in for the kernel and the platform in the capture helper's unit
// tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "capture/process_identity.h"
#include "platform/appkit/workspace_running_applications.h"
#include "platform/coreaudio/process_objects_hal.h"

namespace quorvantel::capture::testing {

inline constexpr std::uint32_t kUser = 501;

inline ProcessIdentity identity(std::int32_t pid, std::int32_t ppid, std::uint64_t seconds,
                                std::uint64_t microseconds = 0, std::uint32_t uid = kUser) {
    return {pid, ppid, uid, seconds, microseconds, true};
}

// Identities by identifier. An identifier may be given a queue of answers for its
// later reads, to play a process that changes while it is looked at; each read is
// counted.
class IdentityTable {
public:
    IdentityTable& set(const ProcessIdentity& entry) {
        table_[entry.pid] = entry;
        return *this;
    }
    // After `afterReads` reads of pid, answer `entry` (invalid for a gone process).
    IdentityTable& changeAfter(std::int32_t pid, int afterReads, const ProcessIdentity& entry) {
        changes_[pid] = {afterReads, entry};
        return *this;
    }
    ProcessIdentity read(std::int32_t pid) {
        const int count = reads_[pid]++;
        if (auto change = changes_.find(pid); change != changes_.end() && count >= change->second.first) {
            return change->second.second;
        }
        auto it = table_.find(pid);
        return it == table_.end() ? ProcessIdentity{} : it->second;
    }
    IdentityReader reader() {
        return [this](std::int32_t pid) { return read(pid); };
    }
    const ProcessIdentity& at(std::int32_t pid) const { return table_.at(pid); }
    int reads(std::int32_t pid) const {
        auto it = reads_.find(pid);
        return it == reads_.end() ? 0 : it->second;
    }

private:
    std::map<std::int32_t, ProcessIdentity> table_;
    std::map<std::int32_t, std::pair<int, ProcessIdentity>> changes_;
    std::map<std::int32_t, int> reads_;
};

inline NSRunningApplication application(std::string bundleId, std::optional<std::string> name, std::int32_t pid) {
    NSRunningApplication app;
    app.bundleIdentifier = std::move(bundleId);
    app.localizedName = std::move(name);
    app.processIdentifier = pid;
    return app;
}

// Running applications; with answers queued, each call takes the next one (the last
// repeats).
class FakeWorkspace final : public NSWorkspace {
public:
    FakeWorkspace() = default;
    explicit FakeWorkspace(std::vector<NSRunningApplication> applications) { answers_.push_back(std::move(applications)); }
    void then(std::vector<NSRunningApplication> applications) { answers_.push_back(std::move(applications)); }

    std::vector<NSRunningApplication> runningApplications() const override {
        ++calls_;
        if (answers_.empty()) return {};
        const std::size_t index = std::min<std::size_t>(calls_ - 1, answers_.size() - 1);
        return answers_[index];
    }
    std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(std::int32_t pid) const override {
        for (const auto& app : hosts_) {
            if (app.processIdentifier == pid) return app;
        }
        return std::nullopt;
    }
    void addHost(NSRunningApplication app) { hosts_.push_back(std::move(app)); }
    std::size_t calls() const { return calls_; }

private:
    std::vector<std::vector<NSRunningApplication>> answers_;
    std::vector<NSRunningApplication> hosts_;
    mutable std::size_t calls_ = 0;
};

// Core Audio's process objects: object -> pid, with injectable statuses and answers.
class FakeProcessObjects final : public AudioProcessObjects {
public:
    std::vector<std::pair<AudioObjectID, std::int32_t>> objects;
    OSStatus sizeStatus = kAudioHardwareNoError;
    OSStatus listStatus = kAudioHardwareNoError;
    std::optional<std::uint32_t> reportedSize;    // replaces the true list size
    std::optional<std::uint32_t> returnedSize;    // replaces the size the read reports
    std::map<AudioObjectID, std::uint32_t> pidSizes;  // replaces the pid property's size
    std::map<AudioObjectID, OSStatus> pidStatuses;
    // Answers for the second and later reads of an object's pid.
    std::map<AudioObjectID, std::int32_t> laterPids;
    std::map<AudioObjectID, int> pidReads;

    OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                            std::uint32_t& size) override {
        if (object != kAudioObjectSystemObject || address.mSelector != kAudioHardwarePropertyProcessObjectList) {
            return kAudioHardwareUnknownPropertyError;
        }
        if (sizeStatus != kAudioHardwareNoError) return sizeStatus;
        size = reportedSize.value_or(static_cast<std::uint32_t>(objects.size() * sizeof(AudioObjectID)));
        return kAudioHardwareNoError;
    }
    OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& size, void* data) override {
        if (object == kAudioObjectSystemObject && address.mSelector == kAudioHardwarePropertyProcessObjectList) {
            if (listStatus != kAudioHardwareNoError) return listStatus;
            const std::size_t fit = std::min<std::size_t>(objects.size(), size / sizeof(AudioObjectID));
            for (std::size_t i = 0; i < fit; ++i) static_cast<AudioObjectID*>(data)[i] = objects[i].first;
            size = returnedSize.value_or(static_cast<std::uint32_t>(fit * sizeof(AudioObjectID)));
            return kAudioHardwareNoError;
        }
        if (address.mSelector != kAudioProcessPropertyPID) return kAudioHardwareUnknownPropertyError;
        if (auto s = pidStatuses.find(object); s != pidStatuses.end()) return s->second;
        for (const auto& [id, pid] : objects) {
            if (id != object) continue;
            std::int32_t answer = pid;
            if (pidReads[object]++ > 0) {
                if (auto later = laterPids.find(object); later != laterPids.end()) answer = later->second;
            }
            std::memcpy(data, &answer, sizeof answer);
            size = sizeof answer;
            if (auto s = pidSizes.find(object); s != pidSizes.end()) size = s->second;
            return kAudioHardwareNoError;
        }
        return kAudioHardwareBadObjectError;
    }
};

}  // namespace quorvantel::capture::testing
