// Runs a built helper as a child process over pipes, the way the host does, for the
// process tests.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorvantel::testing {

// The path of a built helper: build/bin/<name>.
std::string helperPath(const std::string& name);

struct ChildOptions {
    std::vector<std::string> arguments;
    // Extra environment variables; the rest of the environment is inherited.
    std::map<std::string, std::string> environment;
    // Variables removed from the child's environment.
    std::vector<std::string> unset = {"QUORVANTEL_SIMULATION"};
    // A helper without a scenario uses the machine's own services; a test of the
    // stand-ins that names no scenario of its own gets the empty one (the stand-in
    // defaults). False runs the helper on the real services.
    bool standIn = true;
    // Bytes already waiting on the child's standard input when it starts (at most a
    // pipe's capacity), for a test that must not race the child's first read.
    std::string pendingInput;
};

// The scenario file "{}": the stand-in platform with every default.
std::string emptyScenarioPath();

struct ChildExit {
    bool exited = false;     // ended by exit() with exitStatus
    int exitStatus = -1;
    int signal = 0;          // the signal that killed it, or 0
};

class Child {
public:
    Child(const std::string& executable, const ChildOptions& options);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    // Writes all bytes to the child's standard input; false when the pipe is closed.
    bool write(const std::string& bytes);
    void closeInput();
    // Closes the read end of the child's standard output.
    void closeOutput();

    // The next line of standard output without its line feed, or nothing at end of
    // output or after the timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Everything left on standard output until it closes.
    std::string readRest(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    void kill(int signal);
    // Waits for the child to end (killing it after the timeout) and collects its
    // standard error.
    ChildExit wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    const std::string& standardError() const { return stderr_; }

private:
    bool fill(std::chrono::steady_clock::time_point deadline);
    void drainError(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string pending_;
    std::string stderr_;
    bool outputEnded_ = false;
    std::optional<ChildExit> exit_;
};

struct ChildRun {
    std::string output;
    std::string error;
    ChildExit exit;
    // Standard output split into lines (without their line feeds).
    std::vector<std::string> lines() const;
};

// Starts the helper, writes input, closes its standard input and collects all.
ChildRun runChild(const std::string& executable, const ChildOptions& options,
                  const std::string& input = "");

// Writes text to a new temporary file and returns its path; removed by the caller.
std::string writeTemporaryFile(const std::string& contents, const std::string& suffix = "");

}  // namespace quorvantel::testing
