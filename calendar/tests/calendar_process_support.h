// Runs the built calendar helper over pipes with a scenario, as the host does.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace quorvantel::calendar::testing {

inline constexpr const char* kHelper = "quorvantel-calendar";

// A scenario file that lives as long as the object.
class ScenarioFile {
public:
    explicit ScenarioFile(const std::string& json) : path_(quorvantel::testing::writeTemporaryFile(json, ".json")) {}
    ~ScenarioFile() { std::remove(path_.c_str()); }
    ScenarioFile(const ScenarioFile&) = delete;
    ScenarioFile& operator=(const ScenarioFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline quorvantel::testing::ChildOptions optionsFor(const ScenarioFile* scenario,
                                                    std::vector<std::string> arguments = {}) {
    quorvantel::testing::ChildOptions options;
    options.arguments = std::move(arguments);
    if (scenario) options.environment["QUORVANTEL_SIMULATION"] = scenario->path();
    return options;
}

// The one line the helper wrote for the request, after checking that it wrote
// exactly one line and exited with status 0.
inline std::string answerTo(const std::string& request, const std::optional<std::string>& scenario = std::nullopt,
                            std::vector<std::string> arguments = {}) {
    std::optional<ScenarioFile> file;
    if (scenario) file.emplace(*scenario);
    const auto run = quorvantel::testing::runChild(quorvantel::testing::helperPath(kHelper),
                                                   optionsFor(file ? &*file : nullptr, std::move(arguments)), request);
    if (!run.exit.exited || run.exit.exitStatus != 0) return "<exit " + std::to_string(run.exit.exitStatus) + ">";
    if (run.output.empty() || run.output.back() != '\n') return "<no line feed: " + run.output + ">";
    if (run.output.find('\n') != run.output.size() - 1) return "<more than one line: " + run.output + ">";
    return run.output.substr(0, run.output.size() - 1);
}

// The text and the number written after it.
inline std::string numbered(const std::string& prefix, long long number) {
    std::string text = prefix;
    text += std::to_string(number);
    return text;
}

inline std::string errorLine(const std::string& reason) {
    return R"({"schemaVersion":1,"status":"error","reason":")" + reason + "\"}";
}

inline std::string accessLine(const std::string& access) {
    return R"({"schemaVersion":1,"status":"ok","access":")" + access + "\"}";
}

}  // namespace quorvantel::calendar::testing
