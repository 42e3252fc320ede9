// The stand-in platform's state: one JSON file named by QUORVANTEL_SIMULATION plays
// the operating system's own state (permissions, calendars, running applications,
// recogniser assets). Only the stand-ins read it; without the variable every
// section takes its defaults.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/foundation/json.h"

namespace quorvantel::sim {

inline constexpr const char* kScenarioVariable = "QUORVANTEL_SIMULATION";
// The exit status of a process whose scenario cannot be used (EX_SOFTWARE).
inline constexpr int kScenarioExitStatus = 70;

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether the stand-in platform plays the machine: a helper started with a scenario
// named runs on the stand-ins, without one on the machine's own services. Only the
// wiring in a helper's main.cpp asks this.
bool simulationRequested();

// The scenario's top-level object, or an empty object without the variable. A file
// that cannot be read or parsed, or whose top level is not an object, raises.
json::Value readScenario();

// A view of one object of the scenario with typed, optional members. A member of the
// wrong type raises a ScenarioError that names its path ("speech.available").
class Section {
public:
    Section(const json::Value* object, std::string path);
    static Section root(const json::Value& scenario) { return Section(&scenario, ""); }

    bool present() const { return object_ != nullptr; }
    bool has(std::string_view key) const { return member(key) != nullptr; }
    bool isNull(std::string_view key) const;

    // A nested object; absent when the key is missing.
    Section section(std::string_view key) const;
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<double> number(std::string_view key) const;
    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    // An array member; nullptr when missing.
    const json::Array* array(std::string_view key) const;
    // Any member as it stands; nullptr when missing.
    const json::Value* member(std::string_view key) const;

    // The path of a member, for error messages.
    std::string pathOf(std::string_view key) const;
    [[noreturn]] void wrongType(std::string_view key, std::string_view expected) const;

private:
    const json::Value* object_;
    std::string path_;
};

// Writes the one line the stand-in platform reports a bad scenario with, and exits.
[[noreturn]] void exitWithScenarioError(std::string_view reason);

// Reads the scenario and builds the stand-ins from it; any scenario failure ends the
// process before the helper does anything else.
template <typename Build>
auto loadScenarioOrExit(Build build) -> decltype(build(std::declval<const json::Value&>())) {
    try {
        static const json::Value scenario = readScenario();
        return build(scenario);
    } catch (const ScenarioError& error) {
        exitWithScenarioError(error.what());
    }
}

}  // namespace quorvantel::sim
